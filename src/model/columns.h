#pragma once

#include <QString>
#include <Qt>

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace km {

// The eighteen data columns; the sort code of a column is its id + 1.
enum ColumnId : int {
    ColDateiname = 0,
    ColTitel,
    ColInterpret,
    ColAlbum,
    ColTitelnr,
    ColJahr,
    ColBemerkung,
    ColMusikrichtung,
    ColOrdner,
    ColGroesse,
    ColAttribute,
    ColMpegVersion,
    ColBitrate,
    ColFrequenz,
    ColStereoMono,
    ColLaenge,
    ColDateidatum,
    ColID3v2, // the ID3v2 tag beside the ID3v1 block
};
inline constexpr int kColumnCount = 18;
inline constexpr int kIconColumnTag = -1;
inline constexpr int kIconColumnWidth = 20;

struct TColumnInfo {
    const char* Caption; // UTF-8
    int DefaultWidth;
    Qt::Alignment Alignment;
};

extern const std::array<TColumnInfo, kColumnCount> ColumnInfos;

inline bool IsColumnId(int id) { return id >= 0 && id < kColumnCount; }
QString ColumnCaption(int id);
// The id whose caption this is, or -1.
int ColumnOfCaption(const QString& caption);

// One shown data column: its id and width in pixels.
struct TColumnPair {
    std::int32_t Id;
    std::int32_t Width;
    friend bool operator==(const TColumnPair&, const TColumnPair&) = default;
};

inline constexpr int kMinColumnWidth = 10;
inline constexpr int kMaxColumnWidth = 500;

// Dateiname, Titel, Interpret, Album, Titelnr, Jahr, Bemerkung, Musikrichtung, Länge.
std::vector<TColumnPair> DefaultColumnLayout();

// The stored layout: pairs of 32-bit little-endian id and width. A value of
// fewer than 8 bytes stands for the default layout (nullopt); a broken last
// pair is ignored.
std::optional<std::vector<TColumnPair>> DecodeSpalten(std::span<const std::uint8_t> value);
std::vector<std::uint8_t> EncodeSpalten(const std::vector<TColumnPair>& pairs);

// The columns a layout yields: unknown ids dropped, widths held to 10..500,
// repeated ids kept.
std::vector<TColumnPair> ColumnsOfLayout(const std::vector<TColumnPair>& pairs);

} // namespace km
