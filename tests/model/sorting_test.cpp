#include "model/sorting.h"
#include "platform/charset.h"

#include <gtest/gtest.h>

#include <random>

namespace km {
namespace {

std::unique_ptr<TEintragDaten> Entry(const std::string& name, const std::string& title = "")
{
    auto e = std::make_unique<TEintragDaten>();
    e->FileName = name;
    e->Folder = "/m/";
    StoreField(e->Tag.Titel, title);
    return e;
}

std::vector<std::string> Names(const std::vector<TEintragDaten*>& rows)
{
    std::vector<std::string> out;
    for (const auto* r : rows)
        out.push_back(r->FileName);
    return out;
}

TEST(Sorting, TextComparison)
{
    EXPECT_LT(CompareText("abc", "ABD"), 0);
    EXPECT_EQ(CompareText("abc", "ABC"), 0);
    EXPECT_LT(CompareText("ABD", "\xc4" "b"), 0) << "Ä compares by its byte, above every ASCII letter";
    EXPECT_GT(CompareText("\xe4", "\xc4"), 0) << "umlauts are not case-folded";
    EXPECT_LT(CompareText("ab", "abc"), 0) << "a prefix comes first";
    EXPECT_GT(CompareText("abc", "ab"), 0);
    EXPECT_EQ(CompareText("a", "c"), 'A' - 'C') << "the difference of the differing bytes";
    EXPECT_EQ(CompareText("[", "a"), '[' - 'A') << "a-z are upper-cased before comparing";
}

// In another set the texts sort as they read: character by character as the
// decoded texts compare, whichever way the set is decoded.
TEST(Sorting, TextsOfAnotherSetCompareAsDecoded)
{
    std::mt19937 rng(8);
    for (const char* name : {"shift_jis", "gbk", "windows-1251", "windows-1258"}) {
        SetID3v1Charset(*FindCharset(name));
        const TCharset& charset = ID3v1Charset();
        for (int round = 0; round < 2000; ++round) {
            std::string a(rng() % 12, '\0');
            for (char& b : a)
                b = static_cast<char>(rng() % 3 == 0 ? 'a' + rng() % 3 : 0x80 + rng() % 0x80);
            // Mostly a shared start, so the difference lies inside.
            std::string b = a.substr(0, rng() % (a.size() + 1));
            for (std::size_t k = rng() % 4; k > 0; --k)
                b += static_cast<char>(rng() % 2 ? 'A' + rng() % 3 : 0x80 + rng() % 0x80);
            const auto e1 = Entry("x", a);
            const auto e2 = Entry("x", b);
            const int want = CompareText(charset.ToUtf8(FieldView(e1->Tag.Titel)), charset.ToUtf8(FieldView(e2->Tag.Titel)));
            const int got = CompareByCode(2, *e1, *e2);
            ASSERT_EQ((got > 0) - (got < 0), (want > 0) - (want < 0)) << name << " round " << round;
        }
    }
    SetID3v1Charset(Charsets[0]);
}

TEST(Sorting, YearValues)
{
    EXPECT_EQ(YearValue("1999"), 1999);
    EXPECT_EQ(YearValue(""), 0);
    EXPECT_EQ(YearValue("19x9"), 0);
    EXPECT_EQ(YearValue("ca."), 0);
    EXPECT_EQ(YearValue("-12"), -12);
    EXPECT_EQ(YearValue(" 999"), 999);
    EXPECT_EQ(YearValue("+"), 0);
}

TEST(Sorting, EveryCode)
{
    TEintragDaten a, b;
    const auto both = [&](auto set) {
        a = TEintragDaten();
        b = TEintragDaten();
        set(a, b);
    };
    const auto expectLess = [&](int code, const char* what) {
        EXPECT_LT(CompareByCode(code, a, b), 0) << what;
        EXPECT_GT(CompareByCode(code, b, a), 0) << what;
        EXPECT_EQ(CompareByCode(code, a, a), 0) << what;
    };
    both([](auto& x, auto& y) { x.FileName = "a"; y.FileName = "B"; });
    expectLess(1, "file name");
    both([](auto& x, auto& y) { StoreField(x.Tag.Titel, "abc"); StoreField(y.Tag.Titel, "ABD"); });
    expectLess(2, "title");
    both([](auto& x, auto& y) { StoreField(x.Tag.Interpret, "x"); StoreField(y.Tag.Interpret, "Y"); });
    expectLess(3, "artist");
    both([](auto& x, auto& y) { StoreField(x.Tag.Album, "Z"); StoreField(y.Tag.Album, "\xc4"); });
    expectLess(4, "album");
    both([](auto& x, auto& y) { x.Tag.Titelnr = 9; y.Tag.Titelnr = 200; });
    expectLess(5, "track as unsigned byte");
    both([](auto& x, auto& y) { StoreField(x.Tag.Jahr, "abc"); StoreField(y.Tag.Jahr, "0012"); });
    expectLess(6, "year: no number counts as 0");
    both([](auto& x, auto& y) { StoreField(x.Tag.Bemerkung, "a"); StoreField(y.Tag.Bemerkung, "b"); });
    expectLess(7, "comment");
    both([](auto& x, auto& y) { x.Tag.Musikrichtung = 255; y.Tag.Musikrichtung = 0; });
    expectLess(8, "genre names: none before Blues");
    both([](auto& x, auto& y) { x.Tag.Musikrichtung = 17; y.Tag.Musikrichtung = 144; });
    expectLess(8, "Rock before Trash Metal");
    both([](auto& x, auto& y) { x.Folder = "/a/"; y.Folder = "/b/"; });
    expectLess(9, "folder");
    both([](auto& x, auto& y) { x.FileSize = 3'000'000'000; y.FileSize = 5'000'000'000; });
    expectLess(10, "size, 64-bit");
    both([](auto& x, auto& y) { x.Attributes = kAttrReadOnly; y.Attributes = kAttrHidden; });
    expectLess(11, "attribute word");
    both([](auto& x, auto& y) { x.MP3Info.Version = 0; y.MP3Info.Version = 1; });
    expectLess(12, "unknown version first");
    both([](auto& x, auto& y) { x.MP3Info.Version = 2; x.MP3Info.Layer = 1; y.MP3Info.Version = 2; y.MP3Info.Layer = 3; });
    expectLess(12, "then the layer");
    both([](auto& x, auto& y) { x.MP3Info.Version = 1; x.MP3Info.Layer = 3; y.MP3Info.Version = 2; y.MP3Info.Layer = 1; });
    expectLess(12, "version before layer");
    both([](auto& x, auto& y) { x.MP3Info.Bitrate = 128; x.MP3Info.VBR = true; y.MP3Info.Bitrate = 129; });
    expectLess(13, "bit rate, the vbr mark plays no part");
    both([](auto& x, auto& y) { x.MP3Info.SampleRate = 22050; y.MP3Info.SampleRate = 44100; });
    expectLess(14, "sample rate");
    both([](auto& x, auto& y) { x.Duration = 1000; y.Duration = 2000; });
    expectLess(16, "length");
    both([](auto& x, auto& y) { x.FileTime = 0x0000'0002'FFFF'FFFFull; y.FileTime = 0x0000'0003'0000'0000ull; });
    expectLess(17, "file time, high half first");

    // Channel rank: Mono, Joint Stereo, Stereo, Zweikanal; anything else first.
    const int order[] = {7, 3, 1, 0, 2};
    for (int k = 0; k + 1 < 5; ++k) {
        both([&](auto& x, auto& y) { x.MP3Info.ChannelMode = static_cast<std::uint8_t>(order[k]); y.MP3Info.ChannelMode = static_cast<std::uint8_t>(order[k + 1]); });
        expectLess(15, "channel rank");
    }

    both([](auto& x, auto& y) { x.FileName = "a"; y.FileName = "b"; });
    EXPECT_EQ(CompareByCode(0, a, b), 0);
    EXPECT_EQ(CompareByCode(19, a, b), 0);
    EXPECT_EQ(CompareByCode(-1, a, b), 0);
}

TEST(Sorting, TieBreaksAndDirection)
{
    auto a = Entry("b.mp3", "Gleich");
    auto b = Entry("a.mp3", "Gleich");
    auto c = Entry("c.mp3", "Anders");
    std::vector<TEintragDaten*> rows = {a.get(), b.get(), c.get()};
    const std::vector<int> shown = {0, 1, 2};

    SortRows(rows, 2, shown);
    EXPECT_EQ(Names(rows), (std::vector<std::string> {"c.mp3", "a.mp3", "b.mp3"}));
    SortRows(rows, -2, shown);
    EXPECT_EQ(Names(rows), (std::vector<std::string> {"b.mp3", "a.mp3", "c.mp3"}))
        << "descending reverses the tie-break too";

    // Code 0 or above 18: only the shown columns, ascending.
    SortRows(rows, 0, std::vector<int> {1, 0});
    EXPECT_EQ(Names(rows), (std::vector<std::string> {"c.mp3", "a.mp3", "b.mp3"}));
    SortRows(rows, 99, std::vector<int> {0});
    EXPECT_EQ(Names(rows), (std::vector<std::string> {"a.mp3", "b.mp3", "c.mp3"}));
    SortRows(rows, -99, std::vector<int> {0});
    EXPECT_EQ(Names(rows), (std::vector<std::string> {"a.mp3", "b.mp3", "c.mp3"})) << "no key: ascending whatever the sign";
    SortRows(rows, -19, std::vector<int> {0});
    EXPECT_EQ(Names(rows), (std::vector<std::string> {"a.mp3", "b.mp3", "c.mp3"}));
    // No shown columns and no key: everything is equal.
    EXPECT_EQ(CompareRows(0, {}, *a, *c), 0);
    // Sorting by a column that is not shown works.
    SortRows(rows, 2, std::vector<int> {0});
    EXPECT_EQ(Names(rows), (std::vector<std::string> {"c.mp3", "a.mp3", "b.mp3"}));
}

TEST(Sorting, KeyChanges)
{
    EXPECT_EQ(SortKeyAfterColumnClick(1, 1), 2) << "another column: ascending by it";
    EXPECT_EQ(SortKeyAfterColumnClick(2, 1), -2) << "the same column flips";
    EXPECT_EQ(SortKeyAfterColumnClick(-2, 1), 2);
    EXPECT_EQ(SortKeyAfterColumnClick(-2, 3), 4);
    EXPECT_EQ(SortKeyAfterColumnClick(0, 0), 1);
    EXPECT_EQ(SortKeyForField(-2, 4), -4) << "a field keeps the direction";
    EXPECT_EQ(SortKeyForField(2, 4), 4);
    EXPECT_EQ(SortKeyForDirection(4, -1), -4) << "a direction keeps the field";
    EXPECT_EQ(SortKeyForDirection(-4, 1), 4);
    EXPECT_EQ(SortKeyForDirection(-4, -1), -4);
    EXPECT_EQ(SortCode(INT32_MIN), 0);
    EXPECT_EQ(SortKeyAfterColumnClick(INT32_MIN, 0), 1);
}

// Many ties on every field: the insertion the list did row by row, the sort
// after the fact and the sort in slices must give the same order.
TEST(Sorting, InsertingAtTheSortedPlaceEqualsSortingAfterwards)
{
    std::mt19937 rng(5);
    TEntryList entries;
    for (int k = 0; k < 700; ++k) {
        // Names and folders alike far past their first 16 bytes, and with bytes past ASCII.
        const std::string middle = rng() % 2 ? "" : std::string(14, 'x') + (rng() % 2 ? "\xe4" : "Y");
        auto e = Entry((rng() % 2 ? "F" : "f") + middle + std::to_string(rng() % 9) + ".mp3",
            std::string(1, static_cast<char>('a' + rng() % 3)));
        StoreField(e->Tag.Interpret, rng() % 2 ? "x" : "X");
        StoreField(e->Tag.Jahr, std::to_string(1990 + rng() % 3));
        e->Tag.Titelnr = static_cast<std::uint8_t>(rng() % 3);
        e->Tag.Musikrichtung = static_cast<std::uint8_t>(rng() % 3);
        e->Folder = rng() % 3 == 0 ? "/m/" : (rng() % 2 ? "/ein/langer/Ordner/n/" : "/ein/langer/ordner/M/");
        e->FileSize = rng() % 4;
        e->Attributes = rng() % 2;
        e->MP3Info.Version = static_cast<std::uint8_t>(rng() % 3);
        e->MP3Info.Bitrate = static_cast<std::uint16_t>(rng() % 2 * 128);
        e->Duration = rng() % 3;
        e->FileTime = rng() % 3;
        entries.push_back(std::move(e));
    }
    for (const std::vector<int>& shown : {std::vector<int> {1, 9, 0, 4}, std::vector<int> {}}) {
        for (int key = -19; key <= 19; ++key) {
            std::vector<TEintragDaten*> inserted;
            std::vector<TEintragDaten*> found;
            for (const auto& e : entries) {
                inserted.insert(inserted.begin() + static_cast<std::ptrdiff_t>(SortedPosition(inserted, *e, key, shown)), e.get());
                found.push_back(e.get());
            }
            std::vector<TEintragDaten*> sorted = found;
            SortRows(sorted, key, shown);
            EXPECT_EQ(inserted, sorted) << key;
            int serves = 0;
            StableSortInSlices(found.begin(), found.end(),
                [&](auto* x, auto* y) { return CompareRows(key, shown, *x, *y) < 0; }, [&serves] { ++serves; }, 7);
            EXPECT_EQ(found, sorted) << key;
            EXPECT_GT(serves, 100);
        }
    }
}

} // namespace
} // namespace km
