// Files per second for the reader as the main window runs it, against TagLib
// reading the ID3v1 tag and the audio properties of the same files.
//
//   reader_bench [--files N] [--passes P] [--dir FOLDER]

#include "tags/id3v2reader.h"

#include <taglib/id3v1tag.h>
#include <taglib/mpegfile.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using Bytes = std::vector<unsigned char>;

void Append(Bytes& out, const Bytes& part) { out.insert(out.end(), part.begin(), part.end()); }

Bytes Synchsafe(std::uint32_t v)
{
    return {static_cast<unsigned char>((v >> 21) & 0x7F), static_cast<unsigned char>((v >> 14) & 0x7F),
            static_cast<unsigned char>((v >> 7) & 0x7F), static_cast<unsigned char>(v & 0x7F)};
}

Bytes TextFrame(const char* id, const std::string& text)
{
    Bytes f(id, id + 4);
    Append(f, Synchsafe(static_cast<std::uint32_t>(text.size() + 1)));
    f.push_back(0);
    f.push_back(0);
    f.push_back(0); // ISO-8859-1
    f.insert(f.end(), text.begin(), text.end());
    return f;
}

// Leading ID3v2.4 tag with a few text frames and padding, twenty MPEG 1 Layer III
// frames at 128 kbit/s (417 bytes each), an ID3v1 block.
Bytes MakeFile(int k)
{
    Bytes body;
    Append(body, TextFrame("TIT2", "Titel Nummer " + std::to_string(k)));
    Append(body, TextFrame("TPE1", "Interpret " + std::to_string(k % 50)));
    Append(body, TextFrame("TALB", "Album " + std::to_string(k % 200)));
    body.resize(body.size() + 1024, 0);
    Bytes file = {'I', 'D', '3', 4, 0, 0};
    Append(file, Synchsafe(static_cast<std::uint32_t>(body.size())));
    Append(file, body);
    for (int frame = 0; frame < 20; ++frame) {
        Bytes f(417, 0x55);
        f[0] = 0xFF;
        f[1] = 0xFB;
        f[2] = 0x90;
        f[3] = 0x00;
        Append(file, f);
    }
    Bytes v1(128, 0);
    std::memcpy(v1.data(), "TAG", 3);
    const std::string title = "Titel " + std::to_string(k);
    std::memcpy(v1.data() + 3, title.data(), title.size());
    v1[126] = static_cast<unsigned char>(k % 20 + 1);
    v1[127] = 17;
    Append(file, v1);
    return file;
}

double FilesPerSecond(const std::vector<std::string>& files, int passes, const std::function<void(const std::string&)>& read)
{
    for (const auto& f : files) // warm the page cache and the allocator
        read(f);
    double best = 0;
    for (int p = 0; p < passes; ++p) {
        const auto start = std::chrono::steady_clock::now();
        for (const auto& f : files)
            read(f);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        best = std::max(best, static_cast<double>(files.size()) / seconds);
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    int count = 10000;
    int passes = 5;
    std::filesystem::path dir;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--files" && i + 1 < argc)
            count = std::max(1, std::atoi(argv[++i]));
        else if (a == "--passes" && i + 1 < argc)
            passes = std::max(1, std::atoi(argv[++i]));
        else if (a == "--dir" && i + 1 < argc)
            dir = argv[++i];
        else {
            std::fprintf(stderr, "Aufruf: reader_bench [--files N] [--passes P] [--dir ORDNER]\n");
            return 2;
        }
    }
    const bool own = dir.empty();
    if (own)
        dir = std::filesystem::temp_directory_path() / ("klangmappe-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);

    std::vector<std::string> files;
    files.reserve(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) {
        const std::string path = (dir / ("lied" + std::to_string(k) + ".mp3")).string();
        if (!std::filesystem::exists(path)) {
            const Bytes b = MakeFile(k);
            std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
        }
        files.push_back(path);
    }

    km::TID3v2Reader reader;
    reader.ReadID3v2 = false;
    reader.CopyID3v2IfEmptyFromID3v1 = true;
    std::uint64_t check = 0;
    const double ours = FilesPerSecond(files, passes, [&](const std::string& path) {
        reader.FileName = path;
        reader.ReadTags();
        check += reader.Duration + reader.ID3v1.Title.size();
    });

    std::uint64_t checkTagLib = 0;
    const double taglib = FilesPerSecond(files, passes, [&](const std::string& path) {
        TagLib::MPEG::File f(path.c_str(), true, TagLib::AudioProperties::Average);
        if (const auto* v1 = f.ID3v1Tag())
            checkTagLib += v1->title().size();
        if (const auto* props = f.audioProperties())
            checkTagLib += static_cast<std::uint64_t>(props->lengthInMilliseconds());
    });

    std::printf("files:              %d (%s)\n", count, dir.c_str());
    std::printf("Klangmappe reader:  %.0f files/s\n", ours);
    std::printf("TagLib MPEG::File:  %.0f files/s\n", taglib);
    std::printf("ratio:              %.2f\n", ours / taglib);
    std::printf("(checksums %llu / %llu)\n", static_cast<unsigned long long>(check), static_cast<unsigned long long>(checkTagLib));

    if (own)
        std::filesystem::remove_all(dir);
    return 0;
}
