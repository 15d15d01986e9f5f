#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace km {

// The ID3v1 block without its "TAG" marker, byte for byte as in the file.
// The comment keeps all 29 bytes in front of the track byte.
#pragma pack(push, 1)
struct TID3v1Tag {
    char Titel[30];
    char Interpret[30];
    char Album[30];
    char Jahr[4];
    char Bemerkung[29];
    std::uint8_t Titelnr;       // 0 = none
    std::uint8_t Musikrichtung; // genre index, 255 = none
};
#pragma pack(pop)
static_assert(sizeof(TID3v1Tag) == 125, "TID3v1Tag must match the 125 bytes after the marker");

inline constexpr std::size_t kID3v1BlockSize = 128;
inline constexpr std::uint8_t kNoGenre = 255;

// The one way to put text into a tag field: zero-fill, then copy at most the width.
void StoreField(char* field, std::size_t width, std::string_view text);
template <std::size_t N>
void StoreField(char (&field)[N], std::string_view text) { StoreField(field, N, text); }

// A field's text: up to the first zero byte or the full width.
std::string_view FieldView(const char* field, std::size_t width);
template <std::size_t N>
std::string_view FieldView(const char (&field)[N]) { return FieldView(field, N); }
inline std::string FieldText(const char* field, std::size_t width) { return std::string(FieldView(field, width)); }
template <std::size_t N>
std::string FieldText(const char (&field)[N]) { return FieldText(field, N); }

TID3v1Tag EmptyTag();
bool IsEmptyTag(const TID3v1Tag& tag);

// The reader's text form of a found ID3v1 block; strings are Windows-1252 bytes.
struct TID3v1Infos {
    std::string Title;
    std::string Artist;
    std::string Album;
    std::string Comment;
    std::string Genre; // "(17)Rock"; empty when the index has no name
    std::uint8_t GenreIndex = kNoGenre;
    std::uint8_t Track = 0;
    std::string Year;

    void Clear();
};

// Decodes the 128 bytes of a block that starts with "TAG".
void DecodeID3v1Block(const std::uint8_t* block, TID3v1Infos& infos);

// The tag an entry holds for these infos; cleared infos give the empty tag.
TID3v1Tag TagFromInfos(const TID3v1Infos& infos);

// The 128-byte block for a tag, marker included.
void EncodeID3v1Block(const TID3v1Tag& tag, std::uint8_t* block);

} // namespace km
