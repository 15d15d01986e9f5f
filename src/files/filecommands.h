#pragma once

#include "platform/fileops.h"

#include <QObject>
#include <QString>

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
struct TSettings;

// What the file operations need of the window.
struct TFileCommandsParts {
    QWidget* Window = nullptr; // owner of the progress dialog
    QTreeView* List = nullptr; // ListView1
    TListModel* Model = nullptr;
    std::function<QString()> ScannedFolder; // ends in "/"
    std::function<bool()> Unterordner;
    std::function<void()> Rescan;
};

// Copy, move and delete of the selected files, with the remembered
// destinations, and the list brought up to date afterwards.
class TFileCommands : public QObject {
    Q_OBJECT
public:
    TFileCommands(const TFileCommandsParts& parts, TCommandTable& commands, TEditPanel& panel, TDialogs& dialogs,
        TTagSaver& saver, TSettings& settings, QObject* parent = nullptr);

    void CopySelectedFiles(const QString& folder);
    void MoveSelectedFiles(const QString& folder);
    void DeleteSelectedFiles();

    // Whether a Shift key is down right now; tests decide it themselves.
    std::function<bool()> ShiftHeld;
    // Tests make file access fail.
    void SetFileLayer(TFileOpsLayer& layer) { m_layer = &layer; }

private:
    enum class TKind { Copy, Move, Delete };

    bool RowSelected() const;
    TFileOps::TPaths SelectedFiles() const;
    void TransferSelectedFiles(TKind kind, QString folder);
    void Run(TKind kind, const TFileOps::TPaths& files, const QString& folder, bool renameOnCollision, bool forGood);
    bool InScannedTree(const QString& folder) const;
    // Drops the selected rows whose files are gone; `folder`: where they went, empty when deleted.
    void RemoveGoneRows(const QString& folder);
    void Browse(bool move);
    void Repeat(bool move);
    void Update();

    TFileCommandsParts m_parts;
    TCommandTable& m_commands;
    TEditPanel& m_panel;
    TDialogs& m_dialogs;
    TTagSaver& m_saver;
    TSettings& m_settings;
    TFileOpsLayer* m_layer;
};

} // namespace km
