#pragma once

#include "tags/utf8.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <string>
#include <string_view>

namespace km {

// Tag text is Windows-1252; the five bytes it leaves undefined stand for the
// control characters of the same number, so every byte survives a round trip.
char32_t Cp1252ToUnicode(std::uint8_t byte);
// The byte for a character, or -1 when Windows-1252 cannot hold it.
int UnicodeToCp1252(char32_t c);

std::string Cp1252ToUtf8(std::string_view bytes);
// Characters Windows-1252 cannot hold, and broken UTF-8, become "?".
std::string Utf8ToCp1252(std::string_view utf8);

QString Cp1252ToQString(std::string_view bytes);
std::string QStringToCp1252(const QString& text);

} // namespace km
