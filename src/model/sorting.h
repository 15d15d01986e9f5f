#pragma once

#include "model/entry.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <span>
#include <string_view>
#include <type_traits>
#include <vector>

namespace km {

// Sort key: |key| is the sort code (column id + 1), the sign the direction.
// Codes 0 and above 17 have no key of their own; the shown columns decide.
inline constexpr int kDefaultSortKey = 1;

// a-z upper-cased, everything else by its byte value; the difference of the
// first differing bytes, a prefix first.
int CompareText(std::string_view a, std::string_view b);
// The year as the sort sees it: a decimal integer, 0 for anything else.
int YearValue(std::string_view year);

int CompareByCode(int code, const TEintragDaten& e1, const TEintragDaten& e2);
// The key, then the shown columns left to right; all reversed for a negative key.
int CompareRows(int sortKey, std::span<const int> columnIds, const TEintragDaten& e1, const TEintragDaten& e2);

void SortRows(std::vector<TEintragDaten*>& rows, int sortKey, std::span<const int> columnIds);

// std::stable_sort's order, in slices: `serve` runs between two slices, so a
// long sort leaves the caller's event loop a turn every few milliseconds. The
// range is whole and in some order whenever `serve` runs. A `serve` that
// returns false stops the sort there (false is returned then).
template <typename It, typename Less, typename Serve>
bool StableSortInSlices(It first, It last, Less less, Serve serve, std::ptrdiff_t slice = 4096)
{
    const auto goOn = [&serve] {
        if constexpr (std::is_same_v<decltype(serve()), bool>)
            return serve();
        else {
            serve();
            return true;
        }
    };
    const std::ptrdiff_t n = last - first;
    for (std::ptrdiff_t lo = 0; lo < n; lo += slice) {
        std::stable_sort(first + lo, first + std::min(lo + slice, n), less);
        if (!goOn())
            return false;
    }
    if (n <= slice)
        return true;
    // Runs are merged into a buffer a slice of elements at a time, the range
    // left as it was meanwhile; each merged pair goes back in one move.
    std::vector<typename std::iterator_traits<It>::value_type> merged(static_cast<std::size_t>(n));
    for (std::ptrdiff_t width = slice; width < n; width *= 2) {
        for (std::ptrdiff_t lo = 0; lo + width < n; lo += 2 * width) {
            const std::ptrdiff_t mid = lo + width;
            const std::ptrdiff_t hi = std::min(lo + 2 * width, n);
            std::ptrdiff_t i = lo;
            std::ptrdiff_t j = mid;
            std::ptrdiff_t k = lo;
            std::ptrdiff_t since = 0;
            while (i < mid || j < hi) {
                if (j == hi || (i < mid && !less(first[j], first[i])))
                    merged[static_cast<std::size_t>(k++)] = first[i++];
                else
                    merged[static_cast<std::size_t>(k++)] = first[j++];
                if (++since == slice) {
                    since = 0;
                    if (!goOn())
                        return false;
                }
            }
            std::move(merged.begin() + lo, merged.begin() + hi, first + lo);
            if (!goOn())
                return false;
        }
    }
    return true;
}
// Where a new row goes so the rows stay sorted: after every row it does not precede.
std::size_t SortedPosition(const std::vector<TEintragDaten*>& rows, const TEintragDaten& entry, int sortKey,
    std::span<const int> columnIds);

// The key after a click on the header of a data column: the same column
// flips the direction, another one sorts ascending by it.
int SortKeyAfterColumnClick(int sortKey, int columnId);
// A sort field chosen in the menu keeps the direction.
int SortKeyForField(int sortKey, int code);
// A direction chosen in the menu keeps the field; sign is +1 or -1.
int SortKeyForDirection(int sortKey, int sign);
int SortCode(int sortKey);

} // namespace km
