#pragma once

#include "model/collect.h"
#include "model/entry.h"
#include "tags/id3v2reader.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

class QFrame;
class QLabel;
class QProgressBar;
class QStatusBar;
class QToolButton;
class QWidget;

namespace km {

struct TCommandContext;
class TCommandTable;
class TDialogs;
class TEditPanel;
class TFileList;
class TReadAhead;

// What the scan shows and asks of the window.
struct TFolderScanParts {
    QStatusBar* StatusBar = nullptr; // the progress strip lies over its file line
    QLabel* Caption = nullptr;       // Panel4: "MP3-Dateien in ..."
    QLabel* Count = nullptr;         // status bar panel 0
    QLabel* FileLine = nullptr;      // status bar panel 1
    std::function<QString()> Folder; // the folder tree's folder, ending in "/"
    std::function<bool()> Subfolders;
    std::function<int()> SortKey;
    std::function<bool()> WantsID3v2; // the ID3v2 column is shown or sorts
};

// The folder scan on screen: it collects and reads the files of the folder
// tree's folder into the list, with progress and "Abbrechen", serving the
// window between files. Another scan asked for meanwhile stops this one and
// starts afresh; a close waits until the scan has stopped.
class TFolderScan : public QObject {
    Q_OBJECT
public:
    TFolderScan(const TCommandContext& context, TEditPanel& panel, const TFolderScanParts& parts);

    void Run();
    // Reads the ID3v2 tags of the listed files that lack them (the ID3v2
    // column has just been shown), serving the window as a scan does; after a
    // running scan when one runs.
    void ReadID3v2Tags();
    bool Running() const { return m_running; }
    // The running scan stops at its next check.
    void Abort() { m_abortRequested = true; }
    // Closing during a scan: the scan stops and closes the window then. False when none runs.
    bool DeferClose();
    // The folder of the last scan, ending in "/".
    const QString& Folder() const { return m_folder; }
    // The files whose rows the next scan selects (from the command line, or dropped).
    const QStringList& SelectAfterScan() const { return m_selectAfterScan; }
    void SetSelectAfterScan(const QStringList& paths) { m_selectAfterScan = paths; }
    const TEntryList& Entries() const { return m_entries; }
    // Tests make file access fail.
    void SetFileLayer(TFileLayer& layer);

signals:
    void Finished();
    void ID3v2Read();

private:
    void Read();
    // Reads the collected entries into the list; false when cancelled.
    bool ReadEntries(TReadAhead& ahead);
    // Stops worker threads without the window waiting on them.
    template <typename Workers>
    void LetStop(Workers& workers);
    void Finish();
    void AfterRun();
    void ShowProgress(bool on);
    void ServeEvents(bool always = false);
    void SelectRow(int row);
    void SelectRows(const QStringList& paths);
    bool Cancelled();
    // Collects the folder's files on a thread of its own, serving the window
    // meanwhile. False when the walk was cancelled.
    bool Collect(int& found);
    // Serves the window until an event comes, for the threads to finish work.
    void WaitServing();
    void HideForClose();

    TCommandTable& m_commands;
    TDialogs& m_dialogs;
    TFileList& m_files;
    QWidget* m_window;
    TEditPanel& m_panel;
    TFolderScanParts m_parts;

    TEntryList m_entries;
    TID3v2Reader m_reader;
    TFileLayer* m_fileLayer = &TFileLayer::Posix();
    bool m_running = false;
    std::atomic<bool> m_abortRequested {false}; // the folder walk's thread asks it too
    bool m_rescanPending = false;
    bool m_closePending = false;
    bool m_id3v2Pending = false;
    QString m_folder;
    QStringList m_selectAfterScan;
    TUnreadableFolders m_unreadable; // of the last scan
    QElapsedTimer m_serveClock;

    // The progress strip, named as the program knows it.
    QFrame* PWarten;
    QLabel* LWarten;
    QLabel* LGefunden;
    QProgressBar* PBWarten;
    QToolButton* SpeedButton2;
};

} // namespace km
