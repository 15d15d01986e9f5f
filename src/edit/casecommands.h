#pragma once

#include <QObject>

namespace km {

struct TCommandContext;
class TCommandTable;
class TDialogs;
class TEditPanel;
class TFileList;

// The three case commands: with one selected file they change the panel's
// texts as edits; with several they rewrite every selected file's tag.
class TCaseCommands : public QObject {
    Q_OBJECT
public:
    TCaseCommands(const TCommandContext& context, TEditPanel& panel);

private:
    void Execute(int mode);
    void Update();

    TCommandTable& m_commands;
    TDialogs& m_dialogs;
    TFileList& m_files;
    TEditPanel& m_panel;
};

} // namespace km
