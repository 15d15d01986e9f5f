#include "edit/undorecords.h"

#include <algorithm>
#include <utility>

namespace km {

void TUndoList::Push(TRueckgaengig record) { m_records.push_back(std::move(record)); }

void TUndoList::PushTagWritten(const std::string& path, const TID3v1Tag& oldTag, TFileTime time, TID3v2Undo id3v2)
{
    TRueckgaengig r;
    r.Kind = TRueckgaengig::TagWritten;
    r.Path = path;
    r.Tag = oldTag;
    r.FileTime = time;
    r.ID3v2 = std::move(id3v2);
    Push(std::move(r));
}

void TUndoList::PushRenamed(const std::string& newPath, const std::string& oldPath, TFileTime time)
{
    TRueckgaengig r;
    r.Kind = TRueckgaengig::Renamed;
    r.Path = newPath;
    r.OldPath = oldPath;
    r.FileTime = time;
    Push(std::move(r));
}

const TRueckgaengig* TUndoList::Top() const { return m_records.empty() ? nullptr : &m_records.back(); }

void TUndoList::Pop()
{
    if (!m_records.empty())
        m_records.pop_back();
}

void TUndoList::DropPath(const std::string& path)
{
    std::erase_if(m_records, [&path](const TRueckgaengig& r) { return r.Path == path; });
}

void TUndoList::RehomePath(const std::string& oldPath, const std::string& folder)
{
    std::string dest = folder;
    if (!dest.empty() && dest.back() != '/')
        dest += '/';
    for (TRueckgaengig& r : m_records)
        if (r.Path == oldPath)
            r.Path = dest + BaseName(r.Path);
}

} // namespace km
