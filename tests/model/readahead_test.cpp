#include "model/readahead.h"

#include "model/cells.h"
#include "model/collect.h"
#include "model/columns.h"
#include "tags/mp3bytes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include <QStringList>

namespace km {
namespace {

using test::Cat;
using test::Fill;

// Refuses one file, as a file locked by another program; counts the opens.
class TLockedFile : public TFileLayer {
public:
    std::string locked;
    std::atomic<int> opens {0};
    int Open(const std::string& path, int flags) override
    {
        ++opens;
        return path == locked ? -EACCES : TFileLayer::Open(path, flags);
    }
};

// Files that differ in every field the list shows: tag, stream, length, size.
void WriteSongs(const test::TempDir& dir, int count)
{
    for (int k = 0; k < count; ++k) {
        const std::string n = std::to_string(k);
        const test::Bytes frame = Cat({test::Header(0xFB, static_cast<std::uint8_t>(0x10 * (1 + k % 13)), k % 2 ? 0xC0 : 0x00), Fill(400)});
        test::Bytes audio;
        for (int f = 0; f <= k % 7; ++f)
            audio = Cat({audio, frame});
        dir.Write("s" + n + ".mp3",
            Cat({audio, test::V1("Titel " + n, "Interpret " + n, "Album", std::to_string(1990 + k % 30), "", static_cast<std::uint8_t>(k % 20), static_cast<std::uint8_t>(k % 80))}));
    }
}

TEntryList Collected(const test::TempDir& dir)
{
    TEntryList entries;
    int found = 0;
    EXPECT_TRUE(CollectFiles(dir.Path() + "/", false, entries, {}, found));
    return entries;
}

// Every cell of the row, tab-separated.
std::string Row(const TEintragDaten& entry)
{
    QStringList cells;
    for (int id = 0; id < kColumnCount; ++id)
        cells << CellText(id, entry, QLocale::c());
    return cells.join(QLatin1Char('\t')).toStdString();
}

TEST(ReadAhead, DeliversInOrderWhatOneByOneReads)
{
    test::TempDir dir;
    WriteSongs(dir, 300);
    const TEntryList expected = Collected(dir);
    TID3v2Reader one;
    SetUpListReader(one);
    for (const auto& entry : expected)
        ReadEntry(one, entry->FullPath(), *entry);

    TEntryList entries = Collected(dir);
    TLockedFile layer;
    TID3v2Reader reader(layer);
    SetUpListReader(reader);
    {
        // A small window makes the workers wait for the caller.
        TReadAhead ahead(entries, reader, 4, 8);
        EXPECT_EQ(ahead.Workers(), 4);
        for (std::size_t k = 0; k < entries.size(); ++k) {
            TEintragDaten& entry = ahead.Next();
            ASSERT_EQ(&entry, entries[k].get());
            EXPECT_EQ(Row(entry), Row(*expected[k])) << entry.FileName;
        }
    }
    EXPECT_EQ(layer.opens, 300);

    // Without blocking: nothing yet means a wake follows, and nothing is lost
    // (a window of one included, where workers wait for every entry).
    for (const std::size_t window : {std::size_t {1}, std::size_t {64}, TReadAhead::kWindow}) {
        TEntryList again = Collected(dir);
        std::mutex mutex;
        std::condition_variable woken;
        int wakes = 0;
        TReadAhead ahead(again, reader, 3, window, [&] {
            std::lock_guard lock(mutex);
            ++wakes;
            woken.notify_one();
        });
        for (std::size_t k = 0; k < again.size(); ++k) {
            std::unique_lock lock(mutex);
            const int before = wakes;
            lock.unlock();
            TEintragDaten* entry = ahead.TryNext();
            if (!entry) {
                lock.lock();
                ASSERT_TRUE(woken.wait_for(lock, std::chrono::seconds(10), [&] { return wakes > before; }))
                    << "window " << window << ", entry " << k;
                lock.unlock();
                entry = ahead.TryNext();
                ASSERT_NE(entry, nullptr) << "a wake means the entry is read";
            }
            ASSERT_EQ(entry, again[k].get());
            EXPECT_EQ(Row(*entry), Row(*expected[k]));
        }
    }

    // A file that cannot be read fails at its own turn, with the ones before delivered.
    for (const int workers : {0, 3}) {
        TEntryList again = Collected(dir);
        layer.locked = again[150]->FullPath();
        layer.opens = 0;
        TReadAhead ahead(again, reader, workers, 16);
        for (std::size_t k = 0; k < 150; ++k)
            EXPECT_EQ(Row(ahead.Next()), Row(*expected[k])) << workers;
        EXPECT_THROW(ahead.Next(), TFileError) << workers;
        EXPECT_LE(layer.opens, 150 + 16) << "no reading past the window";
    }
}

TEST(ReadAhead, StopsWithinTheWindowWhenTheCallerStops)
{
    test::TempDir dir;
    WriteSongs(dir, 600);
    TEntryList entries = Collected(dir);
    TLockedFile layer;
    TID3v2Reader reader(layer);
    SetUpListReader(reader);
    {
        TReadAhead ahead(entries, reader, 8, 32);
        for (int k = 0; k < 10; ++k)
            ahead.Next();
    } // joins here, before the entries go
    EXPECT_LE(layer.opens, 10 + 32);
    EXPECT_EQ(entries[599]->FileSize, 0) << "never read";
}

} // namespace
} // namespace km
