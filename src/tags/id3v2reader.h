#pragma once

#include "fileio.h"
#include "id3frame.h"
#include "id3v2fields.h"
#include "id3v1tag.h"
#include "mp3info.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace km {

// Analyses one MP3 file in a single pass: leading and appended ID3v2 tags,
// the first MPEG frame, the ID3v1 block and the playing time.
class TID3v2Reader {
public:
    explicit TID3v2Reader(TFileLayer& layer = TFileLayer::Posix()) : m_layer(&layer) {}
    // Tests make file access fail through their own layer.
    void SetFileLayer(TFileLayer& layer) { m_layer = &layer; }

    std::string FileName;
    bool ReadID3v2 = true;                 // decode the frames of a leading tag
    bool CopyID3v2IfEmptyFromID3v1 = true; // frames from the ID3v1 block when there is no ID3v2 tag
    // Off: no frame is decoded or built at all, for callers that never look at
    // Frames (the file list); everything else comes out the same.
    bool DecodeFrames = true;
    // Reads what the first leading ID3v2 tag holds of the ID3v1 fields into ID3v2Fields.
    bool ReadFields = false;
    // Turns ID3v1 text into UTF-8 for the frames made from the block; without
    // it their bytes go in as they are, marked ISO-8859-1.
    std::string (*ID3v1ToUtf8)(std::string_view bytes) = nullptr;

    // Results, reset by every ReadTags.
    bool FileExists = false; // false: a missing path or a folder, everything below stays cleared
    std::vector<TID3Frame> Frames;
    TMP3Info MP3Info;
    TID3v1Infos ID3v1;
    std::int64_t FileSize = 0;
    bool HasID3v2 = false;
    bool HasID3v1 = false;
    bool HasAudioFrame = false;
    std::uint32_t Duration = 0; // milliseconds
    TFileInformation FileInformation;
    std::int64_t ID3v2Offset = 0;
    std::int32_t ID3v2Size = 0; // header and footer included
    TID3v2Fields ID3v2Fields;   // with ReadFields; Version 0 without a leading tag
    // The first leading tag, the one players read; size 0 without one.
    std::int64_t LeadingID3v2Offset = 0;
    std::int64_t LeadingID3v2Size = 0;

    // The last 128 bytes as read (zeros in front for a shorter file): what a
    // write puts back when it fails halfway.
    std::array<std::uint8_t, kID3v1BlockSize> LastBlock {};

    // Throws TFileError when an existing file cannot be opened or read;
    // the file is closed first. A missing file leaves the cleared results.
    void ReadTags();
    // The same for the file open as `fd` (FileName names it), which stays open.
    void ReadTags(int fd);
    void ClearFrames() { Frames.clear(); }
    // Decodes one whole tag (header first) and appends its frames.
    void ParseID3v2Tag(std::span<const std::uint8_t> tag);
    void CopyID3v1ToFrames();
    void DecodeFrameHeader(const std::uint8_t* b) { km::DecodeFrameHeader(b[0], b[1], b[2], b[3], MP3Info); }

    // What compressed frames may inflate to, for all tags of one ReadTags
    // together: chained tags must not multiply it. More counts as corrupt.
    static constexpr std::size_t kInflateBudget = 64u << 20;

    static bool IsID3v2Marker(const std::uint8_t* b, bool wantHeader);
    static std::uint32_t DecodeSynchsafe(const std::uint8_t* b);

private:
    void Reset();
    void ReadFrom(int fd);

    TFileLayer* m_layer;
    std::size_t m_inflateLeft = kInflateBudget; // refilled by ReadTags only
};

// Removes each 0x00 that follows a 0xFF.
std::vector<std::uint8_t> RemoveUnsynchronisation(std::span<const std::uint8_t> body);
// The first `length` bytes the zlib stream inflates to; false when it holds fewer.
bool InflateExactly(std::span<const std::uint8_t> body, std::uint32_t length, std::vector<std::uint8_t>& out);

} // namespace km
