#pragma once

#include <QString>
#include <QStringList>

namespace km {

// Every message box, question, input box, file or folder dialog and beep of
// the program goes through this seam, so that tests can answer them.
class TDialogs {
public:
    enum class Kind { Information, Warning, Error, Confirmation };
    // Buttons a message box may carry; combine with |.
    enum Button : unsigned {
        Yes = 0x01,
        No = 0x02,
        Ok = 0x04,
        Cancel = 0x08,
        YesToAll = 0x10,
        NoToAll = 0x20,
        All = 0x40,
    };
    // Which button closed the box; None when it was closed otherwise (treat like Cancel).
    enum class Result { None, Yes, No, Ok, Cancel, YesToAll, NoToAll, All };

    virtual ~TDialogs() = default;

    // A modal message box with the program's title; "\r" in the text is a line break.
    // `defaultButton` is the button Enter presses (0: the first one).
    virtual Result Message(const QString& text, Kind kind, unsigned buttons, unsigned defaultButton = 0) = 0;
    // The box that shows an unexpected failure (a file that cannot be opened...): error kind, OK.
    virtual void ShowError(const QString& text) = 0;
    // A one-line input box; false when cancelled. `value` holds the start text and the answer.
    virtual bool InputQuery(const QString& caption, const QString& prompt, QString& value) = 0;
    // A save dialog; returns the chosen path, empty when cancelled.
    virtual QString SaveFileName(const QString& caption, const QString& startPath, const QString& filter) = 0;
    // A folder dialog; the chosen folder without a trailing "/" (the root stays "/"), empty when cancelled.
    virtual QString FolderName(const QString& caption, const QString& startFolder) = 0;
    virtual void Beep() = 0;
};

} // namespace km
