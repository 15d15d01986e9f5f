#include "genres.h"

#include "id3v1tag.h"

#include <algorithm>

namespace km {

const std::array<std::string_view, kGenreCount> GenreNames = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz", "Metal",
    "New Age", "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno", "Industrial",
    "Alternative", "Ska", "Death Metal", "Pranks", "Soundtrack", "Euro-Techno", "Ambient", "Trip-Hop", "Vocal", "Jazz+Funk",
    "Fusion", "Trance", "Classical", "Instrumental", "Acid", "House", "Game", "Sound Clip", "Gospel", "Noise",
    "Alt. Rock", "Bass", "Soul", "Punk", "Space", "Meditative", "Instrumental Pop", "Instrumental Rock", "Ethnic", "Gothic",
    "Darkwave", "Techno-Industrial", "Electronic", "Pop-Folk", "Eurodance", "Dream", "Southern Rock", "Comedy", "Cult", "Gangsta Rap",
    "Top 40", "Christian Rap", "Pop/Funk", "Jungle", "Native American", "Carbaret", "New Wave", "Psychedelic", "Rave", "Showtunes",
    "Trailer", "Lo-Fi", "Tribal", "Acid Punk", "Acid Jazz", "Polka", "Retro", "Musical", "Rock & Roll", "Hard Rock",
    "Folk", "Folk/Rock", "National Folk", "Swing", "Fast-Fusion", "Bebob", "Latin", "Revival", "Celtic", "Bluegrass",
    "Avantgarde", "Gothic Rock", "Progressive Rock", "Psychedelic Rock", "Symphonic Rock", "Slow Rock", "Big Band", "Chorus", "Easy Listening", "Acoustic",
    "Humor", "Speech", "Chanson", "Opera", "Chamber Music", "Sonata", "Symphony", "Booty Bass", "Primus", "Porn Groove",
    "Satire", "Slow Jam", "Club", "Tango", "Samba", "Folklore", "Ballad", "Power Ballad", "Rhythimc Soul", "Freestyle",
    "Duet", "Punk Rock", "Drum Solo", "A Cappella", "Euro-House", "Dance Hall", "Goa", "Drum & Bass", "Club-House", "Hardcore",
    "Terror", "Indie", "BritPop", "Negerpunk", "Polsk Punk", "Beat", "Christian Gangsta Rap", "Heavy Metal", "Black Metal", "Crossover",
    "Contemporary Christian", "Christian Rock", "Merengue", "Salsa", "Trash Metal", "Anime", "JPop", "Synthpop",
};

std::string_view GenreName(int index)
{
    return index >= 0 && index < kGenreCount ? GenreNames[static_cast<std::size_t>(index)] : std::string_view();
}

namespace {
std::string SortKey(std::string_view name, bool keepHyphens)
{
    std::string key;
    key.reserve(name.size());
    for (char c : name) {
        if (!keepHyphens && (c == '-' || c == '\''))
            continue;
        key += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
    }
    return key;
}
} // namespace

bool GenreNameLess(std::string_view a, std::string_view b)
{
    const std::string ka = SortKey(a, false);
    const std::string kb = SortKey(b, false);
    if (ka != kb)
        return ka < kb;
    return SortKey(a, true) < SortKey(b, true);
}

TGenreLists::TGenreLists()
    : m_tableOrder(GenreNames.begin(), GenreNames.end())
    , m_sorted(m_tableOrder)
{
    std::stable_sort(m_sorted.begin(), m_sorted.end(), [](const std::string& a, const std::string& b) {
        return GenreNameLess(a, b);
    });
}

std::vector<std::string> TGenreLists::ComboItems() const
{
    std::vector<std::string> items;
    items.reserve(m_sorted.size() + 1);
    items.emplace_back(kNoGenreItem);
    items.insert(items.end(), m_sorted.begin(), m_sorted.end());
    return items;
}

int TGenreLists::ItemOfGenre(std::uint8_t genre) const
{
    const std::string_view name = GenreName(genre);
    if (name.empty())
        return 0;
    const auto it = std::find(m_sorted.begin(), m_sorted.end(), name);
    return it == m_sorted.end() ? 0 : static_cast<int>(it - m_sorted.begin()) + 1;
}

std::uint8_t TGenreLists::GenreOfItem(int item) const
{
    if (item <= 0 || item > static_cast<int>(m_sorted.size()))
        return kNoGenre;
    const std::string& name = m_sorted[static_cast<std::size_t>(item - 1)];
    const auto it = std::find(m_tableOrder.begin(), m_tableOrder.end(), name);
    return it == m_tableOrder.end() ? kNoGenre : static_cast<std::uint8_t>(it - m_tableOrder.begin());
}

} // namespace km
