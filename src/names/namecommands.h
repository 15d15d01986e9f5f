#pragma once

#include <QObject>

#include <functional>

class QWidget;

namespace km {

struct TCommandContext;
struct TNameStructure;
class TCommandTable;
class TDialogs;
class TEditPanel;
class TFileList;
class TTagSaver;

// The file-name tools: tags from file names, file names from tags, renaming
// by hand, and the settings dialog that edits the file-name structure.
class TNameCommands : public QObject {
    Q_OBJECT
public:
    TNameCommands(const TCommandContext& context, TEditPanel& panel, TTagSaver& saver, TNameStructure& names);

    // The settings were reset: the window must not write them back at closing.
    std::function<void()> SettingsReset;

private:
    void ActVonDateinamenExecute();
    void ActDateinameAusID3Execute();
    void ActRenameExecute();
    void ActEinstellungenExecute();
    void ActVonDateinamenUpdate();

    TCommandTable& m_commands;
    TDialogs& m_dialogs;
    TFileList& m_files;
    QWidget* m_window;
    TEditPanel& m_panel;
    TTagSaver& m_saver;
    TNameStructure& m_names;
};

} // namespace km
