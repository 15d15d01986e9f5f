#pragma once

#include <QHash>
#include <QIcon>
#include <QPersistentModelIndex>
#include <QThreadPool>
#include <QTreeWidget>

#include <atomic>
#include <chrono>
#include <memory>
#include <vector>

namespace km {

enum class TMarker : unsigned char;
struct TSubfolder;
class TFileLayer;

// The folder tree: one top node for the root "/", below each node its
// subfolders (hidden ones and links to folders included), loaded when the node
// is first expanded and read again each time it is expanded later. Every change
// of the selected folder, by the user or by the program, raises DirChange while
// notifications are on. Whether a large folder has subfolders (its expand
// marker) is found out on a worker thread; the marker follows when it is known.
// Folders are listed on worker threads too: a folder that does not answer at
// once (a slow or hung share) shows "wird gelesen..." until it does.
class TDirBox : public QTreeWidget {
    Q_OBJECT
public:
    explicit TDirBox(QWidget* parent = nullptr);
    ~TDirBox() override;

    // Path of the selected node, ending in "/" ("/" for the root).
    QString Directory() const;

    // Selects the node of `path` (text after the last "/" is ignored), matching
    // each component exactly. A component that cannot be found rebuilds the tree
    // (which selects the root) and gives false. A folder on the way that is
    // still being read leaves the selection as it is until it answers; the
    // selection goes on then (true).
    bool SelectPath(const QString& path);

    // Clears the tree, adds the root and selects it.
    void Rebuild();

    // Reads the subfolders of the node of `path` (text after the last "/" is
    // ignored) and of its listed descendants again, keeping the nodes whose
    // folders still exist. A node whose folder has gone gives way to its nearest
    // existing ancestor; if the selection was in a removed node, that ancestor is
    // selected.
    void RereadFolder(const QString& path);

    void SetNotify(bool on) { m_notify = on; }
    bool Notify() const { return m_notify; }

    // Whether `path` is a folder; one on a share that does not answer within
    // the quick wait (platform/soon.h) counts as one.
    static bool IsFolderSoon(const QString& path);
    // Tests slow or stop the reading of folders; several threads use it.
    void SetFileLayer(TFileLayer& layer) { m_layer = &layer; }
    // Folders still being read.
    int Listing() const { return static_cast<int>(m_listings.size()); }

signals:
    void DirChange(const QString& newDirectory);

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(
        const QModelIndex& index, const QEvent* event = nullptr) const override;

private:
    QTreeWidgetItem* SelectedNode() const;
    QTreeWidgetItem* MakeNode(const QByteArray& path, const QString& caption, bool link, TMarker marker) const;
    void SetMarker(QTreeWidgetItem* node, TMarker marker);
    void StartProbe(QTreeWidgetItem* node);
    // Forgets the answer the node waits for, and stops its read.
    void DropProbe(QTreeWidgetItem* node);
    void ApplyProbe(quint64 serial, bool hasSubfolders);
    void SetNodeIcon(QTreeWidgetItem* node) const;
    void EnsureLoaded(QTreeWidgetItem* node);
    void FillNode(QTreeWidgetItem* node, const std::vector<TSubfolder>& subs);
    // Lists the node's folder on a worker: true with `subs` when it answers
    // at once; else the node waits for ApplyListing (a first listing shows
    // "wird gelesen..." meanwhile, a listing again keeps the nodes it has).
    bool List(QTreeWidgetItem* node, bool first, std::vector<TSubfolder>& subs);
    void ApplyListing(quint64 serial);
    void RereadWith(QTreeWidgetItem* node, const std::vector<TSubfolder>& subs);
    bool GoTo(const QString& path, bool rebuildWhenMissing);
    void Reread(QTreeWidgetItem* node);
    void RereadHeld(QTreeWidgetItem* node);
    void MoveSelectionOutOf(QTreeWidgetItem* node, bool selectionGoes);
    static QTreeWidgetItem* FindChild(const QTreeWidgetItem* node, const QString& caption);
    void OnSelectionChanged();
    void OnExpanded(QTreeWidgetItem* node);
    void OnCollapsed(QTreeWidgetItem* node);

    bool m_notify = true;
    // While set, selection changes are not reported; the caller reports once at the end.
    bool m_hold = false;
    QByteArray m_shown; // path of the folder last reported (or selected quietly); empty: none
    QIcon m_rootIcon;
    QIcon m_folderIcon;
    QIcon m_openIcon;
    QIcon m_linkIcon;

    // Folders too large to check at once, read to their first subfolder one at
    // a time. An answer finds its node through m_pending and applies only if
    // the node still waits for that very answer.
    QThreadPool m_probes;
    std::atomic<bool> m_closing = false;
    quint64 m_probeSerial = 0;
    struct TProbe {
        QPersistentModelIndex Index;
        std::shared_ptr<std::atomic<bool>> Cancel;
    };
    QHash<quint64, TProbe> m_pending;

    // Folders being read: an answer finds its node as a probe's does.
    QThreadPool m_lists;
    quint64 m_listSerial = 0;
    struct TListing;
    struct TPendingListing {
        QPersistentModelIndex Index;
        std::shared_ptr<TListing> Listing;
        bool First; // the node's first listing, not a listing again
    };
    QHash<quint64, TPendingListing> m_listings;
    QString m_selectLater; // the path SelectPath goes on with when a folder on the way answers
    TFileLayer* m_layer;
};

} // namespace km
