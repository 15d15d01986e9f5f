#pragma once

#include "tags/fileio.h"
#include "tags/id3v1tag.h"
#include "tags/id3v2patch.h"

#include <cstdint>
#include <string>
#include <vector>

namespace km {

// One saved change, so that it can be taken back.
struct TRueckgaengig {
    enum : std::uint8_t { Renamed = 0, TagWritten = 1 };
    std::uint8_t Kind = TagWritten;
    std::string Path;    // the file as it is now (after a rename: its new name)
    std::string OldPath; // a rename: the name before; else empty
    TID3v1Tag Tag {};    // a tag written: the tag before; a rename: all zero
    TFileTime FileTime = 0; // the last-write time before the change
    TID3v2Undo ID3v2;       // a tag written: what its ID3v2 tag held before, when that changed
};

// The saved changes, oldest first; no limit, nothing merged.
class TUndoList {
public:
    void Push(TRueckgaengig record);
    void PushTagWritten(const std::string& path, const TID3v1Tag& oldTag, TFileTime time, TID3v2Undo id3v2 = {});
    void PushRenamed(const std::string& newPath, const std::string& oldPath, TFileTime time);
    // The newest record; nullptr when there is none.
    const TRueckgaengig* Top() const;
    void Pop();
    bool Empty() const { return m_records.empty(); }
    std::size_t Count() const { return m_records.size(); }
    const std::vector<TRueckgaengig>& Records() const { return m_records; }

    // A file was deleted: its records go, wherever they stand.
    void DropPath(const std::string& path);
    // A file was moved to `folder` (ending in "/"): its records name it there;
    // OldPath stays as it was.
    void RehomePath(const std::string& oldPath, const std::string& folder);

private:
    std::vector<TRueckgaengig> m_records;
};

} // namespace km
