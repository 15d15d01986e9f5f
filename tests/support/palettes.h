// A light and a dark palette, and the contrast a reader sees, for checking
// what the program draws in the palette's colours.
#pragma once

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

#include <algorithm>
#include <cmath>
#include <memory>

namespace km::test {

// Fusion's own palette.
inline QPalette LightPalette()
{
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    return fusion->standardPalette();
}

// Like Breeze Dark.
inline QPalette DarkPalette()
{
    QPalette p = LightPalette();
    const QColor text(0xef, 0xf0, 0xf1);
    p.setColor(QPalette::Window, QColor(0x31, 0x36, 0x3b));
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, QColor(0x23, 0x26, 0x29));
    p.setColor(QPalette::AlternateBase, QColor(0x2a, 0x2e, 0x32));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(0x31, 0x36, 0x3b));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Highlight, QColor(0x3d, 0xae, 0xe9));
    p.setColor(QPalette::HighlightedText, text);
    p.setColor(QPalette::PlaceholderText, QColor(0xef, 0xf0, 0xf1, 128));
    p.setColor(QPalette::Light, QColor(0x40, 0x46, 0x4c));
    p.setColor(QPalette::Midlight, QColor(0x3a, 0x40, 0x45));
    p.setColor(QPalette::Mid, QColor(0x24, 0x28, 0x2c));
    p.setColor(QPalette::Dark, QColor(0x1b, 0x1e, 0x20));
    p.setColor(QPalette::Shadow, QColor(0x12, 0x14, 0x15));
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(0x6e, 0x71, 0x75));
    p.setColor(QPalette::Disabled, QPalette::Base, QColor(0x2a, 0x2e, 0x32));
    return p;
}

// WCAG 2 contrast ratio, worked out here rather than taken from the program.
inline double ContrastRatio(const QColor& a, const QColor& b)
{
    const auto luminance = [](const QColor& c) {
        const auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The strongest contrast any pixel of a picture reaches on `background`,
// the picture laid over it as the screen shows it.
inline double StrongestContrast(const QImage& picture, const QColor& background)
{
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    double best = 1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const float a = c.alphaF();
            const auto over = [a](float drawn, float under) { return drawn * a + under * (1 - a); };
            const QColor shown = QColor::fromRgbF(over(c.redF(), background.redF()),
                over(c.greenF(), background.greenF()), over(c.blueF(), background.blueF()));
            best = std::max(best, ContrastRatio(shown, background));
        }
    }
    return best;
}

// The application's palette for as long as it lives. The widgets hear of a
// new one through the event queue.
class TPaletteScope {
public:
    explicit TPaletteScope(const QPalette& palette)
        : m_old(QApplication::palette())
    {
        QApplication::setPalette(palette);
        QCoreApplication::processEvents();
    }
    ~TPaletteScope()
    {
        QApplication::setPalette(m_old);
        QCoreApplication::processEvents();
    }
    TPaletteScope(const TPaletteScope&) = delete;
    TPaletteScope& operator=(const TPaletteScope&) = delete;

private:
    QPalette m_old;
};

} // namespace km::test
