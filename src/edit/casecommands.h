#pragma once

#include <QObject>

class QTreeView;

namespace km {

class TCommandTable;
class TDialogs;
class TEditPanel;
class TListModel;

// The three case commands: with one selected file they change the panel's
// texts as edits; with several they rewrite every selected file's tag.
class TCaseCommands : public QObject {
    Q_OBJECT
public:
    TCaseCommands(TCommandTable& commands, TEditPanel& panel, TDialogs& dialogs, QTreeView* list, TListModel& model,
        QObject* parent = nullptr);

private:
    void Execute(int mode);
    void Update();

    TCommandTable& m_commands;
    TEditPanel& m_panel;
    TDialogs& m_dialogs;
    QTreeView* m_list;
    TListModel& m_model;
};

} // namespace km
