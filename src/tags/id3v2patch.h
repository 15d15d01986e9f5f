#pragma once

#include "tags/id3v2fields.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace km {

// A grown tag gets this much padding, so that later edits fit in place.
inline constexpr std::size_t kID3v2GrowPadding = 2048;

// The new value of one field's frame.
struct TID3v2Change {
    // UTF-8, whole; empty removes the frame. A track is the number alone
    // (the frame's "/total" stays), a genre the text TCON gets.
    std::string Text;
    // Set: the frame's own text converted (the whole of it); Text where there is no frame.
    std::function<std::string(std::string_view)> Convert;
};
// Per field: none leaves its frame alone.
using TID3v2Changes = std::array<std::optional<TID3v2Change>, kID3v2FieldCount>;

// What puts a patched tag back as it was, without holding the whole tag.
struct TID3v2Undo {
    struct TFrame {
        std::uint8_t Field = 0;
        std::int32_t Index = -1;        // its place among the old frames; -1: there was none
        std::vector<std::uint8_t> Old;  // the old frame, header included
        bool NewPresent = false;        // the patch left a frame of this field
    };
    std::int64_t OldSize = 0; // the whole old tag, header included
    std::vector<std::uint8_t> OldExtendedHeader;
    std::vector<TFrame> Frames; // by field
    bool Empty() const { return Frames.empty(); }
};

struct TID3v2Patch {
    std::string Refused;            // why the tag cannot be changed safely; empty: Tag holds the result
    std::vector<std::uint8_t> Tag;  // the whole new tag (equal to the old one when nothing changed)
    TID3v2Undo Undo;                // for a patch: how to take it back
    bool Changed = false;
};

// Replaces, adds or removes exactly the frames of the changed fields in the
// tag `tag` (the whole tag, header first): every other frame keeps its bytes
// and its place, new frames go after the last one. The result keeps the old
// size when it fits (padding), else it grows with kID3v2GrowPadding of
// padding. Refused: ID3v2.2 and unknown versions, unsynchronisation of the
// whole tag, an extended header with CRC, a changed field's frame that is
// compressed or encrypted, a tag whose frames cannot be walked to its end.
TID3v2Patch PatchID3v2Tag(std::span<const std::uint8_t> tag, const TID3v2Changes& changes);
// Puts the frames `undo` recorded back in place of what the patch wrote, and
// the old size where the frames fit in it; byte for byte the old tag when
// nothing else changed the tag meanwhile.
TID3v2Patch RestoreID3v2Tag(std::span<const std::uint8_t> tag, const TID3v2Undo& undo);

// The frame body of a text in the tag's version: ISO-8859-1 where it fits,
// else UTF-16 with BOM (2.3) or UTF-8 (2.4).
std::vector<std::uint8_t> EncodeID3v2Text(std::string_view utf8, std::uint8_t version);

} // namespace km
