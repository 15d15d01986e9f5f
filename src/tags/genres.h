#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace km {

inline constexpr int kGenreCount = 148;
extern const std::array<std::string_view, kGenreCount> GenreNames;

// The table name of a genre byte; empty for bytes without a name.
std::string_view GenreName(int index);

// Orders genre names as a German desktop list does: letter case and the
// hyphen do not count, other punctuation sorts before digits and letters.
bool GenreNameLess(std::string_view a, std::string_view b);

inline constexpr const char* kNoGenreItem = "(keine)";

// The genre names in table order (name to byte) and sorted (what the combo box shows
// behind its item 0 "(keine)").
class TGenreLists {
public:
    TGenreLists();

    const std::vector<std::string>& TableOrder() const { return m_tableOrder; }
    const std::vector<std::string>& Sorted() const { return m_sorted; }
    // "(keine)" followed by the sorted names.
    std::vector<std::string> ComboItems() const;

    // Genre byte to combo item; 0 "(keine)" when the byte has no name.
    int ItemOfGenre(std::uint8_t genre) const;
    // Combo item to genre byte; item 0 or none (-1) gives 255.
    std::uint8_t GenreOfItem(int item) const;

private:
    std::vector<std::string> m_tableOrder;
    std::vector<std::string> m_sorted;
};

} // namespace km
