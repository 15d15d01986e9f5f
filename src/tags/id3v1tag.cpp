#include "id3v1tag.h"

#include "genres.h"

#include <algorithm>
#include <cstring>

namespace km {

void StoreField(char* field, std::size_t width, std::string_view text)
{
    std::memset(field, 0, width);
    std::memcpy(field, text.data(), std::min(width, text.size()));
}

std::string_view FieldView(const char* field, std::size_t width)
{
    const void* zero = std::memchr(field, 0, width);
    return std::string_view(field, zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - field) : width);
}

TID3v1Tag EmptyTag()
{
    TID3v1Tag tag;
    std::memset(&tag, 0, sizeof tag);
    tag.Musikrichtung = kNoGenre;
    return tag;
}

bool IsEmptyTag(const TID3v1Tag& tag)
{
    return tag.Titel[0] == 0 && tag.Interpret[0] == 0 && tag.Album[0] == 0 && tag.Jahr[0] == 0
        && tag.Bemerkung[0] == 0 && tag.Titelnr == 0 && tag.Musikrichtung == kNoGenre;
}

void TID3v1Infos::Clear()
{
    Title.clear();
    Artist.clear();
    Album.clear();
    Comment.clear();
    Genre.clear();
    GenreIndex = kNoGenre;
    Track = 0;
    Year.clear();
}

namespace {
// Up to the first zero byte, then without leading and trailing bytes <= 0x20.
std::string TrimmedField(const std::uint8_t* p, std::size_t width)
{
    const std::size_t len = FieldView(reinterpret_cast<const char*>(p), width).size();
    std::size_t begin = 0;
    std::size_t end = len;
    while (begin < end && p[begin] <= 0x20)
        ++begin;
    while (end > begin && p[end - 1] <= 0x20)
        --end;
    return std::string(reinterpret_cast<const char*>(p) + begin, end - begin);
}
} // namespace

void DecodeID3v1Block(const std::uint8_t* block, TID3v1Infos& infos)
{
    infos.Title = TrimmedField(block + 3, 30);
    infos.Artist = TrimmedField(block + 33, 30);
    infos.Album = TrimmedField(block + 63, 30);
    infos.Year = TrimmedField(block + 93, 4);
    infos.Comment = TrimmedField(block + 97, 29);
    // A space-padded ID3v1.0 comment reaches into the track byte.
    infos.Track = (block[125] == 0x20 && block[126] == 0x20) ? 0 : block[126];
    infos.GenreIndex = block[127];
    infos.Genre = infos.GenreIndex < kGenreCount
        ? "(" + std::to_string(infos.GenreIndex) + ")" + std::string(GenreName(infos.GenreIndex))
        : std::string();
}

TID3v1Tag TagFromInfos(const TID3v1Infos& infos)
{
    TID3v1Tag tag;
    StoreField(tag.Titel, infos.Title);
    StoreField(tag.Interpret, infos.Artist);
    StoreField(tag.Album, infos.Album);
    StoreField(tag.Jahr, infos.Year);
    tag.Titelnr = infos.Track;
    StoreField(tag.Bemerkung, infos.Comment);
    tag.Musikrichtung = infos.GenreIndex;
    return tag;
}

void EncodeID3v1Block(const TID3v1Tag& tag, std::uint8_t* block)
{
    std::memcpy(block, "TAG", 3);
    std::memcpy(block + 3, &tag, sizeof tag);
}

} // namespace km
