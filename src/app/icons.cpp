#include "app/icons.h"

#include "app/version.h"

#include <QApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QStandardPaths>
#include <QStyle>

#include <array>
#include <utility>

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
    // The icon the package installs, so window and launcher look alike; the
    // drawn page where it is not installed.
    static const QIcon icon = [] {
        QIcon i;
        for (int s : {16, 32, 48, 64})
            i.addPixmap(Page(s, QColor(255, 196, 0), QColor(30, 90, 170)));
        return QIcon::fromTheme(QStringLiteral("klangmappe"), i);
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

namespace {

// The program's backdrop: evening sky, a frame, a staff with three notes at `staffTop`.
void DrawBackdrop(QPainter& p, const QSize& size, qreal staffTop)
{
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor(24, 60, 120));
    sky.setColorAt(1, QColor(70, 130, 200));
    p.fillRect(QRect(QPoint(), size), sky);
    p.setPen(QPen(QColor(255, 255, 255, 90), 1.5));
    for (int k = 0; k < 5; ++k) {
        const qreal y = staffTop + k * 9;
        p.drawLine(QPointF(20, y), QPointF(size.width() - 20, y));
    }
    const QColor note(255, 255, 255, 200);
    DrawNote(p, size.width() * 0.18, staffTop - 12, 40, note);
    DrawNote(p, size.width() * 0.42, staffTop - 24, 40, note);
    DrawNote(p, size.width() * 0.66, staffTop - 4, 40, note);
    p.setPen(QPen(QColor(255, 255, 255, 160), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(QPoint(), size).adjusted(0, 0, -1, -1));
}

// Pixel sizes: the pictures do not grow with the desktop's font size.
void SetFont(QPainter& p, int pixels, bool bold = false, bool underline = false)
{
    QFont f = p.font();
    f.setPixelSize(pixels);
    f.setBold(bold);
    f.setUnderline(underline);
    p.setFont(f);
}

// The name, what it is for and the version, centred from `top` on.
void DrawTitle(QPainter& p, int width, int top)
{
    p.setPen(Qt::white);
    SetFont(p, 34, true);
    p.drawText(QRect(0, top, width, 48), Qt::AlignCenter, QStringLiteral("Klangmappe"));
    SetFont(p, 13);
    p.drawText(QRect(0, top + 48, width, 20), Qt::AlignCenter, QStringLiteral("Titelinformationen für MP3-Dateien"));
}

// A link's text inside its button's rectangle, made smaller until it fits.
void DrawLink(QPainter& p, const QRect& area, const QString& text)
{
    for (int pixels = 12; pixels >= 8; --pixels) {
        SetFont(p, pixels, false, true);
        if (p.fontMetrics().horizontalAdvance(text) <= area.width())
            break;
    }
    p.setPen(QColor(255, 224, 130));
    p.drawText(area, Qt::AlignLeft | Qt::AlignVCenter, text);
}

} // namespace

QPixmap SplashPicture(const QSize& size)
{
    QPixmap pm(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    DrawBackdrop(p, size, size.height() * 0.58);
    DrawTitle(p, size.width(), 24);
    SetFont(p, 13);
    p.drawText(QRect(0, size.height() - 34, size.width() - 14, 24), Qt::AlignRight | Qt::AlignVCenter,
        QStringLiteral("Version ") + VersionText(kOwnVersion));
    return pm;
}

QPixmap InfoPicture(const TInfoLinks& links)
{
    const QSize size(350, 374);
    QPixmap pm(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    DrawBackdrop(p, size, 178);

    SetFont(p, 12, true);
    p.setPen(QColor(255, 255, 255, 200));
    p.drawText(QRect(10, 4, 200, 18), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Info"));
    // The close box.
    const QRectF close = QRectF(links.Close).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QPen(QColor(255, 255, 255, 200), 1));
    p.setBrush(QColor(255, 255, 255, 30));
    p.drawRoundedRect(close, 2, 2);
    p.setPen(QPen(Qt::white, 1.6));
    const QRectF cross = close.adjusted(4.5, 4, -4.5, -4);
    p.drawLine(cross.topLeft(), cross.bottomRight());
    p.drawLine(cross.bottomLeft(), cross.topRight());

    DrawTitle(p, size.width(), 40);
    SetFont(p, 13, true);
    p.drawText(QRect(0, 110, size.width(), 20), Qt::AlignCenter, QStringLiteral("Version ") + VersionText(kOwnVersion));
    SetFont(p, 12);
    p.setPen(QColor(255, 255, 255, 220));
    p.drawText(QRect(20, 222, size.width() - 40, 34), Qt::AlignCenter | Qt::TextWordWrap,
        QStringLiteral("Liest und schreibt die ID3v1-Titelinformationen\nIhrer MP3-Dateien. Freeware."));
    p.setPen(QPen(QColor(255, 255, 255, 110), 1));
    p.drawLine(QPointF(20, 268.5), QPointF(size.width() - 20, 268.5));

    // The links, each where its button lies.
    const std::array<std::pair<const QRect*, QString>, 3> rows {{
        {&links.Mail, QStringLiteral("E-Mail:")},
        {&links.Homepage, QStringLiteral("Homepage:")},
        {&links.Freeware, QStringLiteral("Programme:")},
    }};
    const std::array<QString, 3> texts {links.MailText, links.HomepageText, links.FreewareText};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const QRect& area = *rows[i].first;
        SetFont(p, 12);
        p.setPen(Qt::white);
        p.drawText(QRect(14, area.top(), area.left() - 20, area.height()), Qt::AlignRight | Qt::AlignVCenter,
            rows[i].second);
        DrawLink(p, area, texts[i]);
    }

    // The OK button.
    const QRectF ok = QRectF(links.Ok).adjusted(3.5, 6.5, -3.5, -6.5);
    p.setPen(QPen(QColor(255, 255, 255, 220), 1));
    p.setBrush(QColor(255, 255, 255, 45));
    p.drawRoundedRect(ok, 4, 4);
    SetFont(p, 13, true);
    p.setPen(Qt::white);
    p.drawText(ok, Qt::AlignCenter, QStringLiteral("OK"));

    SetFont(p, 11);
    p.setPen(QColor(255, 255, 255, 190));
    p.drawText(QRect(14, 340, 250, 20), Qt::AlignLeft | Qt::AlignVCenter,
        QStringLiteral("© Fennwick"));
    return pm;
}

} // namespace km::Icons

namespace km::Icons {

namespace {

// The theme whose package we depend on; it fills what the desktop's theme lacks.
const QString kFallbackTheme = QStringLiteral("breeze");

// A command's picture by its freedesktop name, and Qt's own picture of the
// same meaning for a machine without the theme (-1: none rather than a wrong one).
struct TThemed {
    const char* Action;
    const char* Name;
    int Standard;
};

constexpr TThemed kThemed[] = {
    {"ActAktuallisiern", "view-refresh", QStyle::SP_BrowserReload},
    {"ActOrdnerAnzeigen", "folder", QStyle::SP_DirIcon},
    {"ActOrdnerAnzeigen2", "folder", QStyle::SP_DirIcon},
    {"ActOrderAnzeigenPin", "window-pin", -1},
    {"ActOrdnerAusblenden", "window-close", QStyle::SP_TitleBarCloseButton},
    {"ActEingabefeldOben2", "go-top", QStyle::SP_ArrowUp},
    {"ActEingabeFeldUnten2", "go-bottom", QStyle::SP_ArrowDown},
    {"ActEingabefeldAusblenden2", "window-close", QStyle::SP_TitleBarCloseButton},
    {"ActEingabefeldPin", "window-pin", -1},
    {"ActEingabefeldAnzeigen", "document-edit", -1},
    {"ActUnterordner", "folder-open", QStyle::SP_DirOpenIcon},
    {"ActSpalten", "view-list-details", QStyle::SP_FileDialogDetailedView},
    {"ActZurueck", "go-previous", QStyle::SP_ArrowBack},
    {"ActVorwaerts", "go-next", QStyle::SP_ArrowForward},
    {"ActAufwaerts", "go-up", QStyle::SP_FileDialogToParent},
    {"ActNaechstes", "go-down", QStyle::SP_ArrowDown},
    {"ActVorheriges", "go-up", QStyle::SP_ArrowUp},
    {"ActRueckgaengig", "edit-undo", -1},
    {"ActEditUndo1", "edit-undo", -1},
    {"ActAussschneiden", "edit-cut", -1},
    {"ActKopieren", "edit-copy", -1},
    {"actEinfuegen", "edit-paste", -1},
    {"EditDelete1", "edit-delete", -1},
    {"EditSelectAll1", "edit-select-all", -1},
    {"ActAlleFelderloeschen", "edit-clear", QStyle::SP_LineEditClearButton},
    {"ActGrossKlein", "format-text-capitalize", -1},
    {"ActGrossKlein_GrossKlein", "format-text-capitalize", -1},
    {"ActGrossKlein_GrossGross", "format-text-uppercase", -1},
    {"ActGrossKlein_KleinKlein", "format-text-lowercase", -1},
    {"ActEinstellungen", "preferences-system", -1},
    {"ActShellDelete", "user-trash", QStyle::SP_TrashIcon},
    {"ActPlay", "media-playback-start", QStyle::SP_MediaPlay},
    {"ActHomepage", "internet-web-browser", -1},
    {"ActInfo", "help-about", QStyle::SP_MessageBoxInformation},
    {"ActBeenden", "application-exit", -1},
};

// The template and the file-name tools are our own ideas: no theme draws them.
struct TLettered {
    const char* Action;
    const char16_t* Text;
    QRgb Color;
};

constexpr TLettered kLettered[] = {
    {"ActFeldUebernehmen", u"F\u2190", 0x1e5aaa},
    {"ActAllesUebernehmen", u"A\u2190", 0x1e5aaa},
    {"ActVonDateinamen", u"\u2192ID3", 0x14783c},
    {"ActDateinameAusID3", u"ID3\u2192", 0xa05014},
};

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

} // namespace

void UseIconTheme()
{
    // Without a desktop Qt may know neither the icon folders nor a theme.
    QStringList paths = QIcon::themeSearchPaths();
    for (const QString& dir : QStandardPaths::locateAll(
             QStandardPaths::GenericDataLocation, QStringLiteral("icons"), QStandardPaths::LocateDirectory)) {
        if (!paths.contains(dir))
            paths.append(dir);
    }
    QIcon::setThemeSearchPaths(paths);
    if (QIcon::themeName().isEmpty())
        QIcon::setThemeName(QStringLiteral("hicolor"));
    QIcon::setFallbackThemeName(kFallbackTheme);
}

QIcon ForAction(const QString& name)
{
    for (const TThemed& t : kThemed) {
        if (name != QLatin1String(t.Action))
            continue;
        const QIcon standard = t.Standard < 0
            ? QIcon()
            : QApplication::style()->standardIcon(static_cast<QStyle::StandardPixmap>(t.Standard));
        return QIcon::fromTheme(QLatin1String(t.Name), standard);
    }
    for (const TLettered& l : kLettered) {
        if (name == QLatin1String(l.Action))
            return Letters(QString::fromUtf16(l.Text), QColor(l.Color));
    }
    return QIcon();
}

} // namespace km::Icons
