#pragma once

#include "edit/undorecords.h"
#include "model/entry.h"
#include "tags/fileio.h"
#include "tags/id3v1tag.h"
#include "tags/id3v2reader.h"
#include "tags/writer.h"

#include <QString>

#include <string>

namespace km {

class TDialogs;

// Every tag change of the program goes through here: compare, remember the
// old state, write, read back; and the saved changes are taken back here.
// Knows no window: the window, the command line and every tool share it.
class TTagSaver {
public:
    enum class TSaveResult {
        Unchanged, // the tag was already there: nothing touched, nothing recorded
        Written,   // written and recorded; the entry was read back
        TooSmall,  // the file cannot hold a block: nothing written; the caller tells the user
        Failed,    // the file is gone, its ID3v2 tag is damaged (told here) or the user gave up; the entry stays
    };

    explicit TTagSaver(TDialogs& dialogs, TFileLayer& layer = TFileLayer::Posix());
    TTagSaver(const TTagSaver&) = delete;
    TTagSaver& operator=(const TTagSaver&) = delete;

    void SetFileLayer(TFileLayer& layer);
    TFileLayer& FileLayer() const { return *m_layer; }

    // Keep the file's times across a write.
    bool DatumBeibehalten() const { return m_datumBeibehalten; }
    void SetDatumBeibehalten(bool on) { m_datumBeibehalten = on; }

    // Writes `tag` into the entry's file when it differs from the entry's tag.
    TSaveResult Save(TEintragDaten& entry, const TID3v1Tag& tag);
    // Writes `tag` into the opened file when it differs from the tag read
    // there, through the same handle; nothing is read back. For callers that
    // keep no entry (the command line). Failed, untold, for a file not read.
    TSaveResult Save(TTagFile& file, const TID3v1Tag& tag);

    // Takes back the newest saved change and drops its record. False when
    // there was nothing to take back.
    bool UndoTop();
    // What undo would take back, unescaped: "&" is no access key here.
    QString UndoCaption() const;

    const TUndoList& Undo() const { return m_undo; }
    void PushRenamed(const std::string& newPath, const std::string& oldPath, TFileTime time);
    void DropPath(const std::string& path);
    void RehomePath(const std::string& oldPath, const std::string& folder);

private:
    TWriteQuestions WriteQuestions(const std::string& path) const;
    // Tells what the write did and records it for undo (`old`, `time`: the file before).
    TSaveResult Conclude(TWriteResult written, const std::string& path, const TID3v1Tag& old, const TID3v1Tag& tag,
        TFileTime time);
    // Whether the file now holds `tag`, read afresh.
    bool HoldsTag(const std::string& path, const TID3v1Tag& tag);
    void UndoRename(const TRueckgaengig& record);

    TDialogs& m_dialogs;
    TFileLayer* m_layer;
    bool m_datumBeibehalten = true;
    TID3v2Reader m_reader;
    TUndoList m_undo;
};

} // namespace km
