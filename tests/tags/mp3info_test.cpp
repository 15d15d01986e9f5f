#include "tags/mp3info.h"
#include "tags/mp3bytes.h"

#include <gtest/gtest.h>

namespace km {
namespace {

TMP3Info Decode(std::uint8_t b1, std::uint8_t b2, std::uint8_t b3)
{
    TMP3Info info;
    DecodeFrameHeader(0xFF, b1, b2, b3, info);
    return info;
}

TEST(MP3Info, ClearedStateIsMono)
{
    TMP3Info info;
    info.Version = 1;
    info.Layer = 3;
    info.Bitrate = 128;
    info.SampleRate = 44100;
    info.ChannelMode = 0;
    info.VBR = true;
    info.Clear();
    EXPECT_EQ(info, TMP3Info());
    EXPECT_EQ(info.ChannelMode, 3);
    EXPECT_EQ(info.Version, 0);
    EXPECT_FALSE(info.VBR);
}

TEST(MP3Info, AssignCopiesOnlyFromItsOwnKind)
{
    int beeps = 0;
    SetBeepHandler([&beeps] { ++beeps; });
    TMP3Info source = Decode(0xFB, 0x90, 0x40);
    source.VBR = true;
    TMP3Info target;
    target.Assign(&source);
    EXPECT_EQ(target, source);
    EXPECT_EQ(beeps, 0);

    TPersistent other;
    target.Assign(&other);
    EXPECT_EQ(target, source) << "a foreign source copies nothing";
    target.Assign(nullptr);
    EXPECT_EQ(beeps, 2);
    SetBeepHandler(nullptr);
}

TEST(MP3Info, BitrateAndSampleRateTables)
{
    EXPECT_EQ(BitrateOf(1, 3, 9), 128);
    EXPECT_EQ(BitrateOf(2, 3, 5), 40);
    EXPECT_EQ(BitrateOf(1, 1, 2), 64);
    EXPECT_EQ(BitrateOf(1, 1, 14), 448);
    EXPECT_EQ(BitrateOf(1, 2, 14), 384);
    EXPECT_EQ(BitrateOf(1, 3, 14), 320);
    EXPECT_EQ(BitrateOf(2, 1, 14), 256);
    EXPECT_EQ(BitrateOf(2, 2, 14), 160);
    EXPECT_EQ(BitrateOf(2, 2, 1), 8);
    for (int v = 1; v <= 2; ++v)
        for (int l = 1; l <= 3; ++l) {
            EXPECT_EQ(BitrateOf(v, l, 0), 0) << "free format";
            EXPECT_EQ(BitrateOf(v, l, 15), 0) << "bad index";
        }
    EXPECT_EQ(BitrateOf(1, 0, 9), 0);

    EXPECT_EQ(SampleRateOf(1, 0), 44100);
    EXPECT_EQ(SampleRateOf(1, 1), 48000);
    EXPECT_EQ(SampleRateOf(1, 2), 32000);
    EXPECT_EQ(SampleRateOf(1, 3), 0);
    EXPECT_EQ(SampleRateOf(2, 0), 22050);
    EXPECT_EQ(SampleRateOf(2, 1), 24000);
    EXPECT_EQ(SampleRateOf(2, 2), 16000);
    EXPECT_EQ(SampleRateOf(2, 3), 0);

    EXPECT_EQ(SideInfoSize(1, 3), 17);
    EXPECT_EQ(SideInfoSize(1, 0), 32);
    EXPECT_EQ(SideInfoSize(1, 2), 32);
    EXPECT_EQ(SideInfoSize(2, 3), 9);
    EXPECT_EQ(SideInfoSize(2, 1), 17);
}

TEST(MP3Info, DecodeFrameHeaderFields)
{
    TMP3Info i = Decode(0xFB, 0x90, 0x00);
    EXPECT_EQ(i.Version, 1);
    EXPECT_EQ(i.Layer, 3);
    EXPECT_EQ(i.Bitrate, 128);
    EXPECT_EQ(i.SampleRate, 44100);
    EXPECT_EQ(i.ChannelMode, 0);

    i = Decode(0xF3, 0x54, 0xC0); // MPEG 2 Layer III, index 5, 24000 Hz, mono
    EXPECT_EQ(i.Version, 2);
    EXPECT_EQ(i.Layer, 3);
    EXPECT_EQ(i.Bitrate, 40);
    EXPECT_EQ(i.SampleRate, 24000);
    EXPECT_EQ(i.ChannelMode, 3);

    i = Decode(0xFF, 0x28, 0x80); // MPEG 1 Layer I, 64 kbit/s, 32000 Hz, dual channel
    EXPECT_EQ(i.Layer, 1);
    EXPECT_EQ(i.Bitrate, 64);
    EXPECT_EQ(i.SampleRate, 32000);
    EXPECT_EQ(i.ChannelMode, 2);

    i = Decode(0xFD, 0x94, 0x40); // Layer II, joint stereo
    EXPECT_EQ(i.Layer, 2);
    EXPECT_EQ(i.Bitrate, 160);
    EXPECT_EQ(i.ChannelMode, 1);

    i = Decode(0xF9, 0x90, 0x00); // reserved layer
    EXPECT_EQ(i.Layer, 0);
    EXPECT_EQ(i.Bitrate, 0);
    EXPECT_EQ(i.Version, 1);

    i = Decode(0xFB, 0x9C, 0x00);
    EXPECT_EQ(i.SampleRate, 0) << "sampling-rate index 3";

    TMP3Info notSync;
    notSync.Version = 1;
    DecodeFrameHeader(0xFF, 0xE3, 0x90, 0x00, notSync); // MPEG 2.5 is not recognised
    EXPECT_EQ(notSync, TMP3Info());
    EXPECT_FALSE(IsFrameSync(0xFF, 0xE0));
    EXPECT_FALSE(IsFrameSync(0xFE, 0xFF));
    EXPECT_TRUE(IsFrameSync(0xFF, 0xF0));
}

TEST(MP3Info, RoundHalfToEven)
{
    EXPECT_EQ(DivRoundHalfEven(5, 2), 2u);
    EXPECT_EQ(DivRoundHalfEven(7, 2), 4u);
    EXPECT_EQ(DivRoundHalfEven(9, 4), 2u);
    EXPECT_EQ(DivRoundHalfEven(11, 4), 3u);
    EXPECT_EQ(DivRoundHalfEven(0, 3), 0u);
    EXPECT_EQ(DivRoundHalfEven(~0ull, 1), ~0ull);
}

struct Probe {
    TMP3Info info;
    std::uint32_t duration = 0;
};

Probe RunProbe(const test::Bytes& frame)
{
    Probe p;
    test::Bytes padded = frame;
    padded.resize(std::max(padded.size(), kXingProbeBytes), 0);
    DecodeFrameHeader(padded[0], padded[1], padded[2], padded[3], p.info);
    ProbeXing(padded.data(), p.info, p.duration);
    return p;
}

TEST(MP3Info, XingProbeAndLength)
{
    // CBR: 4,000,000 audio bytes at 128 kbit/s.
    Probe cbr = RunProbe(test::Header());
    EXPECT_FALSE(cbr.info.VBR);
    ComputeLength(4'000'000, cbr.info, cbr.duration);
    EXPECT_EQ(cbr.duration, 250'000u);
    EXPECT_EQ(cbr.info.Bitrate, 128);

    // Xing with 9000 frames at offset 36.
    Probe vbr = RunProbe(test::XingFrame(test::Header(), 32, 0x0F, 9000));
    EXPECT_TRUE(vbr.info.VBR);
    EXPECT_EQ(vbr.duration, 235'000u);
    ComputeLength(4'000'000, vbr.info, vbr.duration);
    EXPECT_EQ(vbr.duration, 235'000u);
    EXPECT_EQ(vbr.info.Bitrate, 136);

    // The tag sits behind the side information of the frame's kind.
    EXPECT_TRUE(RunProbe(test::XingFrame(test::Header(0xFB, 0x90, 0xC0), 17, 1, 100)).info.VBR) << "MPEG 1 mono";
    EXPECT_FALSE(RunProbe(test::XingFrame(test::Header(0xFB, 0x90, 0xC0), 32, 1, 100)).info.VBR);
    EXPECT_TRUE(RunProbe(test::XingFrame(test::Header(0xF3, 0x54, 0xC0), 9, 1, 100)).info.VBR) << "MPEG 2 mono";
    EXPECT_TRUE(RunProbe(test::XingFrame(test::Header(0xF3, 0x54, 0x00), 17, 1, 100)).info.VBR) << "MPEG 2 stereo";
    EXPECT_FALSE(RunProbe(test::Cat({test::Header(), test::Fill(32), test::Str("xing")})).info.VBR)
        << "the marker is case-sensitive";

    // Samples a frame by layer and version: 1000 frames at 24000 Hz of MPEG 2
    // Layer III are 24 s; at 44100 Hz Layer I gives 8.7 s, Layer II 26.1 s.
    EXPECT_EQ(RunProbe(test::XingFrame(test::Header(0xF3, 0x54, 0xC0), 9, 1, 1000)).duration, 24'000u);
    EXPECT_EQ(RunProbe(test::XingFrame(test::Header(0xFF, 0x90), 32, 1, 1000)).duration, 9'000u);
    EXPECT_EQ(RunProbe(test::XingFrame(test::Header(0xFD, 0x90), 32, 1, 1000)).duration, 26'000u);
    EXPECT_EQ(RunProbe(test::XingFrame(test::Header(0xF5, 0x54, 0xC0), 9, 1, 1000)).duration, 48'000u) << "MPEG 2 Layer II";
    const Probe reserved = RunProbe(test::XingFrame(test::Header(0xF9, 0x90), 32, 1, 1000));
    EXPECT_TRUE(reserved.info.VBR);
    EXPECT_EQ(reserved.duration, 0u) << "reserved layer";

    // Half seconds go to the even neighbour: at 32000 Hz a frame lasts 0.036 s,
    // so 125 frames are 4.5 s (4 s) and 375 frames 13.5 s (14 s).
    EXPECT_EQ(RunProbe(test::XingFrame(test::Header(0xFB, 0x98, 0x00), 32, 1, 125)).duration, 4000u);
    EXPECT_EQ(RunProbe(test::XingFrame(test::Header(0xFB, 0x98, 0x00), 32, 1, 375)).duration, 14000u);

    // Flags without the frame count: VBR, but no length and no bit rate.
    Probe noFrames = RunProbe(test::XingFrame(test::Header(), 32, 0x0E, 9000));
    EXPECT_TRUE(noFrames.info.VBR);
    EXPECT_EQ(noFrames.duration, 0u);
    ComputeLength(4'000'000, noFrames.info, noFrames.duration);
    EXPECT_EQ(noFrames.info.Bitrate, 0);

    // Sampling-rate index 3: no length.
    Probe noRate = RunProbe(test::XingFrame(test::Header(0xFB, 0x9C, 0x00), 32, 1, 9000));
    EXPECT_TRUE(noRate.info.VBR);
    EXPECT_EQ(noRate.duration, 0u);

    // No audio bytes, no bit rate: no length.
    Probe none = RunProbe(test::Header());
    ComputeLength(0, none.info, none.duration);
    EXPECT_EQ(none.duration, 0u);
    none.info.Bitrate = 0;
    ComputeLength(1000, none.info, none.duration);
    EXPECT_EQ(none.duration, 0u);
    Probe vbrNoAudio = RunProbe(test::XingFrame(test::Header(), 32, 1, 9000));
    ComputeLength(-5, vbrNoAudio.info, vbrNoAudio.duration);
    EXPECT_EQ(vbrNoAudio.info.Bitrate, 0);
}

TEST(MP3Info, FrameLengths)
{
    const auto length = [](std::uint8_t b1, std::uint8_t b2) { return FrameLength(test::Header(b1, b2).data()); };
    EXPECT_EQ(length(0xFB, 0x92), 418u) << "MPEG 1 Layer III, 128 kbit/s, 44.1 kHz, padded";
    EXPECT_EQ(length(0xF3, 0x80), 208u) << "MPEG 2 Layer III, 64 kbit/s, 22.05 kHz";
    EXPECT_EQ(length(0xF5, 0x80), 417u) << "MPEG 2 Layer II";
    EXPECT_EQ(length(0xFF, 0x22), 72u) << "Layer I counts four-byte slots";
    EXPECT_EQ(length(0xFD, 0xEA), 1729u) << "the longest frame";
    EXPECT_EQ(length(0xFB, 0x00), 0u) << "free format";
    EXPECT_EQ(length(0xF9, 0x90), 0u) << "reserved layer";
}

TEST(MP3Info, LargeFilesKeepTheirLength)
{
    // 300 MiB of audio overflowed a 32-bit bit count.
    Probe cbr = RunProbe(test::Header());
    const std::int64_t bytes = 300ll << 20;
    ComputeLength(bytes, cbr.info, cbr.duration);
    EXPECT_EQ(cbr.duration, static_cast<std::uint32_t>(bytes * 8 / 128));

    Probe vbr = RunProbe(test::XingFrame(test::Header(), 32, 1, 500'000));
    ASSERT_EQ(vbr.duration, 13'061'000u); // 500000 * 1152 / 44100 = 13061.2 s
    ComputeLength(bytes, vbr.info, vbr.duration);
    EXPECT_EQ(vbr.info.Bitrate, 193); // 2516582400 bits / 13061000 ms = 192.68

    // A length past 32 bits stops at the largest value instead of wrapping.
    Probe slow = RunProbe(test::Header(0xF3, 0x14, 0x00)); // 8 kbit/s
    ComputeLength(8ll << 30, slow.info, slow.duration);
    EXPECT_EQ(slow.duration, 0xFFFFFFFFu);
}

} // namespace
} // namespace km
