#include "model/id3v2compare.h"

#include "platform/charset.h"
#include "tags/genres.h"

#include <optional>
#include <string_view>

namespace km {

const std::array<const char*, kID3v2FieldCount> ID3v2FieldCaptions {
    "Titel", "Interpret", "Album", "Jahr", "Bemerkung", "Titelnummer", "Musikrichtung"};
const std::array<const char*, kID3v2FieldCount> ID3v2FieldKeys {
    "title", "artist", "album", "year", "comment", "track", "genre"};

namespace {

std::string_view Trimmed(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

// As the ID3v1 field of `width` bytes would hold the ID3v2 text.
std::string AsField(const std::optional<std::string>& text, std::size_t width)
{
    if (!text)
        return {};
    const TCharset& charset = ID3v1Charset();
    std::string bytes = charset.FromUtf8(*text);
    bytes.resize(charset.Fit(bytes, width));
    return std::string(Trimmed(bytes));
}

// A whole number of at most six digits; none for anything else.
std::optional<int> Number(std::string_view s)
{
    if (s.empty() || s.size() > 6)
        return std::nullopt;
    int n = 0;
    for (const char c : s) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

int TrackOf(const std::optional<std::string>& text)
{
    if (!text)
        return 0;
    const std::string_view s(*text);
    return Number(Trimmed(s.substr(0, s.find('/')))).value_or(0);
}

// The genre byte a TCON text means; 255 for none and for a text that names no genre.
int GenreOf(const std::optional<std::string>& text)
{
    if (!text)
        return 255;
    const std::string_view s = Trimmed(*text);
    if (s.empty())
        return 255;
    std::optional<int> n;
    if (s.front() == '(') {
        const std::size_t close = s.find(')');
        if (close != std::string_view::npos)
            n = Number(s.substr(1, close - 1));
    } else {
        n = Number(s);
        if (!n) {
            for (int i = 0; i < kGenreCount; ++i)
                if (GenreNames[static_cast<std::size_t>(i)] == s)
                    n = i;
        }
    }
    return n && *n <= 255 ? *n : 255;
}

} // namespace

std::uint8_t ID3v2Differences(const TID3v2Fields& v2, const TID3v1Tag& v1)
{
    if (v2.Version == 0)
        return 0;
    const std::string_view texts[] = {
        FieldView(v1.Titel), FieldView(v1.Interpret), FieldView(v1.Album), FieldView(v1.Jahr), FieldView(v1.Bemerkung)};
    const std::size_t widths[] = {sizeof v1.Titel, sizeof v1.Interpret, sizeof v1.Album, sizeof v1.Jahr, sizeof v1.Bemerkung};
    std::uint8_t differs = 0;
    for (int k = V2Title; k <= V2Comment; ++k)
        if (AsField(v2.Texts[static_cast<std::size_t>(k)], widths[k]) != Trimmed(texts[k]))
            differs |= std::uint8_t(1u << k);
    if (TrackOf(v2.Texts[V2Track]) != v1.Titelnr)
        differs |= std::uint8_t(1u << V2Track);
    if (GenreOf(v2.Texts[V2Genre]) != v1.Musikrichtung)
        differs |= std::uint8_t(1u << V2Genre);
    return differs;
}

std::string ID3v2CellText(const TEintragDaten& entry)
{
    if (!entry.ID3v2Known || entry.ID3v2Version == 0)
        return {};
    const std::uint8_t v = entry.ID3v2Version;
    std::string text = v >= 2 && v <= 4 ? "2." + std::to_string(v) : "2.?";
    if (entry.ID3v2Differs != 0)
        text += " \u2260";
    return text;
}

void ReadEntryID3v2(TID3v2Reader& reader, TEintragDaten& entry)
{
    reader.FileName = entry.FullPath();
    const bool fields = reader.ReadFields;
    reader.ReadFields = true;
    try {
        reader.ReadTags();
    } catch (...) {
        reader.ReadFields = fields;
        throw;
    }
    reader.ReadFields = fields;
    if (!reader.FileExists)
        return;
    entry.ID3v2Known = true;
    entry.ID3v2Version = reader.ID3v2Fields.Version;
    entry.ID3v2Differs = ID3v2Differences(reader.ID3v2Fields, entry.Tag);
}

} // namespace km
