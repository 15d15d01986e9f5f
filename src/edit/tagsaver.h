#pragma once

#include "edit/undorecords.h"
#include "model/entry.h"
#include "tags/fileio.h"
#include "tags/id3v1tag.h"
#include "tags/id3v2reader.h"
#include "tags/writer.h"

#include <QString>

#include <optional>
#include <string>
#include <utility>
#include <vector>

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

    // Carry each change into the file's leading ID3v2 tag as well.
    bool ID3v2Mitschreiben() const { return m_id3v2Mitschreiben; }
    void SetID3v2Mitschreiben(bool on) { m_id3v2Mitschreiben = on; }

    // Writes `tag` into the entry's file when it differs from the entry's tag.
    // With ID3v2Mitschreiben, the fields that changed go into the ID3v2 tag
    // too, with the whole texts `whole` holds (see ID3v2ChangesOf).
    TSaveResult Save(TEintragDaten& entry, const TID3v1Tag& tag, const TID3v2Changes& whole = {});
    // Writes `tag` into the opened file when it differs from the tag read
    // there, through the same handle; nothing is read back. For callers that
    // keep no entry (the command line). Failed, untold, for a file not read.
    TSaveResult Save(TTagFile& file, const TID3v1Tag& tag, const TID3v2Changes& whole = {});

    // The files whose ID3v2 tag a save or undo left as it was, and why.
    struct TID3v2Refusal {
        std::string Path;
        std::string Reason;
    };
    // Those since the last call, which forgets them.
    std::vector<TID3v2Refusal> TakeID3v2Refusals() { return std::exchange(m_id3v2Refusals, {}); }
    // The window's one message for them; empty for none.
    static QString ID3v2RefusalText(const std::vector<TID3v2Refusal>& refusals);

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
        TFileTime time, TID3v2Job* job);
    // A job for the changes from `old` to `tag`; none while ID3v2 is not written.
    std::optional<TID3v2Job> JobFor(const TID3v1Tag& old, const TID3v1Tag& tag, const TID3v2Changes& whole) const;
    // Whether the file now holds `tag`, read afresh; `id3v2` whether its
    // ID3v2 tag holds what `job` wrote (false without a change).
    bool HoldsTag(const std::string& path, const TID3v1Tag& tag, const TID3v2Job* job = nullptr, bool* id3v2 = nullptr);
    void UndoRename(const TRueckgaengig& record);

    TDialogs& m_dialogs;
    TFileLayer* m_layer;
    bool m_datumBeibehalten = true;
    bool m_id3v2Mitschreiben = false;
    std::vector<TID3v2Refusal> m_id3v2Refusals;
    TID3v2Reader m_reader;
    TUndoList m_undo;
};

} // namespace km
