#pragma once

#include "model/entry.h"
#include "platform/dialogs.h"
#include "tags/id3v1tag.h"
#include "tags/id3v2patch.h"

#include <functional>
#include <string>
#include <vector>

namespace km::cli {

// A change that may depend on the file (its name, folder or date); it may
// give the ID3v2 frames whole texts of their own (see ID3v2ChangesOf).
using TTagChange
    = std::function<TID3v1Tag(const std::string& path, const TID3v1Tag& current, TID3v2Changes& whole)>;

struct TSaveOptions {
    bool Touch = false;     // the file times are not kept
    bool SyncID3v2 = false; // the changed fields go into the ID3v2 tag too
};

// Reads each file's ID3v1 tag, changes it and saves it by the window's rules:
// a tag that stays the same is not written, the file times are kept unless
// Touch. One line per file on stdout ("geschrieben: PATH" or "unverändert:
// PATH"), failures on stderr, and "ID3v2 nicht geändert (GRUND): PATH" for a
// tag SyncID3v2 had to leave. 1 when any file failed or such a tag was left, else 0.
int SaveEach(const std::vector<std::string>& files, TSaveOptions options, const TTagChange& change);

// Fills Folder, FileName and Tag of `entry` from the file as the list reads
// it. False, with the reason on stderr, when it is missing or unreadable.
bool ReadTagEntry(const std::string& path, TEintragDaten& entry);

// A line on stderr after what stdout holds so far; "\r" becomes a line break.
void PrintError(const std::string& text);

// A script cannot answer: the questions become messages, and nothing is retried.
class TScriptDialogs : public TDialogs {
public:
    Result Message(const QString& text, Kind, unsigned buttons, unsigned) override;
    void ShowError(const QString& text) override { PrintError(text.toStdString()); }
    bool InputQuery(const QString&, const QString&, QString&) override { return false; }
    QString SaveFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString FolderName(const QString&, const QString&) override { return {}; }
    void Beep() override {}
};

} // namespace km::cli
