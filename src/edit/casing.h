#pragma once

#include "tags/id3v1tag.h"
#include "tags/id3v2patch.h"

#include <QString>

#include <string>
#include <string_view>

namespace km {

// The three ways of changing case, as the commands carry them in their Tag.
enum TCaseMode { CaseFirstLetters = 1, CaseUpper = 2, CaseLower = 3 };

// Mode 1 capitalises the first letter of each word (letters by the
// Windows-1252 case mapping) and lowers the rest; mode 2 turns a-z into A-Z,
// mode 3 A-Z into a-z, and nothing else. Other modes change nothing; the
// length never changes.
std::string ConvertCase(std::string_view bytes, int mode);
// The same for typed text; a character Windows-1252 cannot hold stays, and
// separates words as the "?" it becomes when stored.
QString ConvertCase(const QString& text, int mode);

// Converts a frame's own text (UTF-8) over its whole length, as typed text is.
TID3v2Change ID3v2CaseChange(const QString& fallback, int mode);
// For a tag converted by ConvertTagCase: the four texts' frames converted themselves.
TID3v2Changes ID3v2CaseChanges(const TID3v1Tag& converted, int mode);

// Title, artist, album and comment converted where they stand: the bytes
// behind a text's terminating zero stay as they are.
TID3v1Tag ConvertTagCase(const TID3v1Tag& tag, int mode);

} // namespace km
