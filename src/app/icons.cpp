#include "app/icons.h"

#include <QApplication>
#include <QLinearGradient>
#include <QStyle>

#include <functional>
#include <map>
#include <QPainter>
#include <QPainterPath>

namespace km::Icons {

namespace {

// A note head with its stem and flag, in a square of side s.
void DrawNote(QPainter& p, qreal x, qreal y, qreal s, const QColor& color)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.translate(x, y);
    p.drawEllipse(QRectF(0.10 * s, 0.62 * s, 0.42 * s, 0.30 * s));
    p.drawRect(QRectF(0.44 * s, 0.08 * s, 0.08 * s, 0.70 * s));
    QPainterPath flag;
    flag.moveTo(0.52 * s, 0.08 * s);
    flag.cubicTo(0.70 * s, 0.20 * s, 0.90 * s, 0.30 * s, 0.78 * s, 0.55 * s);
    flag.cubicTo(0.80 * s, 0.38 * s, 0.66 * s, 0.30 * s, 0.52 * s, 0.28 * s);
    flag.closeSubpath();
    p.drawPath(flag);
    p.restore();
}

QPixmap Page(int size, const QColor& fold, const QColor& note)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QPainterPath page;
    page.moveTo(0.18 * s, 0.05 * s);
    page.lineTo(0.62 * s, 0.05 * s);
    page.lineTo(0.85 * s, 0.28 * s);
    page.lineTo(0.85 * s, 0.95 * s);
    page.lineTo(0.18 * s, 0.95 * s);
    page.closeSubpath();
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.setBrush(fold);
    p.drawPolygon(QPolygonF({QPointF(0.62 * s, 0.05 * s), QPointF(0.62 * s, 0.28 * s), QPointF(0.85 * s, 0.28 * s)}));
    DrawNote(p, 0.22 * s, 0.28 * s, 0.60 * s, note);
    return pm;
}

QIcon Arrow(bool up)
{
    QPixmap pm(12, 12);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(70, 70, 70));
    if (up)
        p.drawPolygon(QPolygonF({QPointF(6, 2.5), QPointF(10.5, 9), QPointF(1.5, 9)}));
    else
        p.drawPolygon(QPolygonF({QPointF(1.5, 3), QPointF(10.5, 3), QPointF(6, 9.5)}));
    return QIcon(pm);
}

} // namespace

QIcon App()
{
    static const QIcon icon = [] {
        QIcon i;
        for (int s : {16, 32, 48, 64})
            i.addPixmap(Page(s, QColor(255, 196, 0), QColor(30, 90, 170)));
        return i;
    }();
    return icon;
}

QIcon File()
{
    static const QIcon icon(Page(16, QColor(200, 200, 200), QColor(30, 90, 170)));
    return icon;
}

QIcon Template()
{
    static const QIcon icon(Page(16, QColor(255, 196, 0), QColor(200, 60, 40)));
    return icon;
}

QIcon SortAscending()
{
    static const QIcon icon = Arrow(true);
    return icon;
}

QIcon SortDescending()
{
    static const QIcon icon = Arrow(false);
    return icon;
}

QPixmap SplashPicture(const QSize& size)
{
    QPixmap pm(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor(24, 60, 120));
    sky.setColorAt(1, QColor(70, 130, 200));
    p.fillRect(pm.rect(), sky);
    // Staff lines with a few notes on them.
    p.setPen(QPen(QColor(255, 255, 255, 90), 1.5));
    for (int k = 0; k < 5; ++k) {
        const qreal y = size.height() * 0.58 + k * 9;
        p.drawLine(QPointF(20, y), QPointF(size.width() - 20, y));
    }
    const QColor note(255, 255, 255, 200);
    DrawNote(p, size.width() * 0.18, size.height() * 0.48, 40, note);
    DrawNote(p, size.width() * 0.42, size.height() * 0.43, 40, note);
    DrawNote(p, size.width() * 0.66, size.height() * 0.52, 40, note);
    p.setPen(Qt::white);
    QFont title = p.font();
    title.setPointSize(26);
    title.setBold(true);
    p.setFont(title);
    p.drawText(QRect(0, 22, size.width(), 50), Qt::AlignHCenter | Qt::AlignVCenter, QStringLiteral("Klangmappe"));
    QFont small = p.font();
    small.setPointSize(10);
    small.setBold(false);
    p.setFont(small);
    p.drawText(QRect(0, 70, size.width(), 24), Qt::AlignHCenter | Qt::AlignVCenter,
        QStringLiteral("Titelinformationen für MP3-Dateien"));
    p.drawText(QRect(0, size.height() - 34, size.width() - 14, 24), Qt::AlignRight | Qt::AlignVCenter,
        QStringLiteral("Version 2.06"));
    p.setPen(QPen(QColor(255, 255, 255, 160), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(pm.rect().adjusted(0, 0, -1, -1));
    return pm;
}

} // namespace km::Icons

namespace km::Icons {

namespace {

// A small picture with a few letters, for commands no icon theme knows.
QIcon Letters(const QString& text, const QColor& color)
{
    QPixmap pm(20, 20);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QFont f = p.font();
    f.setPixelSize(text.size() > 2 ? 8 : 11);
    f.setBold(true);
    p.setFont(f);
    p.setPen(color);
    p.drawText(pm.rect(), Qt::AlignCenter, text);
    return QIcon(pm);
}

QIcon Pin()
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 60, 60), 1.2));
    p.setBrush(QColor(200, 40, 40));
    p.drawEllipse(QRectF(4, 1.5, 8, 6));
    p.drawLine(QPointF(8, 7.5), QPointF(8, 14.5));
    return QIcon(pm);
}

QIcon Themed(const char* theme, QStyle::StandardPixmap fallback)
{
    return QIcon::fromTheme(QLatin1String(theme), QApplication::style()->standardIcon(fallback));
}

} // namespace

QIcon ForAction(const QString& name)
{
    static const std::map<QString, std::function<QIcon()>> table = {
        {"ActAktuallisiern", [] { return Themed("view-refresh", QStyle::SP_BrowserReload); }},
        {"ActOrdnerAnzeigen", [] { return Themed("folder", QStyle::SP_DirIcon); }},
        {"ActOrdnerAnzeigen2", [] { return Themed("folder", QStyle::SP_DirIcon); }},
        {"ActOrderAnzeigenPin", [] { return Pin(); }},
        {"ActOrdnerAusblenden", [] { return Themed("window-close", QStyle::SP_TitleBarCloseButton); }},
        {"ActEingabefeldOben2", [] { return Themed("go-top", QStyle::SP_TitleBarShadeButton); }},
        {"ActEingabeFeldUnten2", [] { return Themed("go-bottom", QStyle::SP_TitleBarUnshadeButton); }},
        {"ActEingabefeldAusblenden2", [] { return Themed("window-close", QStyle::SP_TitleBarCloseButton); }},
        {"ActEingabefeldPin", [] { return Pin(); }},
        {"ActEingabefeldAnzeigen", [] { return Themed("document-edit", QStyle::SP_FileDialogDetailedView); }},
        {"ActUnterordner", [] { return Themed("folder-open", QStyle::SP_DirOpenIcon); }},
        {"ActSpalten", [] { return Themed("view-list-details", QStyle::SP_FileDialogListView); }},
        {"ActZurueck", [] { return Themed("go-previous", QStyle::SP_ArrowBack); }},
        {"ActVorwaerts", [] { return Themed("go-next", QStyle::SP_ArrowForward); }},
        {"ActAufwaerts", [] { return Themed("go-up", QStyle::SP_FileDialogToParent); }},
        {"ActNaechstes", [] { return Themed("go-down", QStyle::SP_ArrowDown); }},
        {"ActVorheriges", [] { return Themed("go-up", QStyle::SP_ArrowUp); }},
        {"ActRueckgaengig", [] { return Themed("edit-undo", QStyle::SP_DialogResetButton); }},
        {"ActKopieren", [] { return Themed("edit-copy", QStyle::SP_FileDialogNewFolder); }},
        {"ActAussschneiden", [] { return Themed("edit-cut", QStyle::SP_DialogDiscardButton); }},
        {"actEinfuegen", [] { return Themed("edit-paste", QStyle::SP_DialogSaveButton); }},
        {"EditDelete1", [] { return Themed("edit-delete", QStyle::SP_TrashIcon); }},
        {"ActFeldUebernehmen", [] { return Letters(QStringLiteral("F\u2190"), QColor(30, 90, 170)); }},
        {"ActAllesUebernehmen", [] { return Letters(QStringLiteral("A\u2190"), QColor(30, 90, 170)); }},
        {"ActAlleFelderloeschen", [] { return Themed("edit-clear", QStyle::SP_LineEditClearButton); }},
        {"ActGrossKlein", [] { return Letters(QStringLiteral("Aa"), QColor(40, 40, 40)); }},
        {"ActVonDateinamen", [] { return Letters(QStringLiteral("\u2192ID3"), QColor(20, 120, 60)); }},
        {"ActDateinameAusID3", [] { return Letters(QStringLiteral("ID3\u2192"), QColor(160, 80, 20)); }},
        {"ActEinstellungen", [] { return Themed("preferences-system", QStyle::SP_FileDialogInfoView); }},
        {"ActShellDelete", [] { return Themed("user-trash", QStyle::SP_TrashIcon); }},
        {"ActPlay", [] { return Themed("media-playback-start", QStyle::SP_MediaPlay); }},
        {"ActHomepage", [] { return Themed("internet-web-browser", QStyle::SP_DriveNetIcon); }},
        {"ActInfo", [] { return Themed("help-about", QStyle::SP_MessageBoxInformation); }},
        {"ActBeenden", [] { return Themed("application-exit", QStyle::SP_DialogCloseButton); }},
    };
    const auto it = table.find(name);
    return it == table.end() ? QIcon() : it->second();
}

} // namespace km::Icons
