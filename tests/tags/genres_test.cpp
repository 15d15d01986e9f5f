#include "tags/genres.h"

#include <gtest/gtest.h>

#include <set>

namespace km {
namespace {

TEST(Genres, TableSpellingsAndBounds)
{
    EXPECT_EQ(GenreName(0), "Blues");
    EXPECT_EQ(GenreName(17), "Rock");
    EXPECT_EQ(GenreName(40), "Alt. Rock");
    EXPECT_EQ(GenreName(65), "Carbaret");
    EXPECT_EQ(GenreName(85), "Bebob");
    EXPECT_EQ(GenreName(118), "Rhythimc Soul");
    EXPECT_EQ(GenreName(133), "Negerpunk");
    EXPECT_EQ(GenreName(144), "Trash Metal");
    EXPECT_EQ(GenreName(147), "Synthpop");
    EXPECT_EQ(GenreName(148), "");
    EXPECT_EQ(GenreName(255), "");
    EXPECT_EQ(GenreName(-1), "");
    std::set<std::string_view> unique(GenreNames.begin(), GenreNames.end());
    EXPECT_EQ(unique.size(), 148u);
}

TEST(Genres, SortedListIgnoresCaseAndHyphens)
{
    const TGenreLists lists;
    const auto& s = lists.Sorted();
    ASSERT_EQ(s.size(), 148u);
    EXPECT_EQ(s[0], "A Cappella");
    EXPECT_EQ(s[1], "Acid");
    EXPECT_EQ(s[2], "Acid Jazz");
    EXPECT_EQ(s[3], "Acid Punk");
    EXPECT_EQ(s[4], "Acoustic");
    EXPECT_EQ(s[5], "Alt. Rock");
    EXPECT_EQ(s[6], "Alternative");
    EXPECT_EQ(s.back(), "Vocal");
    const auto pos = [&s](std::string_view name) { return std::find(s.begin(), s.end(), name) - s.begin(); };
    EXPECT_LT(pos("Eurodance"), pos("Euro-House"));
    EXPECT_LT(pos("Euro-House"), pos("Euro-Techno"));
    EXPECT_LT(pos("Pop"), pos("Pop/Funk"));
    EXPECT_LT(pos("Pop/Funk"), pos("Pop-Folk"));
    EXPECT_LT(pos("Pop-Folk"), pos("Porn Groove"));
    EXPECT_LT(pos("JPop"), pos("Jungle"));
    EXPECT_LT(pos("Jazz"), pos("Jazz+Funk"));
    EXPECT_LT(pos("Jazz+Funk"), pos("JPop"));
    EXPECT_LT(pos("R&B"), pos("Rap"));
    EXPECT_TRUE(std::is_sorted(s.begin(), s.end(), [](const std::string& a, const std::string& b) {
        return GenreNameLess(a, b);
    }));

    const auto items = lists.ComboItems();
    ASSERT_EQ(items.size(), 149u);
    EXPECT_EQ(items[0], "(keine)");
    EXPECT_EQ(items[1], "A Cappella");
}

TEST(Genres, ByteAndComboItemMapBothWays)
{
    const TGenreLists lists;
    std::set<int> items;
    for (int g = 0; g < kGenreCount; ++g) {
        const int item = lists.ItemOfGenre(static_cast<std::uint8_t>(g));
        ASSERT_GE(item, 1);
        EXPECT_EQ(lists.ComboItems()[static_cast<std::size_t>(item)], GenreName(g));
        EXPECT_EQ(lists.GenreOfItem(item), g);
        items.insert(item);
    }
    EXPECT_EQ(items.size(), 148u);
    EXPECT_EQ(lists.ItemOfGenre(148), 0);
    EXPECT_EQ(lists.ItemOfGenre(254), 0);
    EXPECT_EQ(lists.ItemOfGenre(255), 0);
    EXPECT_EQ(lists.GenreOfItem(0), 255);
    EXPECT_EQ(lists.GenreOfItem(-1), 255) << "no selection";
    EXPECT_EQ(lists.GenreOfItem(149), 255);
    EXPECT_EQ(lists.GenreOfItem(1), 123) << "A Cappella";
}

} // namespace
} // namespace km
