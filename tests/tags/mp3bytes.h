// Builds MP3 byte layouts for tests: ID3v2 tags and frames, MPEG frame
// headers, Xing headers, ID3v1 blocks, and temporary folders to put them in.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace km::test {

using Bytes = std::vector<std::uint8_t>;

// A whole file's bytes; none when it cannot be read.
inline Bytes ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline Bytes Str(std::string_view s) { return Bytes(s.begin(), s.end()); }

inline Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline Bytes Fill(std::size_t n, std::uint8_t value = 0) { return Bytes(n, value); }

inline Bytes Synchsafe(std::uint32_t v)
{
    return {std::uint8_t((v >> 21) & 0x7F), std::uint8_t((v >> 14) & 0x7F), std::uint8_t((v >> 7) & 0x7F),
            std::uint8_t(v & 0x7F)};
}

inline Bytes BigEndian(std::uint32_t v)
{
    return {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)};
}

// A frame: 10-byte header, then `content` as given (group byte and length
// indicator included when the flags ask for them).
inline Bytes Frame(std::string_view id, const Bytes& content, std::uint8_t status = 0, std::uint8_t format = 0)
{
    Bytes out = Str(id);
    const Bytes size = Synchsafe(static_cast<std::uint32_t>(content.size()));
    out.insert(out.end(), size.begin(), size.end());
    out.push_back(status);
    out.push_back(format);
    out.insert(out.end(), content.begin(), content.end());
    return out;
}

inline Bytes TextFrame(std::string_view id, std::string_view text) { return Frame(id, Cat({{0x00}, Str(text)})); }

// A whole tag: header, body (frames and padding) and, with flag 0x10, the footer.
inline Bytes Tag(const Bytes& body, std::uint8_t flags = 0, std::uint8_t major = 4)
{
    Bytes out = Cat({Str("ID3"), {major, 0, flags}, Synchsafe(static_cast<std::uint32_t>(body.size())), body});
    if (flags & 0x10) {
        const Bytes footer = Cat({Str("3DI"), {major, 0, flags}, Synchsafe(static_cast<std::uint32_t>(body.size()))});
        out.insert(out.end(), footer.begin(), footer.end());
    }
    return out;
}

// MPEG frame header bytes; defaults: MPEG 1 Layer III, 128 kbit/s, 44100 Hz, stereo.
inline Bytes Header(std::uint8_t b1 = 0xFB, std::uint8_t b2 = 0x90, std::uint8_t b3 = 0x00)
{
    return {0xFF, b1, b2, b3};
}

// A first frame whose Xing header stands after `sideInfo` bytes.
inline Bytes XingFrame(const Bytes& header, int sideInfo, std::uint32_t flags, std::uint32_t frames,
    std::size_t frameSize = 417)
{
    Bytes out = Cat({header, Fill(static_cast<std::size_t>(sideInfo)), Str("Xing"), BigEndian(flags), BigEndian(frames)});
    out.resize(std::max(out.size(), frameSize), 0);
    return out;
}

inline Bytes V1(std::string_view title, std::string_view artist = "", std::string_view album = "",
    std::string_view year = "", std::string_view comment = "", std::uint8_t track = 0, std::uint8_t genre = 255)
{
    Bytes out = Str("TAG");
    const auto field = [&out](std::string_view s, std::size_t w) {
        Bytes f(w, 0);
        std::memcpy(f.data(), s.data(), std::min(w, s.size()));
        out.insert(out.end(), f.begin(), f.end());
    };
    field(title, 30);
    field(artist, 30);
    field(album, 30);
    field(year, 4);
    field(comment, 29);
    out.push_back(track);
    out.push_back(genre);
    return out;
}

// Random bytes with a fixed seed, so a failure repeats.
inline Bytes Noise(std::size_t n, std::uint32_t seed, std::uint8_t avoid = 0xFF)
{
    std::mt19937 rng(seed);
    Bytes out(n);
    for (auto& b : out) {
        b = static_cast<std::uint8_t>(rng());
        if (b == avoid)
            b = 0x55;
    }
    return out;
}

class TempDir {
public:
    TempDir()
    {
        std::random_device rd;
        m_path = std::filesystem::temp_directory_path() / ("klangmappe-test-" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(m_path);
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string Path() const { return m_path.string(); }

    std::string Write(const std::string& name, const Bytes& bytes) const
    {
        const std::string path = (m_path / name).string();
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        EXPECT_TRUE(out.good()) << path;
        return path;
    }

private:
    std::filesystem::path m_path;
};

} // namespace km::test
