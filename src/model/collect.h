#pragma once

#include "model/entry.h"
#include "tags/fileio.h"

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
    // A folder that could not be opened or read to its end (path ending in
    // "/", -errno). Files that vanish while the walk runs are not reported.
    std::function<void(const std::string& folder, int err)> Unreadable;
};

// True when the text from the last "." on, with A-Z lowered, is ".mp3".
bool IsMp3Name(std::string_view name);

// Tells what the walk met in folders it could not read.
class TUnreadableFolders {
public:
    void Add(const std::string& folder, int err);
    int Count() const { return m_count; }
    const std::string& First() const { return m_first; }
    // The reason for -errno `err`, German ("Zugriff verweigert", ...).
    static std::string Reason(int err);
    // The message after a scan: names the first folder and the count.
    // `first` is the first folder as shown to the user.
    static std::string Message(int count, const std::string& first);

private:
    int m_count = 0;
    std::string m_first;
};

// At most this many folders are held open by one walk.
inline constexpr int kCollectHandles = 16;

// Appends one entry per MP3 file of `folder` (ending in "/"), and of its
// subfolders, depth first, when `subfolders` is set. Hidden files and folders
// count; links to files count, links to folders are not followed. Size and
// read-only bit are known only for links until the entry is read. The depth
// is unlimited and at most kCollectHandles folders are held open at a time.
// `found` counts the files found so far. False when the walk was cancelled.
// Folders are opened through `layer`.
bool CollectFiles(const std::string& folder, bool subfolders, TEntryList& entries, const TCollectProgress& progress,
    int& found, TFileLayer& layer = TFileLayer::Posix());

} // namespace km
