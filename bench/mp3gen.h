// Small realistic MP3 files for the benchmarks.
#pragma once

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace km::bench {

using Bytes = std::vector<unsigned char>;

inline void Append(Bytes& out, const Bytes& part) { out.insert(out.end(), part.begin(), part.end()); }

inline Bytes Synchsafe(std::uint32_t v)
{
    return {static_cast<unsigned char>((v >> 21) & 0x7F), static_cast<unsigned char>((v >> 14) & 0x7F),
            static_cast<unsigned char>((v >> 7) & 0x7F), static_cast<unsigned char>(v & 0x7F)};
}

inline Bytes TextFrame(const char* id, const std::string& text)
{
    Bytes f(id, id + 4);
    Append(f, Synchsafe(static_cast<std::uint32_t>(text.size() + 1)));
    f.push_back(0);
    f.push_back(0);
    f.push_back(0); // ISO-8859-1
    f.insert(f.end(), text.begin(), text.end());
    return f;
}

// Leading ID3v2.4 tag with a few text frames and padding, MPEG 1 Layer III
// frames at 128 kbit/s (417 bytes each; twenty make about 10 KB), an ID3v1 block.
// `shiftJis`: the block's title is 3 to 12 hiragana in Shift_JIS.
inline Bytes MakeFile(int k, int frames = 20, std::size_t padding = 1024, bool shiftJis = false)
{
    Bytes body;
    Append(body, TextFrame("TIT2", "Titel Nummer " + std::to_string(k)));
    Append(body, TextFrame("TPE1", "Interpret " + std::to_string(k % 50)));
    Append(body, TextFrame("TALB", "Album " + std::to_string(k % 200)));
    body.resize(body.size() + padding, 0);
    Bytes file = {'I', 'D', '3', 4, 0, 0};
    Append(file, Synchsafe(static_cast<std::uint32_t>(body.size())));
    Append(file, body);
    for (int frame = 0; frame < frames; ++frame) {
        Bytes f(417, 0x55);
        f[0] = 0xFF;
        f[1] = 0xFB;
        f[2] = 0x90;
        f[3] = 0x00;
        Append(file, f);
    }
    Bytes v1(128, 0);
    std::memcpy(v1.data(), "TAG", 3);
    std::string title = "Titel " + std::to_string(k);
    if (shiftJis) {
        title.clear();
        for (int i = 0; i < k % 10 + 3; ++i) {
            title += '\x82';
            title += static_cast<char>(0x9F + (k * 7 + i * 13) % 83);
        }
    }
    std::memcpy(v1.data() + 3, title.data(), title.size());
    v1[126] = static_cast<unsigned char>(k % 20 + 1);
    v1[127] = 17;
    Append(file, v1);
    return file;
}

// Writes file number k into the folder unless it is there already.
inline std::string WriteFile(const std::filesystem::path& dir, int k)
{
    const std::string path = (dir / ("lied" + std::to_string(k) + ".mp3")).string();
    if (!std::filesystem::exists(path)) {
        const Bytes b = MakeFile(k);
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    }
    return path;
}

} // namespace km::bench
