#pragma once

#include "persistent.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace km {

// One ID3v2 frame as decoded: flags, identifier and the body after
// unsynchronisation and decompression.
class TID3Frame : public TPersistent {
public:
    bool TagAlterPreservation = false; // status 0x40
    bool FileAlterPreservation = false; // status 0x20
    bool ReadOnly = false;             // status 0x10
    bool GroupingIdentity = false;     // format 0x40
    bool Compression = false;          // format 0x08
    bool Encryption = false;           // format 0x04
    bool Unsynchronisation = false;    // format 0x02
    bool DataLengthIndicator = false;  // format 0x01
    std::uint8_t GroupID = 0;
    std::string FrameID;
    std::vector<std::uint8_t> Data;
};

struct TID3FrameName {
    std::string_view FrameID;
    std::string_view Caption;
    std::string_view Extra;
};

extern const std::array<TID3FrameName, 47> ID3FrameNames;

} // namespace km
