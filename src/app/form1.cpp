#include "app/form1.h"

#include "app/columncommands.h"
#include "app/folderscan.h"
#include "browse/commandcontext.h"
#include "browse/dirbox.h"
#include "browse/filedrops.h"
#include "browse/filelist.h"
#include "browse/listmodel.h"
#include "edit/casecommands.h"
#include "edit/editfields.h"
#include "edit/editpanel.h"
#include "edit/template.h"
#include "export/exportcommands.h"
#include "files/filecommands.h"
#include "help/form4.h"
#include "help/formupdate.h"
#include "model/sorting.h"
#include "model/version.h"
#include "names/namecommands.h"
#include "platform/charset.h"
#include "platform/dialogs.h"
#include "ui/commandtable.h"
#include "ui/icons.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace km {

namespace {
constexpr int kEditPanelHeight = 150;
} // namespace

TForm1::TForm1(TDialogs& dialogs, TShell& shell, const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent)
    , m_dialogs(dialogs)
    , m_shell(shell)
    , m_saver(dialogs)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowIcon(Icons::App());
    resize(FontScaled(707, this), FontScaled(567, this));
    setMinimumHeight(350);
    BuildUi();
    m_commands = new TCommandTable(this);
    TFileList::TScan scan;
    scan.ScannedFolder = [this] { return m_scan->Folder(); };
    scan.Subfolders = [this] { return m_settings.Unterordner; };
    scan.ShownFolder = [this] { return DirBox1->Directory(); };
    scan.Rescan = [this] { ScanFolder(); };
    scan.Running = [this] { return m_scan && m_scan->Running(); };
    m_files = std::make_unique<TFileList>(ListView1, *m_model, std::move(scan));
    m_context = std::make_unique<TCommandContext>(TCommandContext {*m_commands, m_dialogs, m_shell, *m_files, this});
    DefineCommands();
    CreateSubsystems(*m_context);
    BuildMenus();
    BuildToolBars();

    // The splash window goes at the latest 2500 ms after creation began.
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, [this] {
        Timer1->stop();
        if (m_splash)
            m_splash->close();
    });
    Timer1->start(2500);

    setWindowTitle(QStringLiteral("Klangmappe ") + VersionText(kOwnVersion));
    m_settings = DefaultSettings();
    ReadStoredSettings();
    m_saver.SetDatumBeibehalten(m_settings.DatumBeibehalten);
    m_saver.SetID3v2Mitschreiben(m_settings.ID3v2Mitschreiben);
    SetID3v1Charset(CharsetOrDefault(m_settings.ID3v1Zeichensatz.toStdString()));
    m_columns->SetSortKey(m_settings.Sort);
    m_docking->SetFolderBarWidth(m_settings.BW);
    ApplyCommandLine(arguments);
    ApplyColumnLayout(m_settings.Spalten);
    KeepOnScreen();

    // The start folder is selected without a scan; the first scan comes with the first show.
    DirBox1->SetNotify(false);
    DirBox1->Rebuild();
    DirBox1->SelectPath(m_settings.LastDir);
    DirBox1->SetNotify(true);
    connect(DirBox1, &TDirBox::DirChange, this, &TForm1::DirBox1DirChange);

    connect(ListView1->selectionModel(), &QItemSelectionModel::selectionChanged, m_commands, &TCommandTable::ScheduleRefresh);
    connect(m_scan, &TFolderScan::Finished, this, &TForm1::ScanFinished);
    connect(this, &TForm1::ScanFinished, m_commands, &TCommandTable::ScheduleRefresh);
    qApp->installEventFilter(this);
    m_commands->Refresh();
}

void TForm1::CreateSubsystems(const TCommandContext& context)
{
    m_panel = new TEditPanel(context, {m_fields, Panel5, m_statusPanel1, PopEdit, &m_genres}, m_saver);
    m_docking = new TDocking(context, {PClientBereich, Splitter1, Panel1, DirBox1, Panel4P, m_listArea, Panel5, m_fields});
    m_columns = new TColumnCommands(context, *m_panel, PopListViewHead);
    TFolderScanParts scan {statusBar(), Panel4, m_statusPanel0, m_statusPanel1, [this] { return DirBox1->Directory(); },
        [this] { return m_settings.Unterordner; }, [this] { return m_columns->SortKey(); }, [this] {
            const std::vector<int> ids = m_model->ColumnIds();
            return SortCode(m_columns->SortKey()) == ColID3v2 + 1
                || std::find(ids.begin(), ids.end(), int(ColID3v2)) != ids.end();
        }};
    m_scan = new TFolderScan(context, *m_panel, scan);
    // Shown after a scan, the ID3v2 column fills without one.
    m_columns->ID3v2Shown = [this] { m_scan->ReadID3v2Tags(); };
    connect(m_scan, &TFolderScan::ID3v2Read, m_columns, &TColumnCommands::ApplySort);
    new TCaseCommands(context, *m_panel);
    new TTemplate(context, *m_panel);
    new TUpdateCommand(context);
    new TInfoCommand(context);
    new TExportCommands(context);
    auto* names = new TNameCommands(context, *m_panel, m_saver, m_settings);
    names->SettingsReset = [this] { m_saveSettingsOnClose = false; };
    new TFileCommands(context, *m_panel, m_saver, m_settings);
    new TFileDrops(context, *DirBox1, [this](const QStringList& files) { m_scan->SetSelectAfterScan(files); });
}

TForm1::~TForm1()
{
    // Widgets going away move the focus and the selection; nothing of this window may answer then.
    qApp->removeEventFilter(this);
    disconnect(qApp, nullptr, this, nullptr);
    disconnect(qApp, nullptr, m_docking, nullptr);
    ListView1->selectionModel()->disconnect(this);
    DirBox1->disconnect(this);
    // The rows point into the entries: let the list forget them first.
    m_model->Clear();
}

void TForm1::SetSplash(QWidget* splash) { m_splash = splash; }

void TForm1::SetFileLayer(TFileLayer& layer)
{
    m_saver.SetFileLayer(layer);
    m_scan->SetFileLayer(layer);
}

bool TForm1::ScanRunning() const { return m_scan->Running(); }

int TForm1::SortKey() const { return m_columns->SortKey(); }

const TEntryList& TForm1::EntryList() const { return m_scan->Entries(); }

const QStringList& TForm1::SelectAfterScan() const { return m_scan->SelectAfterScan(); }

void TForm1::ScanFolder() { m_scan->Run(); }

void TForm1::ApplyColumnLayout(const std::vector<TColumnPair>& pairs) { m_columns->ApplyLayout(pairs); }

void TForm1::BuildUi()
{
    PClientBereich = new QWidget(this);
    PClientBereich->setObjectName(QStringLiteral("PClientBereich"));
    setCentralWidget(PClientBereich);
    auto* clientLayout = new QHBoxLayout(PClientBereich);
    clientLayout->setContentsMargins(0, 0, 0, 0);

    Splitter1 = new QSplitter(Qt::Horizontal, PClientBereich);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setChildrenCollapsible(false);
    clientLayout->addWidget(Splitter1);

    // Folder bar
    Panel1 = new QFrame(Splitter1);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setAutoFillBackground(true); // it may float over the list
    Panel1->setMinimumWidth(70);
    Panel1->setMaximumWidth(300);
    auto* barLayout = new QVBoxLayout(Panel1);
    barLayout->setContentsMargins(0, 0, 0, 0);
    barLayout->setSpacing(0);
    auto* barCaption = new QFrame(Panel1);
    barCaption->setObjectName(QStringLiteral("Panel2"));
    barCaption->setFrameStyle(QFrame::Panel | QFrame::Raised);
    barCaption->setMinimumHeight(22);
    auto* barCaptionLayout = new QHBoxLayout(barCaption);
    barCaptionLayout->setContentsMargins(4, 0, 1, 0);
    barCaptionLayout->setSpacing(0);
    barCaptionLayout->addWidget(new QLabel(QStringLiteral("Ordner"), barCaption), 1);
    m_folderBarCaption = barCaption;
    barLayout->addWidget(barCaption);
    DirBox1 = new TDirBox(Panel1);
    DirBox1->setObjectName(QStringLiteral("DirBox1"));
    barLayout->addWidget(DirBox1);

    // List side: caption bar, list, edit panel
    m_listArea = new QWidget(Splitter1);
    m_listArea->setObjectName(QStringLiteral("PListe"));
    auto* listLayout = new QVBoxLayout(m_listArea);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->setSpacing(2);

    Panel4P = new QFrame(m_listArea);
    Panel4P->setObjectName(QStringLiteral("Panel4P"));
    Panel4P->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel4P->setMinimumHeight(22);
    auto* captionLayout = new QHBoxLayout(Panel4P);
    captionLayout->setContentsMargins(4, 0, 2, 0);
    Panel4 = new QLabel(QStringLiteral("MP3-Dateien"), Panel4P);
    Panel4->setObjectName(QStringLiteral("Panel4"));
    Panel4->setTextFormat(Qt::PlainText);
    Panel4->setMinimumWidth(10);
    captionLayout->addWidget(Panel4, 1);
    listLayout->addWidget(Panel4P);

    ListView1 = new QTreeView(m_listArea);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setAccessibleName(QStringLiteral("Dateiliste"));
    m_model = new TListModel(this);
    ListView1->setModel(m_model);
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setSortingEnabled(false);
    QHeaderView* header = ListView1->header();
    header->setSectionsMovable(false);
    header->setSectionsClickable(true);
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(kMinColumnWidth);
    listLayout->addWidget(ListView1, 1);

    Panel5 = new QFrame(m_listArea);
    Panel5->setObjectName(QStringLiteral("Panel5"));
    Panel5->setFrameStyle(QFrame::NoFrame);
    Panel5->setFixedHeight(kEditPanelHeight);
    Panel5->setAutoFillBackground(true);
    auto* editLayout = new QHBoxLayout(Panel5);
    editLayout->setContentsMargins(2, 2, 2, 2);
    m_fields = new TEditFields(Panel5);
    m_fields->setObjectName(QStringLiteral("Panel6"));
    editLayout->addWidget(m_fields, 1);
    m_editCorner = new QWidget(Panel5);
    m_editCorner->setObjectName(QStringLiteral("PEcke"));
    auto* cornerLayout = new QVBoxLayout(m_editCorner);
    cornerLayout->setContentsMargins(0, 0, 0, 0);
    cornerLayout->setSpacing(0);
    editLayout->addWidget(m_editCorner, 0, Qt::AlignTop);
    listLayout->addWidget(Panel5);

    Splitter1->addWidget(Panel1);
    Splitter1->addWidget(m_listArea);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({m_settings.BW, 600});

    // Status bar: the file count, the file line; the scan's progress strip lies over the second panel.
    auto* status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("StatusBar1"));
    status->setSizeGripEnabled(true);
    setStatusBar(status);
    m_statusPanel0 = new QLabel(status);
    m_statusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    m_statusPanel0->setFixedWidth(FontScaled(140, this));
    m_statusPanel0->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_statusPanel0->setTextFormat(Qt::PlainText);
    m_statusPanel1 = new QLabel(status);
    m_statusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    m_statusPanel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_statusPanel1->setTextFormat(Qt::PlainText);
    m_statusPanel1->setMinimumWidth(10);
    status->addWidget(m_statusPanel0);
    status->addWidget(m_statusPanel1, 1);

    // Filled with the menus; the edit panel and the header need them before.
    PopEdit = new QMenu(this);
    PopEdit->setObjectName(QStringLiteral("PopEdit"));
    PopListViewHead = new QMenu(this);
    PopListViewHead->setObjectName(QStringLiteral("PopListViewHead"));
}

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    // After the window is on the screen, so the first scan can show its progress.
    QMetaObject::invokeMethod(this, &TForm1::FirstShow, Qt::QueuedConnection);
}

void TForm1::FirstShow()
{
    m_panel->Panel6Resize();
    m_columns->ApplySort();
    DirBox1DirChange(DirBox1->Directory());
    m_fields->UpDown2->Associate(m_fields->EJahr);
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (m_closed) {
        event->accept();
        return;
    }
    // The scan closes the window again when it has stopped.
    if (m_scan->DeferClose()) {
        event->ignore();
        return;
    }
    ListView1->setUpdatesEnabled(false);
    ListView1->selectionModel()->clearSelection();
    m_panel->FlushPendingEdits();
    m_model->Clear();
    ListView1->setUpdatesEnabled(true);
    if (m_saveSettingsOnClose)
        WriteStoredSettings();
    m_closed = true;
    event->accept();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    auto* widget = qobject_cast<QWidget*>(watched);
    switch (event->type()) {
    case QEvent::KeyPress: {
        // Only the first delivery counts, not the ones that pass a key up to the parents.
        const QWidget* focus = QApplication::focusWidget();
        const bool first = !focus || focus == widget || focus->window() != this;
        if (widget && widget->window() == this && first && HandleFormKey(static_cast<QKeyEvent*>(event)))
            return true;
        m_commands->ScheduleRefresh();
        break;
    }
    case QEvent::MouseButtonRelease:
    case QEvent::KeyRelease:
        m_commands->ScheduleRefresh();
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TForm1::HandleFormKey(QKeyEvent* key)
{
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        focusNextChild();
        return true;
    case Qt::Key_Escape:
        if (m_docking->HideFloating())
            return true;
        if (m_scan->Running()) {
            m_scan->Abort();
            return true;
        }
        return false;
    default:
        return false;
    }
}

} // namespace km
