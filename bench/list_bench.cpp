// Files per second for the list's scan (collect, read, place each row at its
// sorted place) and milliseconds for sorting 50,000 entries.
//
//   list_bench [--files N] [--sort-entries M] [--passes P] [--dir FOLDER]

#include "bench/mp3gen.h"
#include "browse/collect.h"
#include "browse/columns.h"
#include "browse/sorting.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>

#include <unistd.h>

namespace {

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
        else {
            std::fprintf(stderr, "Aufruf: list_bench [--files N] [--sort-entries M] [--passes P] [--dir ORDNER]\n");
            return 2;
        }
    }
    const bool own = dir.empty();
    if (own)
        dir = std::filesystem::temp_directory_path() / ("klangmappe-listbench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    for (int k = 0; k < count; ++k)
        km::bench::WriteFile(dir, k);

    std::vector<int> shown;
    for (const auto& c : km::DefaultColumnLayout())
        shown.push_back(c.Id);
    const std::string folder = dir.string() + "/";

    // The first pass warms the page cache; the best of the others counts.
    double best = 0;
    std::size_t listed = 0;
    for (int p = 0; p <= passes; ++p) {
        const auto start = std::chrono::steady_clock::now();
        km::TEntryList entries;
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
        listed = rows.size();
        if (p > 0)
            best = std::max(best, static_cast<double>(rows.size()) / s);
    }
    std::printf("scan of %zu files (collect + read + sorted insertion): %.0f files/s\n", listed, best);

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
