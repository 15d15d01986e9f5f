#pragma once

#include <QIcon>
#include <QPixmap>
#include <QRect>
#include <QString>

namespace km::Icons {

// The program's pictures: its own drawings, built once after the application exists,
// and the commands' pictures from the icon theme.
QIcon App();
QIcon File();           // a row of the list
QIcon Template();       // the template row
QIcon SortAscending();  // header arrows
QIcon SortDescending();
QPixmap SplashPicture(const QSize& size);
// Where the about picture's clickable places are, and what its links say.
struct TInfoLinks {
    QRect Close, Mail, Homepage, Freeware, Ok;
    QString MailText, HomepageText, FreewareText;
};
// 350 x 374 pixels, whatever the screen's font size.
QPixmap InfoPicture(const TInfoLinks& links);
// Icons from the desktop's theme, and where it lacks one (or there is no
// desktop) from the theme the program is installed with. Call once, early.
void UseIconTheme();
// The picture of a command, by the command's name; empty for commands without one.
QIcon ForAction(const QString& name);

} // namespace km::Icons
