#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace km {

// The ID3v2 frames that an ID3v1 field stands beside, in the fields' order:
// TIT2, TPE1, TALB, TYER (TDRC in 2.4), the first COMM without description,
// TRCK, TCON (2.2: TT2, TP1, TAL, TYE, COM, TRK, TCO).
enum TID3v2Field : std::uint8_t { V2Title, V2Artist, V2Album, V2Year, V2Comment, V2Track, V2Genre, kID3v2FieldCount };

// What an ID3v2 tag holds of the ID3v1 fields, its texts as UTF-8 (the first
// string of a frame that holds several).
struct TID3v2Fields {
    std::uint8_t Version = 0; // the tag's major version byte (2, 3, 4...); 0: no tag
    std::array<std::optional<std::string>, kID3v2FieldCount> Texts; // none: no such frame
};

// Fetches `n` file bytes at `offset`; bytes past the end read as zero.
using TReadBytes = std::function<void(std::int64_t offset, std::uint8_t* dst, std::size_t n)>;

// Reads those frames of the tag at `offset` (`size` bytes, header and footer
// included). Only the frame headers and the bodies of the frames wanted are
// read, each body at most its first 64 KiB, so a picture in front of the text
// frames costs no more than a skip. Frames are walked with the sizes of the
// tag's version; encrypted frames count as missing.
TID3v2Fields ReadID3v2Fields(const TReadBytes& read, std::int64_t offset, std::int64_t size);

// A text frame's body (its encoding byte first): the first string, as UTF-8.
std::string ID3v2Text(std::span<const std::uint8_t> body);
// A COMM frame's text when its description is empty; none else.
std::optional<std::string> ID3v2CommentText(std::span<const std::uint8_t> body);
// The frame id that stands beside `field` in a tag of major version `version` (2, 3 or 4).
std::string_view ID3v2FieldId(TID3v2Field field, std::uint8_t version);

} // namespace km
