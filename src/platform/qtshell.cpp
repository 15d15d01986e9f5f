#include "platform/qtshell.h"

#include <QDesktopServices>
#include <QUrl>

namespace km {

bool TQtShell::OpenDocument(const QString& path, const QString&)
{
    // The desktop starts the program in its own folder; the file is named in full.
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void TQtShell::OpenAddress(const QString& url) { QDesktopServices::openUrl(QUrl(url)); }

} // namespace km
