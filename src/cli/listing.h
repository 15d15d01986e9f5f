#pragma once

#include "cli/options.h"
#include "model/columns.h"
#include "model/entry.h"

#include <string>
#include <vector>

namespace km::cli {

bool ParseInt(const std::string& text, int& value);
// "0,1,15" into a column layout; false when an item is no number.
bool ParseColumns(const std::string& text, std::vector<TColumnPair>& pairs);

// What picks the rows and columns of a list: --recursive, --columns, --sort.
// `emptyColumns`: an empty --columns means no data column at all.
struct TListOptions {
    bool Recursive = false;
    int SortKey;
    std::vector<TColumnPair> Layout;
    TListOptions();
    void AddTo(TOptionParser& options, bool emptyColumns = false);
    // The ids of the columns shown, in order.
    std::vector<int> Ids() const;
};

// A folder's files read and sorted as the window's list shows them.
struct TListing {
    std::string Folder;                // absolute, ending in "/"; empty when it cannot be listed
    TEntryList Entries;                // in the order found
    std::vector<TEintragDaten*> Rows;  // in the order shown
    std::string Error;                 // a file that could not be read ends the list here
    int UnreadableFolders = 0;         // told on stderr as they were met
};

// Reads the list of `folder`. `ids`: the columns shown, which decide ties.
// A folder that cannot be read is told on stderr at once.
TListing ReadListing(const std::string& folder, bool recursive, int sortKey, const std::vector<int>& ids);

} // namespace km::cli
