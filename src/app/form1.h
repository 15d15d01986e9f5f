#pragma once

#include "model/collect.h"
#include "model/entry.h"
#include "model/history.h"
#include "browse/listmodel.h"
#include "edit/tagsaver.h"
#include "model/settings.h"
#include "tags/genres.h"
#include "tags/id3v2reader.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <vector>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QProgressBar;
class QSplitter;
class QTimer;
class QToolButton;
class QTreeView;

namespace km {

class TDialogs;
class TCommandTable;
class TDirBox;
class TEditPanel;
class TEditFields;
class TListModel;
class TShell;

// The main window: owns the entries, the list, the folder tree and the
// settings, and dispatches the commands. Each concern lives in its own file:
// mainwindow.cpp (creation, layout, closing), mainwindow_settings.cpp,
// mainwindow_scan.cpp, mainwindow_list.cpp (columns and sorting),
// mainwindow_commands.cpp (the actions, menus and tool bars),
// mainwindow_navigation.cpp and mainwindow_layout.cpp. The edit panel
// (edit/panel.*), the tag saver and the command table are classes of their own.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // `arguments`: the command line without the program name.
    TForm1(TDialogs& dialogs, TShell& shell, const QStringList& arguments, QWidget* parent = nullptr);
    ~TForm1() override;

    // Closes the splash window when the start timer fires.
    void SetSplash(QWidget* splash);

    // State the tests and the other subsystems look at.
    bool ScanRunning() const { return m_scanRunning; }
    int SortKey() const { return m_sortKey; }
    bool Unterordner() const { return m_settings.Unterordner; }
    const TEntryList& EntryList() const { return m_entries; }
    TListModel& Model() const { return *m_model; }
    const QString& SelectAfterScan() const { return m_selectAfterScan; }
    // Cleared by the settings reset, so that the next start takes the defaults.
    void SetSaveSettingsOnClose(bool on) { m_saveSettingsOnClose = on; }

    void ScanFolder();
    void DirBox1DirChange(const QString& folder);
    void ApplyColumnLayout(const std::vector<TColumnPair>& pairs);
    void ApplySort();
    void FillRow(int row);
    // The data columns as shown: ids and current widths in display order.
    std::vector<TColumnPair> CurrentColumns() const;

    // The commands by their names, for the other subsystems and the tests.
    TCommandTable& Commands() const { return *m_commands; }
    const THistory& History() const { return m_history; }
    void GoHistory(int steps);

    TTagSaver& Saver() { return m_saver; }
    TEditPanel& Panel() const { return *m_panel; }
    // Tests make file access fail.
    void SetFileLayer(TFileLayer& layer);

    enum class TPlacement { Docked, Floating, Hidden };
    TPlacement FolderBarState() const { return m_folderBar; }
    TPlacement EditPanelState() const { return m_editPanel; }
    bool EditPanelTop() const { return m_editTop; }

signals:
    void ScanFinished();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // mainwindow.cpp
    void BuildUi();
    void FirstShow();
    bool HandleFormKey(QKeyEvent* key);

    // mainwindow_commands.cpp
    void BuildActions();
    void ConnectCommands();
    void BuildMenus();
    void BuildToolBars();
    void FillHistoryMenu(QMenu* menu, bool back);
    void ActPlayExecute();
    void ActSpalteUpdate();
    void SortUpdate();

    // mainwindow_navigation.cpp
    void AddHistory(const QString& folder);
    void ActAufwaertsExecute();
    void ActNaechstesExecute();
    void ActVorherigesExecute();
    void GoToRow(int row);
    void ActNaechstesUpdate();

    // mainwindow_layout.cpp
    void ActOrdnerAnzeigenExecute();
    void ActOrdnerAnzeigen2Execute();
    void ActEingabefeldObenExecute();
    void ActEingabeFeldUntenExecute();
    void ActEingabefeldAusblendenExecute();
    void ActEingabefeldAnzeigenExecute();
    void DockFolderBar();
    void DockEditPanel(bool top);
    void SetEditPanelTop(bool top);
    void FocusChanged(QWidget* old, QWidget* now);
    bool EditFieldsEnabled() const;
    void ActOrdnerAnzeigenUpdate();
    void EditPanelUpdate();

    // mainwindow_settings.cpp
    void ReadStoredSettings();
    void WriteStoredSettings();
    void ApplyCommandLine(const QStringList& arguments);
    void KeepOnScreen();
    TWindowPlacement CurrentPlacement() const;
    void ApplyPlacement(const TWindowPlacement& placement);

    // mainwindow_scan.cpp
    void RunScan();
    void ShowProgress(bool on);
    void ServeEvents(bool always = false);
    void FinishScan();

    // mainwindow_list.cpp
    void ListView1ColumnClick(int section);
    void ColumnToggleExecute(QAction* action);
    void SetListColumns(std::vector<TListModel::TColumn> columns, const std::vector<int>& widths);
    void SortFieldExecute(QAction* action);
    void SortDirectionExecute(QAction* action);
    void ActSpaltenExecute();
    void ActUnterordnerExecute();
    void ShowHeaderMenu(const QPoint& pos);
    void SelectRow(int row);
    int FirstSelectedRow() const;
    void ScrollRowIntoView(int row);

    TDialogs& m_dialogs;
    TShell& m_shell;

    // Edit panel state
    TEditFields* m_fields = nullptr;
    TEditPanel* m_panel = nullptr;
    TTagSaver m_saver;
    TSettings m_settings;
    THistory m_history;
    TPlacement m_folderBar = TPlacement::Docked;
    TPlacement m_editPanel = TPlacement::Docked;
    bool m_editTop = false;
    int m_folderBarWidth = 185;
    bool m_saveSettingsOnClose = true;
    int m_sortKey = 1;

    TEntryList m_entries;
    TID3v2Reader m_reader;
    TFileLayer* m_fileLayer = &TFileLayer::Posix(); // the reader's and the saver's
    TGenreLists m_genres;

    // Scan state
    bool m_scanRunning = false;
    bool m_abortRequested = false;
    bool m_rescanPending = false;
    bool m_closePending = false;
    QString m_scannedFolder;
    QString m_selectAfterScan;
    TUnreadableFolders m_unreadable; // of the last scan
    QElapsedTimer m_serveClock;
    bool m_shownOnce = false;
    bool m_closed = false;

    // Widgets, named as the program knows them
    QWidget* PClientBereich = nullptr;
    QSplitter* Splitter1 = nullptr;
    QFrame* Panel1 = nullptr;
    TDirBox* DirBox1 = nullptr;
    QFrame* Panel4P = nullptr;
    QLabel* Panel4 = nullptr;
    QTreeView* ListView1 = nullptr;
    TListModel* m_model = nullptr;
    QFrame* Panel5 = nullptr;
    QWidget* Panel6 = nullptr;
    QWidget* m_listArea = nullptr;
    QWidget* m_folderBarCaption = nullptr;
    QWidget* m_editCorner = nullptr;
    QLabel* m_statusPanel0 = nullptr;
    QLabel* m_statusPanel1 = nullptr;
    QFrame* PWarten = nullptr;
    QLabel* LWarten = nullptr;
    QLabel* LGefunden = nullptr;
    QProgressBar* PBWarten = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QTimer* Timer1 = nullptr;
    QPointer<QWidget> m_splash;
    QMenu* PopListViewHead = nullptr;
    QMenu* PopListView = nullptr;
    QMenu* PopEdit = nullptr;
    QMenu* PopGrossKlein = nullptr;
    QMenu* PopDirZurueck = nullptr;
    QMenu* PopDirVorwaerts = nullptr;

    TCommandTable* m_commands = nullptr;
    std::vector<QAction*> m_columnToggles; // ids 0..8
    std::vector<QAction*> m_sortFields;    // codes 1..8
};

} // namespace km
