#pragma once

#include "model/entry.h"
#include "platform/dialogs.h"
#include "tags/id3v1tag.h"

#include <functional>
#include <string>
#include <vector>

namespace km::cli {

using TTagChange = std::function<TID3v1Tag(const TID3v1Tag& current)>;
// The same, for a change that depends on the file (its name, folder or date).
using TPathTagChange = std::function<TID3v1Tag(const std::string& path, const TID3v1Tag& current)>;

// Reads each file's ID3v1 tag, changes it and saves it by the window's rules:
// a tag that stays the same is not written, the file times are kept unless
// `touch`. One line per file on stdout ("geschrieben: PATH" or "unverändert:
// PATH"), failures on stderr. 1 when any file failed, else 0.
int SaveEach(const std::vector<std::string>& files, bool touch, const TTagChange& change);
int SaveEach(const std::vector<std::string>& files, bool touch, const TPathTagChange& change);

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
