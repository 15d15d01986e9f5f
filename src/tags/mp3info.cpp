#include "mp3info.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

namespace km {

void TMP3Info::Clear()
{
    Version = 0;
    Layer = 0;
    Bitrate = 0;
    SampleRate = 0;
    ChannelMode = 3;
    VBR = false;
}

void TMP3Info::Assign(const TPersistent* source)
{
    const auto* info = dynamic_cast<const TMP3Info*>(source);
    if (!info) {
        SoundBeep();
        return;
    }
    Version = info->Version;
    Layer = info->Layer;
    Bitrate = info->Bitrate;
    SampleRate = info->SampleRate;
    ChannelMode = info->ChannelMode;
    VBR = info->VBR;
}

bool operator==(const TMP3Info& a, const TMP3Info& b)
{
    return a.Version == b.Version && a.Layer == b.Layer && a.Bitrate == b.Bitrate && a.SampleRate == b.SampleRate
        && a.ChannelMode == b.ChannelMode && a.VBR == b.VBR;
}

namespace {
using RateRow = std::array<std::uint16_t, 16>;
// ISO/IEC 11172-3 and 13818-3; index 0 (free format) and 15 (bad) give 0.
constexpr RateRow kMpeg1Layer1 = {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0};
constexpr RateRow kMpeg1Layer2 = {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0};
constexpr RateRow kMpeg1Layer3 = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
constexpr RateRow kMpeg2Layer1 = {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0};
constexpr RateRow kMpeg2Layer23 = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};

constexpr std::array<std::int32_t, 4> kMpeg1Rates = {44100, 48000, 32000, 0};
constexpr std::array<std::int32_t, 4> kMpeg2Rates = {22050, 24000, 16000, 0};

std::uint32_t BigEndian32(const std::uint8_t* p)
{
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

std::uint32_t SaturateU32(std::uint64_t v)
{
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(v, std::numeric_limits<std::uint32_t>::max()));
}
} // namespace

std::uint16_t BitrateOf(int version, int layer, int index)
{
    if (index < 0 || index > 15)
        return 0;
    const RateRow* row = nullptr;
    if (version == 1)
        row = layer == 1 ? &kMpeg1Layer1 : layer == 2 ? &kMpeg1Layer2 : layer == 3 ? &kMpeg1Layer3 : nullptr;
    else if (version == 2)
        row = layer == 1 ? &kMpeg2Layer1 : (layer == 2 || layer == 3) ? &kMpeg2Layer23 : nullptr;
    return row ? (*row)[static_cast<std::size_t>(index)] : 0;
}

std::int32_t SampleRateOf(int version, int index)
{
    if (index < 0 || index > 3)
        return 0;
    if (version == 1)
        return kMpeg1Rates[static_cast<std::size_t>(index)];
    if (version == 2)
        return kMpeg2Rates[static_cast<std::size_t>(index)];
    return 0;
}

int SideInfoSize(int version, int channelMode)
{
    const bool mono = channelMode == 3;
    if (version == 1)
        return mono ? 17 : 32;
    return mono ? 9 : 17;
}

void DecodeFrameHeader(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3, TMP3Info& info)
{
    if (!IsFrameSync(b0, b1)) {
        info.Clear();
        return;
    }
    info.Version = (b1 & 0x08) ? 1 : 2;
    static constexpr std::uint8_t kLayerOfBits[4] = {0, 3, 2, 1};
    info.Layer = kLayerOfBits[(b1 >> 1) & 3];
    info.Bitrate = info.Layer == 0 ? 0 : BitrateOf(info.Version, info.Layer, b2 >> 4);
    info.SampleRate = SampleRateOf(info.Version, (b2 >> 2) & 3);
    info.ChannelMode = b3 >> 6;
}

std::uint64_t DivRoundHalfEven(std::uint64_t n, std::uint64_t d)
{
    const std::uint64_t q = n / d;
    const std::uint64_t r = n % d;
    if (r > d - r || (r == d - r && (q & 1)))
        return q + 1;
    return q;
}

int SamplesPerFrame(int version, int layer)
{
    switch (layer) {
    case 1:
        return 384;
    case 2:
        return 1152;
    case 3:
        return version == 1 ? 1152 : 576;
    default:
        return 0;
    }
}

std::size_t FrameLength(const std::uint8_t* header)
{
    TMP3Info info;
    DecodeFrameHeader(header[0], header[1], header[2], header[3], info);
    if (info.Bitrate == 0 || info.SampleRate == 0)
        return 0;
    const std::size_t padding = (header[2] >> 1) & 1;
    const std::size_t bits = std::size_t(info.Bitrate) * 1000;
    const auto rate = static_cast<std::size_t>(info.SampleRate);
    if (info.Layer == 1)
        return (12 * bits / rate + padding) * 4;
    return (info.Layer == 3 && info.Version == 2 ? 72 : 144) * bits / rate + padding;
}

void ProbeXing(const std::uint8_t* frame, TMP3Info& info, std::uint32_t& duration)
{
    const std::uint8_t* xing = frame + 4 + SideInfoSize(info.Version, info.ChannelMode);
    if (std::memcmp(xing, "Xing", 4) != 0)
        return;
    info.VBR = true;
    const std::uint32_t flags = BigEndian32(xing + 4);
    const std::uint64_t frames = (flags & 1) ? BigEndian32(xing + 8) : 0;
    const auto samples = static_cast<std::uint64_t>(SamplesPerFrame(info.Version, info.Layer));
    duration = info.SampleRate == 0
        ? 0
        : SaturateU32(DivRoundHalfEven(frames * samples, static_cast<std::uint64_t>(info.SampleRate)) * 1000);
}

bool HasInfoHeader(const std::uint8_t* frame, const TMP3Info& info)
{
    return std::memcmp(frame + 4 + SideInfoSize(info.Version, info.ChannelMode), "Info", 4) == 0;
}

void ComputeLength(std::int64_t audioBytes, TMP3Info& info, std::uint32_t& duration)
{
    // 64-bit bit counts: files of 256 MiB and more keep a true length.
    if (info.VBR) {
        if (audioBytes > 0 && duration > 0) {
            const std::uint64_t kbps = DivRoundHalfEven(static_cast<std::uint64_t>(audioBytes) * 8, duration);
            info.Bitrate = static_cast<std::uint16_t>(std::min<std::uint64_t>(kbps, 0xFFFF));
        } else {
            info.Bitrate = 0;
        }
    } else if (info.Bitrate > 0 && audioBytes > 0) {
        duration = SaturateU32(static_cast<std::uint64_t>(audioBytes) * 8 / info.Bitrate);
    } else {
        duration = 0;
    }
}

} // namespace km
