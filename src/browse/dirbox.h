#pragma once

#include <QIcon>
#include <QTreeWidget>

namespace km {

// The folder tree: one top node for the root "/", below each node its
// subfolders (hidden ones and links to folders included), loaded when the node
// is first expanded. Every change of the selected node, by the user or by the
// program, raises DirChange while notifications are on.
class TDirBox : public QTreeWidget {
    Q_OBJECT
public:
    explicit TDirBox(QWidget* parent = nullptr);

    // Path of the selected node, ending in "/" ("/" for the root).
    QString Directory() const;

    // Selects the node of `path` (text after the last "/" is ignored), matching
    // each component exactly. A component that cannot be found rebuilds the tree
    // (which selects the root) and gives false.
    bool SelectPath(const QString& path);

    // Clears the tree, adds the root and selects it.
    void Rebuild();

    void SetNotify(bool on) { m_notify = on; }
    bool Notify() const { return m_notify; }

signals:
    void DirChange(const QString& newDirectory);

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(
        const QModelIndex& index, const QEvent* event = nullptr) const override;

private:
    QTreeWidgetItem* SelectedNode() const;
    QTreeWidgetItem* MakeNode(const QByteArray& path, const QString& caption, bool link, bool hasSubfolders) const;
    void EnsureLoaded(QTreeWidgetItem* node);
    void AddNewChildren(QTreeWidgetItem* node);
    static QTreeWidgetItem* FindChild(const QTreeWidgetItem* node, const QString& caption);
    void OnSelectionChanged();
    void OnExpanded(QTreeWidgetItem* node);
    void OnCollapsed(QTreeWidgetItem* node);

    bool m_notify = true;
    QTreeWidgetItem* m_shown = nullptr; // the node last reported (or selected quietly)
    QIcon m_rootIcon;
    QIcon m_folderIcon;
    QIcon m_openIcon;
    QIcon m_linkIcon;
};

} // namespace km
