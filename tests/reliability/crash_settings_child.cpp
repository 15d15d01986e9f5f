// Saves the window's settings the way the window does at closing, for the
// crash tests to kill it while it does.
//
//   crash_settings_child write K            saves state K once
//   crash_settings_child loop PROGRESS K    saves states K, K+1, ... until killed
//
// PROGRESS is a file of two 64-bit counters shared with the parent: the state
// whose save has begun and the state whose save has returned. The parent reads
// them after the kill to know which states the settings file may hold.
#include "model/settings.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

using namespace km;

// Odd states are long and use every kind of value, even ones are short, so
// that a file cut short or mixed from two saves cannot pass for either.
TSettings State(std::uint64_t k)
{
    const bool odd = k % 2 != 0;
    const QString n = QString::number(k);
    TSettings s;
    s.LastDir = QStringLiteral("/home/anna/Musik/") + (odd ? QStringLiteral("Größe \"äöü\" € ").repeated(20) : n)
        + QStringLiteral("/");
    s.TZ1 = odd ? QStringLiteral(" – ") : QStringLiteral(" - ");
    s.TZ2 = n;
    s.DNAufbau = {std::uint8_t(k % 6), std::uint8_t((k + 1) % 6), std::uint8_t((k + 2) % 6)};
    s.JahrVonDatei = k & 1;
    s.DatumBeibehalten = k & 2;
    s.keinTitel0 = k & 4;
    s.DirAlbum = k & 8;
    s.Sort = static_cast<qint32>(k % 19) - 9;
    s.Unterordner = odd;
    s.BW = 100 + static_cast<qint32>(k % 400);
    s.ET = !odd;
    s.CopyTo = odd ? (QStringLiteral("/mnt/kopie/") + n).repeated(150) : QString();
    // A line break makes the registry store the text as wrapped hex lines.
    s.MoveTo = odd ? QStringLiteral("Zeile 1\nZeile 2 ").repeated(40) + n : n;
    if (odd)
        for (int i = 0; i < 200; ++i)
            s.Spalten.push_back({i % 9, 10 + static_cast<std::int32_t>((k + i) % 490)});
    TWindowPlacement p;
    p.ShowCmd = odd ? kShowMaximized : kShowNormal;
    p.SetNormalRect(QRect(static_cast<int>(k % 97), 20, 800, 600));
    s.Placement = p;
    return s;
}

bool Save(std::uint64_t k)
{
    TRegistry registry;
    return WriteSettings(registry, State(k));
}

int Usage()
{
    std::fprintf(stderr, "crash_settings_child write K | loop PROGRESS K\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "write")
        return Save(std::stoull(argv[2])) ? 0 : 1;
    if (argc != 4 || std::string(argv[1]) != "loop")
        return Usage();

    const int fd = ::open(argv[2], O_RDWR);
    if (fd < 0)
        return 1;
    void* shared = ::mmap(nullptr, 2 * sizeof(std::uint64_t), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ::close(fd);
    if (shared == MAP_FAILED)
        return 1;
    auto* counters = static_cast<std::uint64_t*>(shared);
    std::atomic_ref<std::uint64_t> begun(counters[0]);
    std::atomic_ref<std::uint64_t> done(counters[1]);

    // Bounded, so that a child whose parent died does not run on for ever.
    const std::uint64_t first = std::stoull(argv[3]);
    for (std::uint64_t k = first; k < first + 100000; ++k) {
        begun.store(k);
        if (!Save(k))
            return 1;
        done.store(k);
    }
    return 0;
}
