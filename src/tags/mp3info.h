#pragma once

#include "persistent.h"

#include <cstddef>
#include <cstdint>

namespace km {

// Properties of the first MPEG audio frame of a file.
class TMP3Info : public TPersistent {
public:
    std::uint8_t Version = 0;     // 1 = MPEG 1, 2 = MPEG 2, 0 = unknown
    std::uint8_t Layer = 0;       // 1..3, 0 = reserved or unknown
    std::uint16_t Bitrate = 0;    // kbit/s, 0 = unknown
    std::int32_t SampleRate = 0;  // Hz, 0 = reserved or unknown
    std::uint8_t ChannelMode = 3; // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    bool VBR = false;             // a Xing header was found

    // Unknown values; the channel mode of "nothing found" is mono.
    void Clear();
    // Copies a TMP3Info; any other source copies nothing and beeps.
    void Assign(const TPersistent* source);

    friend bool operator==(const TMP3Info& a, const TMP3Info& b);
};

// Bit rate in kbit/s for MPEG version 1 or 2, layer 1..3 and the 4-bit index; 0 when unknown.
std::uint16_t BitrateOf(int version, int layer, int index);
// Sampling rate in Hz for MPEG version 1 or 2 and the 2-bit index; 0 for index 3.
std::int32_t SampleRateOf(int version, int index);
// Bytes of side information between the frame header and a Xing header.
int SideInfoSize(int version, int channelMode);

// True when b0 b1 start a frame: 0xFF, then a byte with its four high bits set.
inline bool IsFrameSync(std::uint8_t b0, std::uint8_t b1) { return b0 == 0xFF && (b1 & 0xF0) == 0xF0; }

void DecodeFrameHeader(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3, TMP3Info& info);

// Samples one frame carries: Layer I 384, Layer II 1152, Layer III 1152 in
// MPEG 1 and 576 in MPEG 2; 0 for the reserved layer.
int SamplesPerFrame(int version, int layer);

// Bytes of the frame that starts with these four header bytes, padding
// included; 0 when bit rate or sampling rate are unknown. At most 1729
// (MPEG 1 Layer II, 384 kbit/s, 32 kHz, padded).
std::size_t FrameLength(const std::uint8_t* header);

// How many bytes from the frame header on the Xing probe may look at.
inline constexpr std::size_t kXingProbeBytes = 4 + 32 + 12;

// Looks for a Xing header in the first frame (`frame` holds kXingProbeBytes bytes,
// zero past the end of the file); sets VBR and the playing time in milliseconds.
void ProbeXing(const std::uint8_t* frame, TMP3Info& info, std::uint32_t& duration);
// True when the first frame holds "Info" where a Xing header would stand: the
// header of a constant bit rate stream, which stream copies often put into a
// frame of another rate than the stream's.
bool HasInfoHeader(const std::uint8_t* frame, const TMP3Info& info);

// Bit rate of a VBR file or playing time of a CBR file from its audio bytes.
void ComputeLength(std::int64_t audioBytes, TMP3Info& info, std::uint32_t& duration);

// n / d rounded half to even; d > 0.
std::uint64_t DivRoundHalfEven(std::uint64_t n, std::uint64_t d);

} // namespace km
