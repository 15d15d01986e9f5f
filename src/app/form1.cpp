#include "app/form1.h"

#include "ui/commandtable.h"

#include "help/form4.h"
#include "ui/icons.h"
#include "help/formupdate.h"
#include "model/version.h"
#include "model/cells.h"
#include "browse/dirbox.h"
#include "browse/listmodel.h"
#include "model/sorting.h"
#include "edit/casecommands.h"
#include "edit/editfields.h"
#include "edit/editpanel.h"
#include "edit/template.h"
#include "files/filecommands.h"
#include "export/exportcommands.h"
#include "names/namecommands.h"
#include "platform/dialogs.h"

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
#include <QProgressBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
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
    SetUpListReader(m_reader);
    BuildUi();
    BuildActions();
    BuildMenus();
    BuildToolBars();
    TEditPanelParts parts;
    parts.Fields = m_fields;
    parts.Frame = Panel5;
    parts.List = ListView1;
    parts.Model = m_model;
    parts.Status = m_statusPanel1;
    parts.Popup = PopEdit;
    parts.Genres = &m_genres;
    parts.FillRow = [this](int row) { FillRow(row); };
    parts.Rescan = [this] { ScanFolder(); };
    m_panel = new TEditPanel(parts, m_dialogs, m_saver, *m_commands, this);
    new TCaseCommands(*m_commands, *m_panel, m_dialogs, ListView1, *m_model, this);
    new TTemplate(*m_commands, *m_panel, m_dialogs, ListView1, *m_model, this);
    new TUpdateCommand(*m_commands, m_dialogs, m_shell, this);
    new TInfoCommand(*m_commands, m_shell, this);
    TExportParts exports {this, ListView1, m_model, [this] { return m_scannedFolder; },
        [this] { return m_settings.Unterordner; }, [this] { return DirBox1->Directory(); }};
    new TExportCommands(exports, *m_commands, m_dialogs, m_shell, this);
    TNameToolsParts names {this, ListView1, m_model, parts.FillRow, [this] { m_saveSettingsOnClose = false; }};
    new TNameCommands(names, *m_commands, *m_panel, m_dialogs, m_saver, m_settings, this);
    TFileCommandsParts files {this, ListView1, m_model, [this] { return m_scannedFolder; },
        [this] { return m_settings.Unterordner; }, [this] { ScanFolder(); }};
    new TFileCommands(files, *m_commands, *m_panel, m_dialogs, m_saver, m_settings, this);

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
    m_sortKey = m_settings.Sort;
    m_folderBarWidth = m_settings.BW;
    ApplyCommandLine(arguments);
    ApplyColumnLayout(m_settings.Spalten);
    KeepOnScreen();

    // The start folder is selected without a scan; the first scan comes with the first show.
    DirBox1->SetNotify(false);
    DirBox1->Rebuild();
    DirBox1->SelectPath(m_settings.LastDir);
    DirBox1->SetNotify(true);
    connect(DirBox1, &TDirBox::DirChange, this, &TForm1::DirBox1DirChange);

    connect(qApp, &QApplication::focusChanged, this, &TForm1::FocusChanged);
    connect(ListView1->selectionModel(), &QItemSelectionModel::selectionChanged, m_commands, &TCommandTable::ScheduleRefresh);
    connect(this, &TForm1::ScanFinished, m_commands, &TCommandTable::ScheduleRefresh);
    // Rows that go without a scan (moved or deleted files) leave the count true.
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, [this] {
        if (!m_scanRunning)
            m_statusPanel0->setText(FileCountText(m_model->Count()));
    });
    qApp->installEventFilter(this);
    m_commands->Refresh();
}

TForm1::~TForm1()
{
    // Widgets going away move the focus and the selection; nothing of this window may answer then.
    qApp->removeEventFilter(this);
    disconnect(qApp, nullptr, this, nullptr);
    ListView1->selectionModel()->disconnect(this);
    DirBox1->disconnect(this);
    // The rows point into the entries: let the list forget them first.
    m_model->Clear();
}

void TForm1::SetSplash(QWidget* splash) { m_splash = splash; }

void TForm1::SetFileLayer(TFileLayer& layer)
{
    m_saver.SetFileLayer(layer);
    m_reader.SetFileLayer(layer);
    m_fileLayer = &layer;
}

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
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QHeaderView::sectionClicked, this, &TForm1::ListView1ColumnClick);
    connect(header, &QWidget::customContextMenuRequested, this, &TForm1::ShowHeaderMenu);
    listLayout->addWidget(ListView1, 1);

    Panel5 = new QFrame(m_listArea);
    Panel5->setObjectName(QStringLiteral("Panel5"));
    Panel5->setFrameStyle(QFrame::NoFrame);
    Panel5->setFixedHeight(kEditPanelHeight);
    Panel5->setAutoFillBackground(true);
    auto* editLayout = new QHBoxLayout(Panel5);
    editLayout->setContentsMargins(2, 2, 2, 2);
    m_fields = new TEditFields(Panel5);
    Panel6 = m_fields;
    Panel6->setObjectName(QStringLiteral("Panel6"));
    editLayout->addWidget(Panel6, 1);
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
    connect(Splitter1, &QSplitter::splitterMoved, this, [this] { m_folderBarWidth = Panel1->width(); });

    // Status bar: the file count, the file line; the progress strip lies over the second panel.
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

    PWarten = new QFrame(status);
    PWarten->setObjectName(QStringLiteral("PWarten"));
    PWarten->setAutoFillBackground(true); // it covers the file line
    auto* waitLayout = new QHBoxLayout(PWarten);
    waitLayout->setContentsMargins(2, 0, 2, 0);
    LWarten = new QLabel(PWarten);
    LWarten->setObjectName(QStringLiteral("LWarten"));
    LWarten->setTextFormat(Qt::PlainText);
    LGefunden = new QLabel(PWarten);
    LGefunden->setObjectName(QStringLiteral("LGefunden"));
    PBWarten = new QProgressBar(PWarten);
    PBWarten->setObjectName(QStringLiteral("PBWarten"));
    PBWarten->setTextVisible(false);
    PBWarten->setMaximumHeight(14);
    SpeedButton2 = new QToolButton(PWarten);
    SpeedButton2->setObjectName(QStringLiteral("SpeedButton2"));
    SpeedButton2->setText(QStringLiteral("Abbrechen"));
    SpeedButton2->setAutoRaise(true);
    connect(SpeedButton2, &QToolButton::clicked, this, [this] { m_abortRequested = true; });
    waitLayout->addWidget(LWarten);
    waitLayout->addWidget(LGefunden);
    waitLayout->addWidget(PBWarten, 1);
    waitLayout->addWidget(SpeedButton2);
    PWarten->hide();
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
    ApplySort();
    DirBox1DirChange(DirBox1->Directory());
    m_fields->UpDown2->Associate(m_fields->EJahr);
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (m_closed) {
        event->accept();
        return;
    }
    if (m_scanRunning) {
        // The scan closes the window again when it has stopped.
        m_closePending = true;
        m_abortRequested = true;
        event->ignore();
        return;
    }
    m_closePending = false;
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
        if (m_folderBar == TPlacement::Floating) {
            Panel1->hide();
            m_folderBar = TPlacement::Hidden;
            m_commands->ScheduleRefresh();
            return true;
        }
        if (m_editPanel == TPlacement::Floating) {
            Panel5->hide();
            m_editPanel = TPlacement::Hidden;
            m_commands->ScheduleRefresh();
            return true;
        }
        if (m_scanRunning) {
            m_abortRequested = true;
            return true;
        }
        return false;
    default:
        return false;
    }
}

} // namespace km
