#pragma once

#include "browse/entry.h"

#include <functional>
#include <string>
#include <string_view>

namespace km {

// How the folder walk talks to whoever runs it: the window serves its events
// and shows the count; a test or the command line may do nothing.
struct TCollectProgress {
    std::function<void()> ServeEvents;          // every tenth folder item, and after each found file
    std::function<void(int found)> FoundChanged; // after each found file
    std::function<bool()> AbortRequested;       // asked after every item
};

// True when the text from the last "." on, with A-Z lowered, is ".mp3".
bool IsMp3Name(std::string_view name);

// Appends one entry per MP3 file of `folder` (ending in "/"), and of its
// subfolders, depth first, when `subfolders` is set. Hidden files and folders
// count; links to files count, links to folders are not followed. `found`
// counts the files found so far. False when the walk was cancelled.
bool CollectFiles(const std::string& folder, bool subfolders, TEntryList& entries, const TCollectProgress& progress,
    int& found);

} // namespace km
