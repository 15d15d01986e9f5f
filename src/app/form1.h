#pragma once

#include "app/docking.h"
#include "browse/listmodel.h"
#include "edit/tagsaver.h"
#include "model/entry.h"
#include "model/history.h"
#include "model/settings.h"
#include "tags/genres.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

class QFrame;
class QLabel;
class QMenu;
class QSplitter;
class QTimer;
class QTreeView;

namespace km {

struct TCommandContext;
class TColumnCommands;
class TCommandTable;
class TDialogs;
class TDirBox;
class TEditFields;
class TEditPanel;
class TFileList;
class TFolderScan;
class TShell;

// The main window: it builds the widgets, creates every subsystem with the
// commands it owns and routes between them, lays out the menus and tool
// bars, and keeps the lifecycle and the settings. form1.cpp holds creation
// and closing, form1_commands.cpp the window's own commands and the menu and
// tool bar layout, form1_navigation.cpp the folder history and the next and
// previous row, form1_settings.cpp the settings and the window placement. The
// scan, the docking and the column and sort commands are classes of their own.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    using TPlacement = TDocking::TPlacement;

    // `arguments`: the command line without the program name.
    TForm1(TDialogs& dialogs, TShell& shell, const QStringList& arguments, QWidget* parent = nullptr);
    ~TForm1() override;

    // Closes the splash window when the start timer fires.
    void SetSplash(QWidget* splash);

    // State the tests look at.
    bool ScanRunning() const;
    int SortKey() const;
    bool Unterordner() const { return m_settings.Unterordner; }
    const TEntryList& EntryList() const;
    TListModel& Model() const { return *m_model; }
    const QStringList& SelectAfterScan() const;
    // Cleared by the settings reset, so that the next start takes the defaults.
    void SetSaveSettingsOnClose(bool on) { m_saveSettingsOnClose = on; }
    TPlacement FolderBarState() const { return m_docking->FolderBar(); }
    TPlacement EditPanelState() const { return m_docking->EditPanel(); }
    bool EditPanelTop() const { return m_docking->EditPanelTop(); }

    void ScanFolder();
    void DirBox1DirChange(const QString& folder);
    void ApplyColumnLayout(const std::vector<TColumnPair>& pairs);
    void GoHistory(int steps);

    TCommandTable& Commands() const { return *m_commands; }
    const THistory& History() const { return m_history; }
    TTagSaver& Saver() { return m_saver; }
    TEditPanel& Panel() const { return *m_panel; }
    // Tests make file access fail.
    void SetFileLayer(TFileLayer& layer);

signals:
    void ScanFinished();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // form1.cpp
    void BuildUi();
    void CreateSubsystems(const TCommandContext& context);
    void FirstShow();
    bool HandleFormKey(QKeyEvent* key);

    // form1_commands.cpp
    void DefineCommands();
    void BuildMenus();
    void BuildToolBars();
    void FillHistoryMenu(QMenu* menu, bool back);

    // form1_navigation.cpp
    void AddHistory(const QString& folder);
    void ActAufwaertsExecute();
    void StepRow(int delta);

    // form1_settings.cpp
    void ReadStoredSettings();
    void WriteStoredSettings();
    void ApplyCommandLine(const QStringList& arguments);
    void KeepOnScreen();
    TWindowPlacement CurrentPlacement() const;
    void ApplyPlacement(const TWindowPlacement& placement);

    TDialogs& m_dialogs;
    TShell& m_shell;
    TTagSaver m_saver;
    TSettings m_settings;
    THistory m_history;
    TGenreLists m_genres;
    bool m_saveSettingsOnClose = true;
    // As read at the start: where the compositor places windows, its position is stored again.
    std::optional<TWindowPlacement> m_placementRead;
    bool m_shownOnce = false;
    bool m_closed = false;

    // The subsystems' view of the list and of the window; the parts the window routes between.
    std::unique_ptr<TFileList> m_files;
    std::unique_ptr<TCommandContext> m_context;
    TCommandTable* m_commands = nullptr;
    TEditPanel* m_panel = nullptr;
    TFolderScan* m_scan = nullptr;
    TDocking* m_docking = nullptr;
    TColumnCommands* m_columns = nullptr;

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
    TEditFields* m_fields = nullptr;
    QWidget* m_listArea = nullptr;
    QWidget* m_folderBarCaption = nullptr;
    QWidget* m_editCorner = nullptr;
    QLabel* m_statusPanel0 = nullptr;
    QLabel* m_statusPanel1 = nullptr;
    QTimer* Timer1 = nullptr;
    QPointer<QWidget> m_splash;
    QMenu* PopListViewHead = nullptr;
    QMenu* PopListView = nullptr;
    QMenu* PopEdit = nullptr;
    QMenu* PopGrossKlein = nullptr;
    QMenu* PopDirZurueck = nullptr;
    QMenu* PopDirVorwaerts = nullptr;
};

} // namespace km
