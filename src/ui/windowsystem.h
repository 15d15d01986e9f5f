#pragma once

#include <QGuiApplication>
#include <QString>

namespace km {

// Under Wayland the compositor places windows: a window can neither set nor
// learn its position, and moves itself only through the compositor.
inline bool CompositorPlacesWindows() { return QGuiApplication::platformName().startsWith(QLatin1String("wayland")); }

} // namespace km
