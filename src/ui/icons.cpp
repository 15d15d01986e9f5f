#include "ui/icons.h"

#include "model/version.h"

#include <QApplication>
#include <QIconEngine>
#include <QLinearGradient>
#include <QtMath>
#include <QPainter>
#include <QPainterPath>
#include <QStandardPaths>
#include <QStyle>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <utility>

namespace km::Icons {

namespace {

// An icon drawn by a function, at the size and device pixel ratio it is shown
// at: sharp on any screen, and in the palette's colours of the moment.
class TDrawnIcon : public QIconEngine {
public:
    using TDraw = std::function<void(QPainter&, const QRectF&, QIcon::Mode)>;
    explicit TDrawnIcon(TDraw draw) : m_draw(std::move(draw)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        m_draw(*painter, QRectF(rect), mode);
        painter->restore();
    }
    // Asked for size * device pixel ratio pixels; QIcon marks the ratio.
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pm(size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paint(&p, QRect(QPoint(), size), mode, state);
        return pm;
    }
    QIconEngine* clone() const override { return new TDrawnIcon(m_draw); }
    QString key() const override { return QStringLiteral("klangmappe-drawn"); }

private:
    TDraw m_draw;
};

QIcon Drawn(TDrawnIcon::TDraw draw) { return QIcon(new TDrawnIcon(std::move(draw))); }

qreal Luminance(const QColor& c)
{
    const auto channel = [](qreal v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

// `wanted` where it stands out from `background`, else moved towards `text`
// (the palette's own text colour there) until it does.
QColor Readable(const QColor& wanted, const QColor& background, const QColor& text)
{
    // 4.5 for the colour itself leaves the smoothed edges of thin strokes above 3.
    constexpr qreal kEnough = 4.5;
    for (int step = 0; step <= 10; ++step) {
        const QColor c = Mix(wanted, text, step / 10.0);
        if (Contrast(c, background) >= kEnough)
            return c;
    }
    return text;
}

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

// A sheet with a folded corner and a note, filling the square `r`.
void DrawPage(QPainter& p, const QRectF& r, const QColor& fold, const QColor& note)
{
    const qreal s = std::min(r.width(), r.height());
    p.translate(r.center() - QPointF(s / 2, s / 2));
    QPainterPath page;
    page.moveTo(0.18 * s, 0.05 * s);
    page.lineTo(0.62 * s, 0.05 * s);
    page.lineTo(0.85 * s, 0.28 * s);
    page.lineTo(0.85 * s, 0.95 * s);
    page.lineTo(0.18 * s, 0.95 * s);
    page.closeSubpath();
    // One pixel at 16: the outline grows with the picture.
    p.setPen(QPen(QColor(90, 90, 90), s / 16));
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.setBrush(fold);
    p.drawPolygon(QPolygonF({QPointF(0.62 * s, 0.05 * s), QPointF(0.62 * s, 0.28 * s), QPointF(0.85 * s, 0.28 * s)}));
    DrawNote(p, 0.22 * s, 0.28 * s, 0.60 * s, note);
}

QIcon Page(const QColor& fold, const QColor& note)
{
    return Drawn([fold, note](QPainter& p, const QRectF& r, QIcon::Mode) { DrawPage(p, r, fold, note); });
}

// The header's sort arrow, in the header's text colour: drawn on its button face.
QIcon Arrow(bool up)
{
    return Drawn([up](QPainter& p, const QRectF& r, QIcon::Mode mode) {
        const QPalette palette = QGuiApplication::palette();
        const QPalette::ColorGroup group = mode == QIcon::Disabled ? QPalette::Disabled : QPalette::Active;
        const qreal s = std::min(r.width(), r.height()) / 12;
        p.translate(r.center() - QPointF(6 * s, 6 * s));
        p.scale(s, s);
        p.setPen(Qt::NoPen);
        p.setBrush(palette.color(group, QPalette::ButtonText));
        if (up)
            p.drawPolygon(QPolygonF({QPointF(6, 2.5), QPointF(10.5, 9), QPointF(1.5, 9)}));
        else
            p.drawPolygon(QPolygonF({QPointF(1.5, 3), QPointF(10.5, 3), QPointF(6, 9.5)}));
    });
}

} // namespace

qreal Contrast(const QColor& a, const QColor& b)
{
    const qreal la = Luminance(a);
    const qreal lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor Mix(const QColor& a, const QColor& b, qreal t)
{
    const auto mix = [t](float x, float y) { return float(x + (y - x) * t); };
    return QColor::fromRgbF(mix(a.redF(), b.redF()), mix(a.greenF(), b.greenF()), mix(a.blueF(), b.blueF()));
}

QIcon App()
{
    // The icon the package installs, so window and launcher look alike; the
    // drawn page where it is not installed.
    static const QIcon icon
        = QIcon::fromTheme(QStringLiteral("klangmappe"), Page(QColor(255, 196, 0), QColor(30, 90, 170)));
    return icon;
}

QIcon File()
{
    static const QIcon icon = Page(QColor(200, 200, 200), QColor(30, 90, 170));
    return icon;
}

QIcon Template()
{
    static const QIcon icon = Page(QColor(255, 196, 0), QColor(200, 60, 40));
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

// A pixmap for `size` device-independent pixels at `dpr`: the painter draws
// in device-independent pixels, the screen gets one pixel per pixel.
QPixmap Canvas(const QSize& size, qreal dpr)
{
    QPixmap pm(qCeil(size.width() * dpr), qCeil(size.height() * dpr));
    pm.setDevicePixelRatio(dpr);
    return pm;
}

} // namespace

QPixmap SplashPicture(const QSize& size, qreal dpr)
{
    QPixmap pm = Canvas(size, dpr);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    DrawBackdrop(p, size, size.height() * 0.58);
    DrawTitle(p, size.width(), 24);
    SetFont(p, 13);
    p.drawText(QRect(0, size.height() - 34, size.width() - 14, 24), Qt::AlignRight | Qt::AlignVCenter,
        QStringLiteral("Version ") + VersionText(kOwnVersion));
    return pm;
}

QPixmap InfoPicture(const TInfoLinks& links, qreal dpr)
{
    const QSize size(350, 374);
    QPixmap pm = Canvas(size, dpr);
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

// Drawn on the tool bar's window colour: the letters keep their hue where it
// stands out from it, and move towards the palette's text colour where not.
QIcon Letters(const QString& text, const QColor& hue)
{
    return Drawn([text, hue](QPainter& p, const QRectF& r, QIcon::Mode mode) {
        const QPalette palette = QGuiApplication::palette();
        QColor color;
        if (mode == QIcon::Disabled)
            color = palette.color(QPalette::Disabled, QPalette::WindowText);
        else if (mode == QIcon::Selected)
            color = palette.color(QPalette::HighlightedText);
        else
            color = Readable(hue, palette.color(QPalette::Window), palette.color(QPalette::WindowText));
        // Designed for 20 pixels.
        const qreal scale = std::min(r.width(), r.height()) / 20;
        QFont f = p.font();
        f.setPixelSize(std::max(1, qRound((text.size() > 2 ? 8 : 11) * scale)));
        f.setBold(true);
        p.setFont(f);
        p.setPen(color);
        p.drawText(r, Qt::AlignCenter, text);
    });
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
