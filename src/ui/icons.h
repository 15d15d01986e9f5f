#pragma once

#include <QIcon>
#include <QPixmap>
#include <QRect>
#include <QString>

namespace km::Icons {

// The program's pictures: its own drawings, and the commands' pictures from the
// icon theme. The drawn icons paint at whatever size and device pixel ratio
// they are asked for, in the colours of the palette at that moment.
QIcon App();
QIcon File();           // a row of the list
QIcon Template();       // the template row
QIcon SortAscending();  // header arrows
QIcon SortDescending();
// `size` in device-independent pixels; the pixmap carries `dpr`.
QPixmap SplashPicture(const QSize& size, qreal dpr = 1.0);
// Where the about picture's clickable places are, and what its links say.
struct TInfoLinks {
    QRect Close, Mail, Homepage, Freeware, Ok;
    QString MailText, HomepageText, FreewareText;
};
// 350 x 374 device-independent pixels, whatever the screen's font size.
QPixmap InfoPicture(const TInfoLinks& links, qreal dpr = 1.0);
// WCAG contrast ratio of two colours (1 to 21).
qreal Contrast(const QColor& a, const QColor& b);
// `a` moved towards `b` by the share t (0 to 1).
QColor Mix(const QColor& a, const QColor& b, qreal t);
// Icons from the desktop's theme, and where it lacks one (or there is no
// desktop) from the theme the program is installed with. Call once, early.
void UseIconTheme();
// The picture of a command, by the command's name; empty for commands without one.
QIcon ForAction(const QString& name);

} // namespace km::Icons
