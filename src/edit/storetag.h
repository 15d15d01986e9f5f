#pragma once

#include "tags/id3v1tag.h"
#include "tags/id3v2patch.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

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

// The seven fields in the order of the edit panel's flags.
enum TFlag { FlagTitel, FlagInterpret, FlagAlbum, FlagJahr, FlagBemerkung, FlagTitelnr, FlagMusikrichtung };
using TFieldFlags = std::array<bool, 7>;

// Clears the flag of each field in which `t` differs from `base`: texts up to
// their first zero byte and case-sensitive, track and genre byte for byte.
void KeepSharedFields(TFieldFlags& flags, const TID3v1Tag& base, const TID3v1Tag& t);

// What was typed into the fields; the genre as the byte it stands for, none
// to keep the tag's own byte.
struct TTypedFields {
    QString Titel, Interpret, Album, Jahr, Bemerkung, Titelnr;
    std::optional<std::uint8_t> Musikrichtung;
};
// `tag` with each field whose flag is set taken from what was typed.
TID3v1Tag ApplyTypedFields(TID3v1Tag tag, const TTypedFields& typed, const TFieldFlags& apply);

// The ID3v2 side of a change from `old` to `now`: each field whose ID3v1
// bytes changed, with its whole text from `whole` where given there, else
// its new ID3v1 text (blanks at the ends dropped; a track without "/total",
// a genre by its name). Fields that stayed are left alone, whatever `whole` says.
TID3v2Changes ID3v2ChangesOf(const TID3v1Tag& old, const TID3v1Tag& now, const TID3v2Changes& whole = {});
// Typed text as the ID3v2 frame takes it: whole, without the blanks at its ends.
std::string ID3v2TypedText(const QString& text);

// The decimal value of a text, as the checks of the year and track fields read it.
bool IsDecimalInteger(const QString& text, qint64* value = nullptr);

} // namespace km
