#pragma once

#include "tags/id3v1tag.h"

#include <QString>

#include <cstdint>

namespace km {

// Puts typed text into a tag field: Windows-1252 ("?" for what it cannot
// hold), without leading and trailing characters of code 32 or less, cut at
// the field's width.
void StoreTypedText(char* field, std::size_t width, const QString& text);
template <std::size_t N>
void StoreTypedText(char (&field)[N], const QString& text) { StoreTypedText(field, N, text); }

// A track number as typed: a decimal integer, 0 when empty or not a number,
// kept modulo 256 (256 becomes 0).
std::uint8_t TrackOfText(const QString& text);

// The decimal value of a text, as the checks of the year and track fields read it.
bool IsDecimalInteger(const QString& text, qint64* value = nullptr);

} // namespace km
