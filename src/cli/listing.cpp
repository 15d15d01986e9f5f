#include "cli/listing.h"

#include "model/collect.h"
#include "model/columns.h"
#include "model/readahead.h"
#include "model/sorting.h"
#include "tags/id3v2reader.h"

#include <algorithm>
#include <dirent.h>
#include <filesystem>

namespace km::cli {

namespace {
bool CanList(const std::string& folder)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return false;
    ::closedir(dir);
    return true;
}
} // namespace

bool ParseInt(const std::string& text, int& value)
{
    try {
        std::size_t used = 0;
        const long long v = std::stoll(text, &used);
        if (used != text.size() || v < INT32_MIN || v > INT32_MAX)
            return false;
        value = static_cast<int>(v);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool ParseColumns(const std::string& text, std::vector<TColumnPair>& pairs)
{
    pairs.clear();
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        int id = 0;
        if (!ParseInt(text.substr(start, comma - start), id))
            return false;
        pairs.push_back({id, IsColumnId(id) ? ColumnInfos[static_cast<std::size_t>(id)].DefaultWidth : 0});
        start = comma + 1;
    }
    return true;
}

TListOptions::TListOptions()
    : SortKey(kDefaultSortKey)
    , Layout(DefaultColumnLayout())
{
}

void TListOptions::AddTo(TOptionParser& options, bool emptyColumns)
{
    options.Flag({"--recursive", "-r"}, Recursive)
        .Value({"--columns"},
            [this, emptyColumns](const std::string& v) {
                if (emptyColumns && v.empty())
                    Layout.clear();
                else if (!ParseColumns(v, Layout))
                    throw TUsageError {"Ungültige Spaltenliste: " + v, false};
                // The window's layout passes over unknown ids; a call naming one is a mistake.
                for (const TColumnPair& column : Layout)
                    if (!IsColumnId(column.Id))
                        throw TUsageError {"Unbekannte Spalte: " + std::to_string(column.Id) + " (0 bis "
                                + std::to_string(kColumnCount - 1) + ")",
                            false};
            })
        .Value({"--sort"},
            [this](const std::string& v) {
                if (!ParseInt(v, SortKey))
                    throw TUsageError {"Ungültiger Sortiercode: " + v, false};
            })
        .MissingValue([](const std::string& option) { return TUsageError {"Wert fehlt: " + option, false}; });
}

std::vector<int> TListOptions::Ids() const
{
    std::vector<int> ids;
    for (const TColumnPair& c : ColumnsOfLayout(Layout))
        ids.push_back(c.Id);
    return ids;
}

TListing ReadListing(const std::string& folder, bool recursive, int sortKey, const std::vector<int>& ids)
{
    TListing listing;
    std::error_code ec;
    std::string absolute = folder.empty() ? std::string() : std::filesystem::absolute(folder, ec).lexically_normal().string();
    if (!absolute.empty() && absolute.back() != '/')
        absolute += '/';
    if (absolute.empty() || !CanList(absolute))
        return listing;
    listing.Folder = absolute;

    int found = 0;
    TCollectProgress progress;
    progress.Unreadable = [&listing](const std::string& path, int err) {
        ++listing.UnreadableFolders;
        std::fprintf(stderr, "Ordner nicht lesbar: %s (%s)\n", path.c_str(), TUnreadableFolders::Reason(err).c_str());
    };
    CollectFiles(absolute, recursive, listing.Entries, progress, found);
    // Read in the order found.
    TID3v2Reader reader;
    SetUpListReader(reader);
    // The ID3v2 tag only where its column is shown or sorts.
    reader.ReadFields = SortCode(sortKey) == ColID3v2 + 1 || std::find(ids.begin(), ids.end(), int(ColID3v2)) != ids.end();
    listing.Rows.reserve(listing.Entries.size());
    {
        TReadAhead ahead(listing.Entries, reader, ScanWorkers());
        for (std::size_t k = 0; k < listing.Entries.size(); ++k) {
            TEintragDaten* entry = nullptr;
            try {
                entry = &ahead.Next();
            } catch (const TFileError& e) {
                listing.Error = e.what();
                break;
            }
            entry->InSelection = 0;
            listing.Rows.push_back(entry);
        }
    }
    // Stable: the order one-by-one insertion at the sorted place gives.
    SortRows(listing.Rows, sortKey, ids);
    return listing;
}

} // namespace km::cli
