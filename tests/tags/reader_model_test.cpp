// The reader reads in blocks and skips tags it need not decode. Here a plain
// offset-by-offset walk over the whole file in memory, written straight from
// the rules, must agree with it on many generated files.
#include "tags/id3v2reader.h"
#include "tags/mp3bytes.h"

#include <gtest/gtest.h>

#include <cstring>

namespace km {
namespace {

using test::Bytes;
using test::Cat;

struct ModelResult {
    bool hasID3v2 = false, hasID3v1 = false, hasAudioFrame = false;
    std::int64_t offset = 0;
    std::int32_t size = 0;
    std::uint32_t duration = 0;
    TMP3Info info;
    TID3v1Infos v1;
    std::vector<TID3Frame> frames;
};

ModelResult Model(const Bytes& f, bool readId3v2)
{
    ModelResult m;
    TID3v2Reader parser; // only its decoding helpers
    const auto n = static_cast<std::int64_t>(f.size());
    if (n == 0)
        return m;
    // "TAG" opening the last 128 bytes is a block unless a leading tag claims
    // them; until then the walk takes the block for the end of the file.
    std::int64_t blockAt = n >= 128 && std::memcmp(f.data() + (n - 128), "TAG", 3) == 0 ? n - 128 : -1;
    std::int64_t end = blockAt >= 0 ? blockAt : n;
    const auto at = [&f, &end](std::int64_t p) {
        Bytes b(kXingProbeBytes, 0);
        for (std::size_t k = 0; k < b.size() && p + static_cast<std::int64_t>(k) < end; ++k)
            b[k] = f[static_cast<std::size_t>(p) + k];
        return b;
    };
    std::int64_t nonAudio = 0;
    std::int64_t examined = 0;
    for (std::int64_t p = 0; end - p >= 11 && examined < 2014; ++p) {
        ++examined;
        const Bytes b = at(p);
        if (TID3v2Reader::IsID3v2Marker(b.data(), true)) {
            m.hasID3v2 = true;
            m.offset = p;
            m.size = static_cast<std::int32_t>(TID3v2Reader::DecodeSynchsafe(&b[6]) + 10 + ((b[5] & 0x10) ? 10 : 0));
            if (p + m.size > n)
                break;
            if (readId3v2)
                parser.ParseID3v2Tag(std::span(f).subspan(static_cast<std::size_t>(p), static_cast<std::size_t>(m.size)));
            nonAudio = p + m.size;
            if (blockAt >= 0 && nonAudio > blockAt) {
                blockAt = -1;
                end = n;
            }
            p = nonAudio - 1;
            examined = 0;
            continue;
        }
        if (b[0] == 0xFF && (b[1] & 0xF0) == 0xF0) {
            m.hasAudioFrame = true;
            nonAudio = p;
            DecodeFrameHeader(b[0], b[1], b[2], b[3], m.info);
            ProbeXing(b.data(), m.info, m.duration);
            if (HasInfoHeader(b.data(), m.info) && FrameLength(b.data()) > 0) {
                const Bytes next = at(p + static_cast<std::int64_t>(FrameLength(b.data())));
                if (next[0] == 0xFF && (next[1] & 0xF0) == 0xF0)
                    DecodeFrameHeader(next[0], next[1], next[2], next[3], m.info);
            }
            break;
        }
    }
    const bool roomForFooter = n - nonAudio >= 138;
    const auto appended = [&](const std::uint8_t* footer, std::int64_t tagEnd) {
        const auto size = static_cast<std::int32_t>(TID3v2Reader::DecodeSynchsafe(footer + 6) + 20);
        if (tagEnd - size <= 0) {
            m.offset = 0;
            m.size = 0;
            return;
        }
        m.hasID3v2 = true;
        m.offset = tagEnd - size;
        m.size = size;
        parser.ParseID3v2Tag(std::span(f).subspan(static_cast<std::size_t>(m.offset), static_cast<std::size_t>(size)));
        nonAudio += size;
    };
    if (roomForFooter && !m.hasID3v2 && TID3v2Reader::IsID3v2Marker(f.data() + (n - 138), false))
        appended(f.data() + (n - 138), n - 128);
    if (blockAt >= 0) {
        m.hasID3v1 = true;
        DecodeID3v1Block(f.data() + blockAt, m.v1);
        nonAudio += 128;
    }
    if (roomForFooter && !m.hasID3v2 && !m.hasID3v1 && TID3v2Reader::IsID3v2Marker(f.data() + (n - 10), false))
        appended(f.data() + (n - 10), n);
    if (!m.hasID3v2 && m.hasID3v1) {
        parser.ID3v1 = m.v1;
        parser.CopyID3v1ToFrames();
    }
    m.frames = parser.Frames;
    ComputeLength(n - nonAudio, m.info, m.duration);
    return m;
}

// A file from random pieces: tags (some too long, some with footers), garbage,
// frame headers (some with Xing), stray markers, ID3v1 blocks.
Bytes RandomFile(std::mt19937& rng)
{
    Bytes f;
    const int pieces = 1 + static_cast<int>(rng() % 6);
    for (int k = 0; k < pieces; ++k) {
        switch (rng() % 9) {
        case 0:
        case 1: {
            Bytes body = Cat({test::TextFrame("TIT2", "t" + std::to_string(rng() % 100)), test::Fill(rng() % 5000)});
            Bytes tag = test::Tag(body, (rng() % 3 == 0) ? 0x10 : 0);
            if (rng() % 5 == 0)
                tag[9] = static_cast<std::uint8_t>(rng() & 0x7F); // a size that lies
            f.insert(f.end(), tag.begin(), tag.end());
            break;
        }
        case 2:
        case 3: {
            const Bytes g = test::Fill(rng() % 2600, static_cast<std::uint8_t>(0x20 + rng() % 64));
            f.insert(f.end(), g.begin(), g.end());
            break;
        }
        case 4: {
            const std::uint8_t b1 = static_cast<std::uint8_t>(0xF0 | (rng() & 0x0F));
            const Bytes h = test::Header(b1, static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng()));
            TMP3Info hi;
            DecodeFrameHeader(h[0], h[1], h[2], h[3], hi);
            const int side = rng() % 4 ? SideInfoSize(hi.Version, hi.ChannelMode) : (rng() % 2 ? 32 : 17);
            Bytes fr = (rng() % 2) ? test::XingFrame(h, side, static_cast<std::uint32_t>(rng() & 0x0F), static_cast<std::uint32_t>(rng() % 100000))
                                   : Cat({h, test::Fill(rng() % 500, 0x11)});
            // Some become Info frames of their true length, most with the stream's frame behind.
            const std::size_t length = FrameLength(h.data());
            if (fr.size() > 48 && fr[4 + static_cast<std::size_t>(side)] == 'X' && length >= 48 && rng() % 2) {
                std::memcpy(fr.data() + 4 + side, "Info", 4);
                fr.resize(length);
                if (rng() % 4)
                    fr = Cat({fr, test::Header(static_cast<std::uint8_t>(0xF0 | (rng() & 0x0F)), static_cast<std::uint8_t>(rng()))});
            }
            f.insert(f.end(), fr.begin(), fr.end());
            break;
        }
        case 5: {
            const Bytes v1 = test::V1("Titel", "Interpret", "", "2001", "", static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng()));
            f.insert(f.end(), v1.begin(), v1.end());
            break;
        }
        case 6: {
            const Bytes footer = Cat({test::Str("3DI"), {4, 0, 0x10}, test::Synchsafe(rng() % 6000)});
            f.insert(f.end(), footer.begin(), footer.end());
            break;
        }
        case 7: {
            const Bytes noise = test::Noise(rng() % 300, static_cast<std::uint32_t>(rng()), 0x00);
            f.insert(f.end(), noise.begin(), noise.end());
            break;
        }
        default:
            f.resize(f.size() > 0 ? rng() % f.size() : 0); // cut short
        }
    }
    return f;
}

void ExpectSame(const TID3v2Reader& r, const ModelResult& m, const std::string& what)
{
    EXPECT_EQ(r.FileSize >= 0, true);
    EXPECT_EQ(r.HasID3v2, m.hasID3v2) << what;
    EXPECT_EQ(r.HasID3v1, m.hasID3v1) << what;
    EXPECT_EQ(r.HasAudioFrame, m.hasAudioFrame) << what;
    EXPECT_EQ(r.ID3v2Offset, m.offset) << what;
    EXPECT_EQ(r.ID3v2Size, m.size) << what;
    EXPECT_EQ(r.Duration, m.duration) << what;
    EXPECT_EQ(r.MP3Info, m.info) << what;
    EXPECT_EQ(r.ID3v1.Title, m.v1.Title) << what;
    EXPECT_EQ(r.ID3v1.Track, m.v1.Track) << what;
    EXPECT_EQ(r.ID3v1.GenreIndex, m.v1.GenreIndex) << what;
    ASSERT_EQ(r.Frames.size(), m.frames.size()) << what;
    for (std::size_t k = 0; k < m.frames.size(); ++k) {
        EXPECT_EQ(r.Frames[k].FrameID, m.frames[k].FrameID) << what;
        EXPECT_EQ(r.Frames[k].Data, m.frames[k].Data) << what;
    }
}

TEST(ReaderModel, BlockReadsAgreeWithAnOffsetByOffsetWalk)
{
    test::TempDir dir;
    std::mt19937 rng(20261208);
    int withFrame = 0, withTag = 0, withV1 = 0;
    for (int round = 0; round < 600; ++round) {
        const Bytes file = RandomFile(rng);
        const std::string path = dir.Write("m.mp3", file);
        for (const bool id3v2 : {false, true}) {
            TID3v2Reader r;
            r.FileName = path;
            r.ReadID3v2 = id3v2;
            r.ReadTags();
            ExpectSame(r, Model(file, id3v2), "round " + std::to_string(round) + (id3v2 ? " with frames" : ""));
        }
        const ModelResult m = Model(file, false);
        withFrame += m.hasAudioFrame;
        withTag += m.hasID3v2;
        withV1 += m.hasID3v1;
        if (HasFailure())
            break;
    }
    // The generator must reach every case, or the comparison proves little.
    EXPECT_GT(withFrame, 100);
    EXPECT_GT(withTag, 100);
    EXPECT_GT(withV1, 50);
}

TEST(ReaderModel, HostileBytesNeverCrash)
{
    test::TempDir dir;
    std::mt19937 rng(99);
    for (int round = 0; round < 400; ++round) {
        Bytes f = test::Noise(rng() % 9000, static_cast<std::uint32_t>(rng()), 0x00);
        // Sprinkle markers so the bytes reach the tag and frame paths.
        for (int k = 0; k < 6 && !f.empty(); ++k) {
            const std::size_t p = rng() % f.size();
            const Bytes marker = (rng() % 2) ? Cat({test::Str(rng() % 2 ? "ID3" : "3DI"), {4, 0, static_cast<std::uint8_t>(rng() & 0xF0)}, test::Synchsafe(rng() % 20000)})
                                             : test::Header(static_cast<std::uint8_t>(0xF0 | rng()), static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng()));
            for (std::size_t i = 0; i < marker.size() && p + i < f.size(); ++i)
                f[p + i] = marker[i];
        }
        const std::string path = dir.Write("h.mp3", f);
        TID3v2Reader r;
        r.FileName = path;
        r.ReadID3v2 = rng() % 2;
        ASSERT_NO_THROW(r.ReadTags());
        ExpectSame(r, Model(f, r.ReadID3v2), "hostile round " + std::to_string(round));
        if (HasFailure())
            break;
    }
}

} // namespace
} // namespace km
