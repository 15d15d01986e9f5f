// Files per second for the list's scan (collect, read, place each row at its
// sorted place) and milliseconds for sorting 50,000 entries.
//
//   list_bench [--files N] [--sort-entries M] [--passes P] [--dir FOLDER] [--existing] [--every-code]
//
// --existing scans the folder as it is instead of generating N files into it.
// --every-code sorts the scanned rows, shuffled, by each sort code +-1..+-17.

#include "bench/mp3gen.h"
#include "model/collect.h"
#include "model/columns.h"
#include "model/sorting.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>

#include <malloc.h>
#include <unistd.h>

namespace {

std::size_t HeapInUse()
{
    const auto info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

} // namespace

int main(int argc, char** argv)
{
    int count = 20000;
    int sortCount = 50000;
    int passes = 3;
    std::filesystem::path dir;
    bool existing = false;
    bool everyCode = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--files" && i + 1 < argc)
            count = std::max(1, std::atoi(argv[++i]));
        else if (a == "--sort-entries" && i + 1 < argc)
            sortCount = std::max(1, std::atoi(argv[++i]));
        else if (a == "--passes" && i + 1 < argc)
            passes = std::max(1, std::atoi(argv[++i]));
        else if (a == "--dir" && i + 1 < argc)
            dir = argv[++i];
        else if (a == "--existing")
            existing = true;
        else if (a == "--every-code")
            everyCode = true;
        else {
            std::fprintf(stderr,
                "Aufruf: list_bench [--files N] [--sort-entries M] [--passes P] [--dir ORDNER] [--existing] [--every-code]\n");
            return 2;
        }
    }
    const bool own = dir.empty();
    if (own)
        dir = std::filesystem::temp_directory_path() / ("klangmappe-listbench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    if (!existing)
        for (int k = 0; k < count; ++k)
            km::bench::WriteFile(dir, k);

    std::vector<int> shown;
    for (const auto& c : km::DefaultColumnLayout())
        shown.push_back(c.Id);
    const std::string folder = dir.string() + "/";

    // The first pass warms the page cache; the best of the others counts.
    double best = 0;
    std::size_t listed = 0;
    km::TEntryList entries;
    double heapPerEntry = 0;
    for (int p = 0; p <= passes; ++p) {
        entries.clear();
        const std::size_t heapBefore = HeapInUse();
        const auto start = std::chrono::steady_clock::now();
        int found = 0;
        km::CollectFiles(folder, false, entries, km::TCollectProgress {}, found);
        km::TID3v2Reader reader;
        km::SetUpListReader(reader);
        std::vector<km::TEintragDaten*> rows;
        rows.reserve(entries.size());
        for (const auto& e : entries) {
            km::ReadEntry(reader, e->FullPath(), *e);
            rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(km::SortedPosition(rows, *e, km::kDefaultSortKey, shown)), e.get());
        }
        const double s = Seconds(start);
        heapPerEntry = (static_cast<double>(HeapInUse()) - static_cast<double>(heapBefore)) / std::max<std::size_t>(1, rows.size());
        listed = rows.size();
        if (p > 0)
            best = std::max(best, static_cast<double>(rows.size()) / s);
    }
    std::printf("scan of %zu files (collect + read + sorted insertion): %.0f files/s\n", listed, best);
    std::printf("heap in use per entry after the scan (entries and rows, no window): %.0f bytes\n", heapPerEntry);

    std::mt19937 shuffler(7);
    if (everyCode) {
        double slowest = 0;
        int slowestCode = 0;
        std::vector<km::TEintragDaten*> rows;
        for (int code = 1; code <= 17; ++code) {
            std::string line;
            for (const int key : {code, -code}) {
                double bestMs = 1e300;
                for (int p = 0; p < passes; ++p) {
                    rows.clear();
                    for (const auto& e : entries)
                        rows.push_back(e.get());
                    std::shuffle(rows.begin(), rows.end(), shuffler);
                    const auto start = std::chrono::steady_clock::now();
                    km::SortRows(rows, key, shown);
                    bestMs = std::min(bestMs, Seconds(start) * 1000);
                }
                if (bestMs > slowest) {
                    slowest = bestMs;
                    slowestCode = key;
                }
                char cell[48];
                std::snprintf(cell, sizeof cell, "  %+3d: %7.1f ms", key, bestMs);
                line += cell;
            }
            std::printf("sort %zu rows by code%s\n", entries.size(), line.c_str());
        }
        std::printf("slowest sort of %zu rows: code %+d, %.1f ms\n", entries.size(), slowestCode, slowest);
    }

    // Entries with varied titles, sizes and dates, in random order.
    std::mt19937 rng(1);
    km::TEntryList pool;
    for (int k = 0; k < sortCount; ++k) {
        auto e = std::make_unique<km::TEintragDaten>();
        std::string title;
        for (int c = 0; c < 12; ++c)
            title += static_cast<char>("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"[rng() % 52]);
        km::StoreField(e->Tag.Titel, title);
        e->FileName = "lied" + std::to_string(rng() % 100000) + ".mp3";
        e->Folder = folder;
        e->FileSize = static_cast<std::int64_t>(rng() % 20'000'000);
        e->FileTime = 130'000'000'000'000'000ull + rng();
        pool.push_back(std::move(e));
    }
    for (const auto& [name, key] : {std::pair {"title", 2}, std::pair {"size", 10}, std::pair {"file date", 17}}) {
        double bestMs = 1e300;
        for (int p = 0; p < passes; ++p) {
            std::vector<km::TEintragDaten*> rows;
            for (const auto& e : pool)
                rows.push_back(e.get());
            std::shuffle(rows.begin(), rows.end(), rng);
            const auto start = std::chrono::steady_clock::now();
            km::SortRows(rows, key, shown);
            bestMs = std::min(bestMs, Seconds(start) * 1000);
        }
        std::printf("sort %d entries by %s: %.1f ms\n", sortCount, name, bestMs);
    }

    if (own)
        std::filesystem::remove_all(dir);
    return 0;
}
