#pragma once

#include <QObject>

#include <functional>
#include <vector>

class QTreeView;
class QWidget;

namespace km {

class TCommandTable;
class TDialogs;
class TEditPanel;
class TListModel;
class TTagSaver;
struct TNameStructure;

// What the file-name tools need of the window.
struct TNameToolsParts {
    QWidget* Window = nullptr; // parent of the settings dialog
    QTreeView* List = nullptr; // ListView1
    TListModel* Model = nullptr;
    std::function<void(int row)> FillRow;
    // The settings were reset: the window must not write them back at closing.
    std::function<void()> SettingsReset;
};

// The file-name tools: tags from file names, file names from tags, renaming
// by hand, and the settings dialog that edits the file-name structure.
class TNameCommands : public QObject {
    Q_OBJECT
public:
    TNameCommands(const TNameToolsParts& parts, TCommandTable& commands, TEditPanel& panel, TDialogs& dialogs,
        TTagSaver& saver, TNameStructure& names, QObject* parent = nullptr);

private:
    std::vector<int> SelectedRows() const;
    void ActVonDateinamenExecute();
    void ActDateinameAusID3Execute();
    void ActRenameExecute();
    void ActEinstellungenExecute();
    void ActVonDateinamenUpdate();

    TNameToolsParts m_parts;
    TCommandTable& m_commands;
    TEditPanel& m_panel;
    TDialogs& m_dialogs;
    TTagSaver& m_saver;
    TNameStructure& m_names;
};

} // namespace km
