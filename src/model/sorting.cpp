#include "model/sorting.h"

#include "model/columns.h"
#include "model/id3v2compare.h"
#include "platform/charset.h"
#include "tags/genres.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

namespace km {

namespace {
template <typename T>
int Compare(T a, T b)
{
    return a < b ? -1 : (a > b ? 1 : 0);
}

int VersionRank(int version) { return version == 1 || version == 2 ? version : 0; }

int ChannelRank(int mode)
{
    switch (mode) {
    case 3: return 1; // Mono
    case 1: return 2; // Joint Stereo
    case 0: return 3; // Stereo
    case 2: return 4; // Zweikanal
    default: return 0;
    }
}
} // namespace

int CompareText(std::string_view a, std::string_view b)
{
    const std::size_t n = std::min(a.size(), b.size());
    // Equal bytes are equal folded: a shared folder is passed over at once.
    const std::size_t same = static_cast<std::size_t>(std::mismatch(a.begin(), a.begin() + n, b.begin()).first - a.begin());
    for (std::size_t i = same; i < n; ++i) {
        int ca = static_cast<unsigned char>(a[i]);
        int cb = static_cast<unsigned char>(b[i]);
        if (ca >= 'a' && ca <= 'z')
            ca -= 'a' - 'A';
        if (cb >= 'a' && cb <= 'z')
            cb -= 'a' - 'A';
        if (ca != cb)
            return ca - cb;
    }
    return Compare(a.size(), b.size());
}

int YearValue(std::string_view year)
{
    std::size_t i = 0;
    while (i < year.size() && year[i] == ' ')
        ++i;
    bool negative = false;
    if (i < year.size() && (year[i] == '+' || year[i] == '-'))
        negative = year[i++] == '-';
    if (i == year.size())
        return 0;
    int value = 0;
    for (; i < year.size(); ++i) {
        if (year[i] < '0' || year[i] > '9')
            return 0;
        value = value * 10 + (year[i] - '0'); // at most four digits
    }
    return negative ? -value : value;
}

namespace {
// Tag texts as text: bytes of another set than Windows-1252 compare as what they decode to.
bool IsAscii(std::string_view s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char32_t Folded(char32_t c) { return c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c; }

int CompareField(std::string_view a, std::string_view b)
{
    const TCharset& charset = ID3v1Charset();
    // Every set reads ASCII as ASCII.
    if (charset.IsDefault() || (IsAscii(a) && IsAscii(b)))
        return CompareText(a, b);
    if (!charset.StepsAlone())
        return CompareText(charset.ToUtf8(a), charset.ToUtf8(b));
    // Character by character as the decoded texts compare: UTF-8 keeps the order of code points.
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        char32_t ca = 0;
        char32_t cb = 0;
        i += charset.Step(a, i, ca);
        j += charset.Step(b, j, cb);
        if (Folded(ca) != Folded(cb))
            return Folded(ca) < Folded(cb) ? -1 : 1;
    }
    return Compare(i < a.size(), j < b.size());
}
} // namespace

int CompareByCode(int code, const TEintragDaten& e1, const TEintragDaten& e2)
{
    switch (code) {
    case 1: return CompareText(e1.FileName, e2.FileName);
    case 2: return CompareField(FieldView(e1.Tag.Titel), FieldView(e2.Tag.Titel));
    case 3: return CompareField(FieldView(e1.Tag.Interpret), FieldView(e2.Tag.Interpret));
    case 4: return CompareField(FieldView(e1.Tag.Album), FieldView(e2.Tag.Album));
    case 5: return Compare(e1.Tag.Titelnr, e2.Tag.Titelnr);
    case 6: return Compare(YearValue(FieldView(e1.Tag.Jahr)), YearValue(FieldView(e2.Tag.Jahr)));
    case 7: return CompareField(FieldView(e1.Tag.Bemerkung), FieldView(e2.Tag.Bemerkung));
    case 8: return CompareText(GenreName(e1.Tag.Musikrichtung), GenreName(e2.Tag.Musikrichtung));
    case 9: return CompareText(e1.Folder.str(), e2.Folder.str());
    case 10: return Compare(e1.FileSize, e2.FileSize);
    case 11: return Compare(static_cast<std::int32_t>(e1.Attributes), static_cast<std::int32_t>(e2.Attributes));
    case 12: {
        const int r = Compare(VersionRank(e1.MP3Info.Version), VersionRank(e2.MP3Info.Version));
        return r != 0 ? r : Compare(e1.MP3Info.Layer, e2.MP3Info.Layer);
    }
    case 13: return Compare(e1.MP3Info.Bitrate, e2.MP3Info.Bitrate);
    case 14: return Compare(e1.MP3Info.SampleRate, e2.MP3Info.SampleRate);
    case 15: return Compare(ChannelRank(e1.MP3Info.ChannelMode), ChannelRank(e2.MP3Info.ChannelMode));
    case 16: return Compare(e1.Duration, e2.Duration);
    case 17: return Compare(e1.FileTime, e2.FileTime);
    case 18: return CompareText(ID3v2CellText(e1), ID3v2CellText(e2));
    default: return 0;
    }
}

int SortCode(int sortKey)
{
    const long long code = sortKey < 0 ? -static_cast<long long>(sortKey) : sortKey;
    return code > std::numeric_limits<int>::max() ? 0 : static_cast<int>(code);
}

int CompareRows(int sortKey, std::span<const int> columnIds, const TEintragDaten& e1, const TEintragDaten& e2)
{
    int r = CompareByCode(SortCode(sortKey), e1, e2);
    for (std::size_t k = 0; r == 0 && k < columnIds.size(); ++k)
        r = CompareByCode(columnIds[k] + 1, e1, e2);
    // A code without a key of its own sorts by the shown columns, ascending.
    const int code = SortCode(sortKey);
    return sortKey < 0 && code >= 1 && code <= kColumnCount ? -r : r;
}

namespace {
// The first 16 bytes of a text as CompareText orders them, in two numbers;
// a shorter text is padded with zeros, which sort first as its end does.
std::pair<std::uint64_t, std::uint64_t> FoldedPrefix(std::string_view text)
{
    std::uint64_t parts[2] = {0, 0};
    const std::size_t n = std::min<std::size_t>(text.size(), 16);
    for (std::size_t i = 0; i < n; ++i) {
        std::uint64_t c = static_cast<unsigned char>(text[i]);
        if (c >= 'a' && c <= 'z')
            c -= 'a' - 'A';
        parts[i / 8] |= c << (8 * (7 - i % 8));
    }
    return {parts[0], parts[1]};
}
} // namespace

void SortRows(std::vector<TEintragDaten*>& rows, int sortKey, std::span<const int> columnIds)
{
    const int code = SortCode(sortKey);
    if (code == 1 || code == 9) {
        // A million rows do not fit the caches: the names' beginnings are held
        // beside the rows, which are read only where those agree.
        struct TKeyed {
            std::pair<std::uint64_t, std::uint64_t> Prefix;
            TEintragDaten* Row;
        };
        std::vector<TKeyed> keyed;
        keyed.reserve(rows.size());
        for (TEintragDaten* row : rows)
            keyed.push_back({FoldedPrefix(code == 1 ? std::string_view(row->FileName) : std::string_view(row->Folder.str())), row});
        const bool descending = sortKey < 0;
        std::stable_sort(keyed.begin(), keyed.end(), [&](const TKeyed& a, const TKeyed& b) {
            if (a.Prefix != b.Prefix)
                return descending ? b.Prefix < a.Prefix : a.Prefix < b.Prefix;
            return CompareRows(sortKey, columnIds, *a.Row, *b.Row) < 0;
        });
        for (std::size_t k = 0; k < rows.size(); ++k)
            rows[k] = keyed[k].Row;
        return;
    }
    std::stable_sort(rows.begin(), rows.end(), [&](const TEintragDaten* a, const TEintragDaten* b) {
        return CompareRows(sortKey, columnIds, *a, *b) < 0;
    });
}

std::size_t SortedPosition(const std::vector<TEintragDaten*>& rows, const TEintragDaten& entry, int sortKey,
    std::span<const int> columnIds)
{
    const auto it = std::upper_bound(rows.begin(), rows.end(), &entry, [&](const TEintragDaten* a, const TEintragDaten* b) {
        return CompareRows(sortKey, columnIds, *a, *b) < 0;
    });
    return static_cast<std::size_t>(it - rows.begin());
}

int SortKeyAfterColumnClick(int sortKey, int columnId)
{
    return SortCode(sortKey) == columnId + 1 ? -sortKey : columnId + 1;
}

int SortKeyForField(int sortKey, int code) { return sortKey < 0 ? -code : code; }

int SortKeyForDirection(int sortKey, int sign) { return SortCode(sortKey) * (sign < 0 ? -1 : 1); }

} // namespace km
