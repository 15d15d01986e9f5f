#pragma once

#include <QString>

namespace km {

// The launcher the package installs, made to start `executable` (an absolute
// path) with a file argument from its own folder.
QString LauncherEntry(const QString& executable);

// Writes the launcher for the running program as "Klangmappe.desktop" into
// `folder`, creating the folder when needed and replacing an older launcher.
// True when the file exists afterwards.
bool CreateShortcut(const QString& folder);

// Where launchers go; empty when it cannot be determined.
QString DesktopFolder();
QString ApplicationsFolder();

} // namespace km
