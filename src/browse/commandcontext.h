#pragma once

class QWidget;

namespace km {

class TCommandTable;
class TDialogs;
class TFileList;
class TShell;

// What every subsystem's commands work with. Each subsystem's command class
// takes it first, then only what that subsystem needs besides (the edit
// panel, the saver, the settings), defines its commands in the table and
// registers their handlers.
struct TCommandContext {
    TCommandTable& Commands;
    TDialogs& Dialogs;
    TShell& Shell;
    TFileList& Files;
    QWidget* Window; // the parent of dialogs and of the command objects
};

} // namespace km
