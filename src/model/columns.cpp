#include "model/columns.h"

#include <algorithm>

namespace km {

const std::array<TColumnInfo, kColumnCount> ColumnInfos = {{
    {"Dateiname", 150, Qt::AlignLeft},
    {"Titel", 100, Qt::AlignLeft},
    {"Interpret", 100, Qt::AlignLeft},
    {"Album", 100, Qt::AlignLeft},
    {"Titelnr", 45, Qt::AlignRight},
    {"Jahr", 40, Qt::AlignLeft},
    {"Bemerkung", 100, Qt::AlignLeft},
    {"Musikrichtung", 80, Qt::AlignLeft},
    {"Ordner", 150, Qt::AlignLeft},
    {"Größe", 65, Qt::AlignRight},
    {"Attribute", 55, Qt::AlignLeft},
    {"MPEG-Version", 95, Qt::AlignLeft},
    {"Bitrate", 80, Qt::AlignRight},
    {"Frequenz", 60, Qt::AlignRight},
    {"Stereo/Mono", 80, Qt::AlignLeft},
    {"Länge", 60, Qt::AlignRight},
    {"Dateidatum", 110, Qt::AlignLeft},
    {"ID3v2", 60, Qt::AlignLeft},
}};

QString ColumnCaption(int id)
{
    return IsColumnId(id) ? QString::fromUtf8(ColumnInfos[static_cast<std::size_t>(id)].Caption) : QString();
}

int ColumnOfCaption(const QString& caption)
{
    for (int id = 0; id < kColumnCount; ++id)
        if (ColumnCaption(id) == caption)
            return id;
    return -1;
}

std::vector<TColumnPair> DefaultColumnLayout()
{
    std::vector<TColumnPair> pairs;
    for (const int id : {ColDateiname, ColTitel, ColInterpret, ColAlbum, ColTitelnr, ColJahr, ColBemerkung,
             ColMusikrichtung, ColLaenge})
        pairs.push_back({id, ColumnInfos[static_cast<std::size_t>(id)].DefaultWidth});
    return pairs;
}

namespace {
std::int32_t ReadLe32(const std::uint8_t* p)
{
    return static_cast<std::int32_t>(std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16)
        | (std::uint32_t(p[3]) << 24));
}

void WriteLe32(std::vector<std::uint8_t>& out, std::int32_t v)
{
    const auto u = static_cast<std::uint32_t>(v);
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(u >> shift));
}
} // namespace

std::optional<std::vector<TColumnPair>> DecodeSpalten(std::span<const std::uint8_t> value)
{
    if (value.size() < 8)
        return std::nullopt;
    std::vector<TColumnPair> pairs;
    pairs.reserve(value.size() / 8);
    for (std::size_t at = 0; at + 8 <= value.size(); at += 8)
        pairs.push_back({ReadLe32(value.data() + at), ReadLe32(value.data() + at + 4)});
    return pairs;
}

std::vector<std::uint8_t> EncodeSpalten(const std::vector<TColumnPair>& pairs)
{
    std::vector<std::uint8_t> out;
    out.reserve(pairs.size() * 8);
    for (const TColumnPair& p : pairs) {
        WriteLe32(out, p.Id);
        WriteLe32(out, p.Width);
    }
    return out;
}

std::vector<TColumnPair> ColumnsOfLayout(const std::vector<TColumnPair>& pairs)
{
    std::vector<TColumnPair> columns;
    columns.reserve(pairs.size());
    for (const TColumnPair& p : pairs)
        if (IsColumnId(p.Id))
            columns.push_back({p.Id, std::clamp(p.Width, kMinColumnWidth, kMaxColumnWidth)});
    return columns;
}

} // namespace km
