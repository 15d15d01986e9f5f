// Files per second for the reader as the main window runs it, against TagLib
// reading the ID3v1 tag and the audio properties of the same files.
//
//   reader_bench [--files N] [--passes P] [--dir FOLDER] [--existing]
//
// --existing reads the MP3 files the folder holds, in name order, instead of
// generating N files into it.

#include "bench/mp3gen.h"
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
    bool existing = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--files" && i + 1 < argc)
            count = std::max(1, std::atoi(argv[++i]));
        else if (a == "--passes" && i + 1 < argc)
            passes = std::max(1, std::atoi(argv[++i]));
        else if (a == "--dir" && i + 1 < argc)
            dir = argv[++i];
        else if (a == "--existing")
            existing = true;
        else {
            std::fprintf(stderr, "Aufruf: reader_bench [--files N] [--passes P] [--dir ORDNER] [--existing]\n");
            return 2;
        }
    }
    const bool own = dir.empty();
    if (own)
        dir = std::filesystem::temp_directory_path() / ("klangmappe-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);

    std::vector<std::string> files;
    files.reserve(static_cast<std::size_t>(count));
    if (existing) {
        for (const auto& e : std::filesystem::directory_iterator(dir))
            if (e.path().extension() == ".mp3")
                files.push_back(e.path().string());
        std::sort(files.begin(), files.end());
        count = static_cast<int>(files.size());
    } else {
        for (int k = 0; k < count; ++k)
            files.push_back(km::bench::WriteFile(dir, k));
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
