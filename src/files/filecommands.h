#pragma once

#include "platform/fileops.h"

#include <QObject>
#include <QString>

#include <functional>
#include <vector>

class QWidget;

namespace km {

struct TCommandContext;
struct TSettings;
class TCommandTable;
class TDialogs;
class TEditPanel;
class TFileList;
class TShell;
class TTagSaver;

// Copy, move and delete of the selected files, with the remembered
// destinations, and the list brought up to date afterwards; playing a file.
class TFileCommands : public QObject {
    Q_OBJECT
public:
    TFileCommands(const TCommandContext& context, TEditPanel& panel, TTagSaver& saver, TSettings& settings);

    void CopySelectedFiles(const QString& folder);
    void MoveSelectedFiles(const QString& folder);
    void DeleteSelectedFiles();

    // Whether a Shift key is down right now; tests decide it themselves.
    std::function<bool()> ShiftHeld;
    // Tests make file access fail.
    void SetFileLayer(TFileOpsLayer& layer) { m_layer = &layer; }

private:
    enum class TKind { Copy, Move, Delete };

    TFileOps::TPaths SelectedFiles() const;
    void TransferSelectedFiles(TKind kind, QString folder);
    void Run(TKind kind, const TFileOps::TPaths& files, const QString& folder, bool renameOnCollision, bool forGood);
    bool InScannedTree(const QString& folder) const;
    // Drops the selected rows whose files are gone; `folder`: where they went, empty when deleted.
    void RemoveGoneRows(const QString& folder);
    void Browse(bool move);
    void Repeat(bool move);
    void Update();
    void ActPlayExecute();

    TCommandTable& m_commands;
    TDialogs& m_dialogs;
    TShell& m_shell;
    TFileList& m_files;
    QWidget* m_window;
    TEditPanel& m_panel;
    TTagSaver& m_saver;
    TSettings& m_settings;
    TFileOpsLayer* m_layer;
};

} // namespace km
