#pragma once

#include <QFile>
#include <QString>

#include <string>

namespace km {

// A path or name as the window shows it; bytes that are no UTF-8 show as U+FFFD.
inline QString Shown(const std::string& bytes) { return QFile::decodeName(QByteArray::fromStdString(bytes)); }
// A path or name typed or shown in the window, as the file system spells it.
inline std::string OnDisk(const QString& text) { return QFile::encodeName(text).toStdString(); }

} // namespace km
