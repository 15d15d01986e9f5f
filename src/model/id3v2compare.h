#pragma once

#include "model/entry.h"
#include "tags/id3v1tag.h"
#include "tags/id3v2fields.h"
#include "tags/id3v2reader.h"

#include <array>
#include <cstdint>
#include <string>

namespace km {

// Which fields of an ID3v2 tag disagree with the ID3v1 block: bit 1 << field.
// Texts count as the ID3v1 field would hold them (Windows-1252, "?" for what
// it cannot hold, cut to the field's width) and without blanks at either end;
// a missing frame counts as an empty field. The track compares the number
// before "/", the genre "(n)", "(n)Name", "n" or a name of the genre table.
std::uint8_t ID3v2Differences(const TID3v2Fields& v2, const TID3v1Tag& v1);

// The list's ID3v2 cell: empty without a tag (or before it was read), else
// "2.3", "2.4" ("2.?" for a version we do not know), with " ≠" when it
// disagrees with the ID3v1 block. UTF-8.
std::string ID3v2CellText(const TEintragDaten& entry);

// Reads the first leading ID3v2 tag of the entry's file and compares it with
// the entry's ID3v1 tag; nothing else of the entry changes. Throws TFileError
// for a file that cannot be read; a file that is gone leaves the entry as it was.
void ReadEntryID3v2(TID3v2Reader& reader, TEintragDaten& entry);

// The fields as the edit panel captions them and as `info` names them, in the fields' order.
extern const std::array<const char*, kID3v2FieldCount> ID3v2FieldCaptions;
extern const std::array<const char*, kID3v2FieldCount> ID3v2FieldKeys;

} // namespace km
