// Fills a folder for the benchmarks: generated MP3 files, and among them hard
// links to real encoder output, one in every EVERY files.
//
//   make_folder FOLDER COUNT [--small] [--shift-jis] [--folders N] [--every N] [REAL.mp3...]
//
// --small makes files of about 2 KB, which the reader's first read takes whole.
// --shift-jis gives the ID3v1 titles in Shift_JIS, for the other sets' costs.
// --folders N spreads the files over N subfolders (d0/, d1/, ...).
// With real files and --every 1 the folder holds links to them only.

#include "bench/mp3gen.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "Aufruf: make_folder ORDNER ANZAHL [--small] [--every N] [ECHT.mp3...]\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    const int count = std::atoi(argv[2]);
    bool small = false;
    bool shiftJis = false;
    int folders = 0;
    int every = 20;
    std::vector<std::filesystem::path> real;
    for (int i = 3; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--small")
            small = true;
        else if (a == "--shift-jis")
            shiftJis = true;
        else if (a == "--folders" && i + 1 < argc)
            folders = std::max(1, std::atoi(argv[++i]));
        else if (a == "--every" && i + 1 < argc)
            every = std::max(1, std::atoi(argv[++i]));
        else
            real.emplace_back(a);
    }
    std::filesystem::create_directories(dir);
    for (int f = 0; f < folders; ++f)
        std::filesystem::create_directories(dir / ("d" + std::to_string(f)));
    int links = 0;
    for (int k = 0; k < count; ++k) {
        const std::filesystem::path folder = folders > 0 ? dir / ("d" + std::to_string(k % folders)) : dir;
        const std::filesystem::path path = folder / ("lied" + std::to_string(k) + ".mp3");
        if (!real.empty() && k % every == 0) {
            std::error_code ec;
            std::filesystem::create_hard_link(real[static_cast<std::size_t>(k / every) % real.size()], path, ec);
            if (ec) {
                std::fprintf(stderr, "%s: %s\n", path.c_str(), ec.message().c_str());
                return 1;
            }
            ++links;
            continue;
        }
        const km::bench::Bytes b = small ? km::bench::MakeFile(k, 4, 64, shiftJis) : km::bench::MakeFile(k, 20, 1024, shiftJis);
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
        if (!out) {
            std::fprintf(stderr, "%s: nicht geschrieben\n", path.c_str());
            return 1;
        }
    }
    std::printf("%s: %d files, %d of them links to real encoder output\n", dir.c_str(), count, links);
    return 0;
}
