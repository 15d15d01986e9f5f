#pragma once

#include "model/structure.h"
#include "platform/dialogs.h"

#include <array>
#include <functional>
#include <optional>
#include <string>

namespace km {

struct TEintragDaten;
class TTagSaver;

// One run of "file names from tags" over a list of files. The answers the
// user gives hold for the rest of the run.
class TNameRenamer {
public:
    enum class TOutcome {
        Renamed,  // renamed and recorded for undo
        Kept,     // the name was already right
        Failed,   // the rename failed and the user gave up
        Skipped,  // a needed field is empty
        NoName,   // the fields give no name at all: the file keeps its own
        Stopped,  // cancelled, or the name belongs to another file: the run ends
    };

    TNameRenamer(TDialogs& dialogs, TTagSaver& saver, const TNameStructure& names);

    // Renames the entry's file after its tag; the entry takes the new name.
    // With JahrVonDatei the file date is set as well (also when the name stays):
    // with DatumBeibehalten its year becomes the tag's.
    TOutcome Rename(TEintragDaten& entry);

    // Tests fix the year an empty tag year stands for.
    std::function<int()> CurrentYear;

private:
    enum TAsked { AskTitel, AskInterpret, AskAlbum, AskJahr, AskAllEmpty, AskCount };
    bool Used(int kind) const;
    bool AllEmpty(const TEintragDaten& entry);
    bool AskForEmptyFields(const TEintragDaten& entry);
    bool Collides(const std::string& folder, const std::string& from, const std::string& to) const;
    void SetYearIntoDate(TEintragDaten& entry, const TFileInformation& times);

    TDialogs& m_dialogs;
    TTagSaver& m_saver;
    const TNameStructure& m_names;
    std::array<std::optional<TDialogs::Result>, AskCount> m_answers; // none: not asked yet
    QString m_labels;
};

// Asks for a new name for `oldName` in `folder` and renames the file, keeping
// its last-write time. `offered`: the name the box starts with (else the old
// one). Returns the file's name afterwards: the old one when nothing changed.
std::string AskAndRename(TDialogs& dialogs, TTagSaver& saver, const std::string& folder, const std::string& oldName,
    const std::string& offered = {});

} // namespace km
