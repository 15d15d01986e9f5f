#pragma once

#include "browse/entry.h"
#include "browse/history.h"
#include "browse/listmodel.h"
#include "edit/tagsaver.h"
#include "tags/writer.h"
#include "browse/settings.h"
#include "tags/genres.h"
#include "tags/id3v2reader.h"

#include <QDate>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <array>
#include <functional>
#include <map>

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
class TEditFields;
class TListModel;
class TShell;

// The main window: owns the entries, the list, the folder tree and the
// settings, and dispatches the commands. Each concern lives in its own file:
// mainwindow.cpp (creation, layout, closing), mainwindow_settings.cpp,
// mainwindow_scan.cpp, mainwindow_list.cpp (columns and sorting),
// mainwindow_commands.cpp (the command table, menus and tool bars),
// mainwindow_navigation.cpp and mainwindow_layout.cpp; the edit panel and
// undo in edit/mainwindow_edit.cpp and edit/mainwindow_undo.cpp.
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
    TID3v2Reader& Reader() { return m_reader; }
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

    // The save sequence: writes `newTag` into the entry's file when it differs,
    // records it for undo and refreshes the entry and its row. False when
    // nothing was written because the write failed.
    bool SaveTag(int row, const TID3v1Tag& newTag);
    // The edit panel stores what it holds into the entries it loaded, then
    // loads the rows now selected.
    void ListView1SelectItem();
    TTagSaver& Saver() { return m_saver; }
    // Tests make file access fail, and fix the date the J key puts in.
    void SetFileLayer(TFileLayer& layer);
    void SetToday(std::function<QDate()> today) { m_today = std::move(today); }
    // Field flags in this order.
    enum TFlag { FlagTitel, FlagInterpret, FlagAlbum, FlagJahr, FlagBemerkung, FlagTitelnr, FlagMusikrichtung };
    const std::array<bool, 7>& ApplyFlags() const { return m_applyFlags; }

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

    // edit/mainwindow_edit.cpp
    void BuildEditPanel();
    void StorePanel(int row);
    void ClearPanel(bool asEdit);
    void EnablePanel(bool on);
    void FeldFarbenAktuallisieren();
    void ETitelChange(QWidget* sender);
    void ETitelEnter(QWidget* sender);
    void ETitelExit(QWidget* sender);
    void EJahrExit();
    void ETitelnrExit();
    bool EJahrKeyPress(QKeyEvent* key);
    void ETitelContextPopup(QWidget* field, const QPoint& globalPos);
    void Panel6Resize();
    bool EditFieldEvent(QWidget* field, QEvent* event);
    QString ShownText(int flag) const;
    bool IsEditField(const QWidget* widget) const;
    QWidget* CommandFocus() const;
    void ReportTooSmall();
    void EditSelectAll1Execute();
    void EditCommandExecute(const QString& name);
    void EditCommandsUpdate();

    // edit/mainwindow_undo.cpp
    bool HasUnsavedEdits() const;
    void RestoreLoadedPanel();
    void ActRueckgaengigExecute();
    void ActRueckgaengigUpdate();

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
    std::function<QDate()> m_today = [] { return QDate::currentDate(); };

    // Edit panel state
    TEditFields* m_fields = nullptr;
    std::array<bool, 7> m_applyFlags {true, true, true, true, true, true, true};
    std::array<bool, 7> m_applyFlagsAtLoad {true, true, true, true, true, true, true};
    TID3v1Tag m_shownTag = EmptyTag();
    // Set only by the user's own edits of the genre box: without one the
    // entries keep their genre bytes, also those without a name.
    bool m_genreEdited = false;
    bool m_filling = false;
    // Files a store found too small to hold a tag, told in one message.
    QStringList m_tooSmall;
    // The widget that had the focus before a menu took it for the keyboard.
    QPointer<QWidget> m_commandFocus;
    bool m_selectionGuard = false; // the list changes its columns: the selection is only put back
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
    TGenreLists m_genres;

    // Scan state
    bool m_scanRunning = false;
    bool m_abortRequested = false;
    bool m_rescanPending = false;
    bool m_closePending = false;
    QString m_scannedFolder;
    QString m_selectAfterScan;
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
