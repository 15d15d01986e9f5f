#pragma once

#include <QIcon>
#include <QPixmap>

namespace km::Icons {

// Pictures our own code draws; built once, after the application exists.
QIcon App();
QIcon File();           // a row of the list
QIcon Template();       // the template row
QIcon SortAscending();  // header arrows
QIcon SortDescending();
QPixmap SplashPicture(const QSize& size);
// The picture of a command, by the command's name; empty for commands without one.
QIcon ForAction(const QString& name);

} // namespace km::Icons
