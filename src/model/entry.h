#pragma once

#include "tags/fileio.h"
#include "tags/id3v1tag.h"
#include "tags/id3v2reader.h"
#include "tags/mp3info.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace km {

// A folder path held once for all entries of the folder: a hundred thousand
// files in one folder share one string instead of keeping a copy each.
class TFolderPath {
public:
    TFolderPath() = default;
    TFolderPath(std::string path) : m_path(std::make_shared<const std::string>(std::move(path))) {}
    TFolderPath(const char* path) : TFolderPath(std::string(path)) {}

    const std::string& str() const { return m_path ? *m_path : Empty(); }
    operator const std::string&() const { return str(); }
    std::size_t size() const { return str().size(); }
    bool empty() const { return str().empty(); }

    friend bool operator==(const TFolderPath& a, const std::string& b) { return a.str() == b; }
    friend std::string operator+(const TFolderPath& a, const std::string& b) { return a.str() + b; }

private:
    static const std::string& Empty()
    {
        static const std::string empty;
        return empty;
    }
    std::shared_ptr<const std::string> m_path;
};

// Everything the program knows about one listed file.
struct TEintragDaten {
    TID3v1Tag Tag = EmptyTag();
    TMP3Info MP3Info;
    std::uint32_t Duration = 0; // milliseconds
    std::string FileName;       // as the folder listing spells it
    TFolderPath Folder;         // always ends in "/"
    std::int64_t FileSize = 0;
    std::uint32_t Attributes = 0;
    TFileTime FileTime = 0;     // last write, UTC
    std::uint8_t InSelection = 0;
    // The first leading ID3v2 tag beside the ID3v1 block, once read (the
    // list reads it only where it shows it): its major version byte, 0 for
    // none, and a bit for each field in which the two disagree.
    bool ID3v2Known = false;
    std::uint8_t ID3v2Version = 0;
    std::uint8_t ID3v2Differs = 0;

    std::string FullPath() const { return Folder.str() + FileName; }
};

// Owns the entries in the order they were found; rows point into it.
using TEntryList = std::vector<std::unique_ptr<TEintragDaten>>;

// Empties `items` from the back, a few thousand at a time, with `serve` in
// between: freeing a hundred thousand rows takes a tenth of a second.
template <typename T>
void FreeInSlices(std::vector<T>& items, const std::function<void()>& serve)
{
    while (!items.empty()) {
        items.erase(items.end() - static_cast<std::ptrdiff_t>(std::min<std::size_t>(items.size(), 8192)), items.end());
        if (serve)
            serve();
    }
}

// Refreshes an entry from its file. A file that is gone leaves the entry as it
// was; one that cannot be read throws TFileError. The ID3v2 tag is read with
// the reader's ReadFields, and always for an entry that knew it.
void ReadEntry(TID3v2Reader& reader, const std::string& path, TEintragDaten& entry);

// The reader as the list uses it: leading ID3v2 frames are skipped, not decoded.
void SetUpListReader(TID3v2Reader& reader);

} // namespace km
