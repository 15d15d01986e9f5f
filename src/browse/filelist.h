#pragma once

#include <QString>

#include <functional>
#include <vector>

class QTreeView;

namespace km {

struct TEintragDaten;
class TListModel;

// The list as the subsystems see it: which rows are selected, the entry of a
// row, refreshing a row, and the scan behind the rows. The window fills in
// what only it knows about the scan.
class TFileList {
public:
    struct TScan {
        std::function<QString()> ScannedFolder; // the folder of the last scan, ending in "/"
        std::function<bool()> Subfolders;       // that scan included subfolders
        std::function<QString()> ShownFolder;   // the folder tree's current folder
        std::function<void()> Rescan;
        std::function<bool()> Running; // a scan fills the list now
    };

    TFileList(QTreeView* view, TListModel& model, TScan scan = {});

    QTreeView* View() const { return m_view; }
    TListModel& Model() const { return m_model; }

    bool HasSelection() const;
    // The selected rows from the top.
    std::vector<int> SelectedRows() const;
    // The topmost selected row; -1 when none is.
    int FirstSelectedRow() const;
    TEintragDaten& Entry(int row) const;
    // Shows the row's entry afresh.
    void FillRow(int row) const;

    QString ScannedFolder() const { return m_scan.ScannedFolder ? m_scan.ScannedFolder() : QString(); }
    bool Subfolders() const { return m_scan.Subfolders && m_scan.Subfolders(); }
    QString ShownFolder() const { return m_scan.ShownFolder ? m_scan.ShownFolder() : QString(); }
    bool ScanRunning() const { return m_scan.Running && m_scan.Running(); }
    void Rescan() const
    {
        if (m_scan.Rescan)
            m_scan.Rescan();
    }

private:
    QTreeView* m_view;
    TListModel& m_model;
    TScan m_scan;
};

} // namespace km
