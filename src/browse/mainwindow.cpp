#include "browse/mainwindow.h"

#include "app/icons.h"
#include "browse/dirbox.h"
#include "browse/listmodel.h"
#include "browse/sorting.h"
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
constexpr int kMajorVersion = 2;
constexpr int kMinorVersion = 6;
constexpr int kEditPanelHeight = 150;
} // namespace

TForm1::TForm1(TDialogs& dialogs, const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent)
    , m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowIcon(Icons::App());
    resize(707, 567);
    setMinimumHeight(350);
    SetUpListReader(m_reader);
    BuildUi();
    BuildActions();
    BuildMenus();

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

    setWindowTitle(QStringLiteral("Klangmappe %1.%2").arg(kMajorVersion).arg(kMinorVersion, 2, 10, QLatin1Char('0')));
    m_settings = DefaultSettings();
    ReadStoredSettings();
    m_sortKey = m_settings.Sort;
    ApplyCommandLine(arguments);
    ApplyColumnLayout(m_settings.Spalten);
    KeepOnScreen();

    // The start folder is selected without a scan; the first scan comes with the first show.
    DirBox1->SetNotify(false);
    DirBox1->Rebuild();
    DirBox1->SelectPath(m_settings.LastDir);
    DirBox1->SetNotify(true);
    connect(DirBox1, &TDirBox::DirChange, this, &TForm1::DirBox1DirChange);

    qApp->installEventFilter(this);
}

TForm1::~TForm1()
{
    qApp->removeEventFilter(this);
    // The rows point into the entries: let the list forget them first.
    m_model->Clear();
}

void TForm1::SetSplash(QWidget* splash) { m_splash = splash; }

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
    Panel1->setMinimumWidth(70);
    Panel1->setMaximumWidth(300);
    auto* barLayout = new QVBoxLayout(Panel1);
    barLayout->setContentsMargins(0, 0, 0, 0);
    barLayout->setSpacing(0);
    auto* barCaption = new QLabel(QStringLiteral(" Ordner"), Panel1);
    barCaption->setObjectName(QStringLiteral("Panel2"));
    barCaption->setFrameStyle(QFrame::Panel | QFrame::Raised);
    barCaption->setMinimumHeight(22);
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
    Panel5->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    Panel5->setFixedHeight(kEditPanelHeight);
    auto* editLayout = new QVBoxLayout(Panel5);
    editLayout->setContentsMargins(0, 0, 0, 0);
    Panel6 = new QWidget(Panel5);
    Panel6->setObjectName(QStringLiteral("Panel6"));
    editLayout->addWidget(Panel6);
    listLayout->addWidget(Panel5);

    Splitter1->addWidget(Panel1);
    Splitter1->addWidget(m_listArea);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({m_settings.BW, 600});

    // Status bar: the file count, the file line; the progress strip lies over the second panel.
    auto* status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("StatusBar1"));
    status->setSizeGripEnabled(true);
    setStatusBar(status);
    m_statusPanel0 = new QLabel(status);
    m_statusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    m_statusPanel0->setFixedWidth(140);
    m_statusPanel0->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_statusPanel1 = new QLabel(status);
    m_statusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    m_statusPanel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_statusPanel1->setMinimumWidth(10);
    status->addWidget(m_statusPanel0);
    status->addWidget(m_statusPanel1, 1);

    PWarten = new QFrame(status);
    PWarten->setObjectName(QStringLiteral("PWarten"));
    auto* waitLayout = new QHBoxLayout(PWarten);
    waitLayout->setContentsMargins(2, 0, 2, 0);
    LWarten = new QLabel(PWarten);
    LWarten->setObjectName(QStringLiteral("LWarten"));
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

    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setSingleShot(true);
    m_refreshTimer->setInterval(0);
    connect(m_refreshTimer, &QTimer::timeout, this, &TForm1::RefreshActions);
}

QAction* TForm1::MakeAction(const char* name, const char* category, const QString& caption, const QString& hint,
    const QKeySequence& shortcut)
{
    auto* action = new QAction(caption, this);
    action->setObjectName(QLatin1String(name));
    action->setProperty("category", QLatin1String(category));
    if (!hint.isEmpty()) {
        action->setToolTip(hint);
        action->setStatusTip(hint);
    }
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::WindowShortcut);
    }
    addAction(action);
    m_actions[QLatin1String(name)] = action;
    return action;
}

void TForm1::BuildActions()
{
    ActAktuallisiern = MakeAction("ActAktuallisiern", "Ansicht", QStringLiteral("&Aktuallisiern"),
        QStringLiteral("Aktuallisiern"), QKeySequence(Qt::Key_F5));
    connect(ActAktuallisiern, &QAction::triggered, this, &TForm1::ScanFolder);
    ActUnterordner = MakeAction("ActUnterordner", "Ansicht", QStringLiteral("&Unterordner miteinbeziehen"),
        QStringLiteral("Unterordner miteinbeziehen"));
    ActUnterordner->setCheckable(true);
    connect(ActUnterordner, &QAction::triggered, this, &TForm1::ActUnterordnerExecute);
    ActSpalten = MakeAction("ActSpalten", "Ansicht", QStringLiteral("&Spalten..."));
    connect(ActSpalten, &QAction::triggered, this, &TForm1::ActSpaltenExecute);
    ActSpalten2 = MakeAction("ActSpalten2", "Spalten", QStringLiteral("&Mehr..."));
    connect(ActSpalten2, &QAction::triggered, this, &TForm1::ActSpaltenExecute);

    const char* toggleNames[] = {"ActSpalteDateiname", "ActSpalteTitel", "ActSpalteInterpret", "ActSpalteAlbum",
        "ActSpalteTitelNr", "ActSpalteJahr", "ActSpalteBemerkung", "ActSpalteMusikrichtung", "ActSpalteOrdner"};
    const char* fieldCaptions[] = {"&Dateiname", "&Titel", "&Interpret", "&Album", "Titel&nummer", "&Jahr",
        "&Bemerkung", "&Musikrichtung", "&Ordner"};
    for (int id = 0; id < 9; ++id) {
        QAction* a = MakeAction(toggleNames[id], "Spalten", QString::fromUtf8(fieldCaptions[id]));
        a->setCheckable(true);
        a->setData(id);
        connect(a, &QAction::triggered, this, [this, a] { ColumnToggleExecute(a); });
        m_columnToggles.push_back(a);
    }
    const char* sortNames[] = {"SortDateiname", "SortTitel", "sortInterpret", "SortAlbum", "SortTitelNr", "SortJahr",
        "SortBemerkung", "SortMusikrichtung"};
    for (int code = 1; code <= 8; ++code) {
        QAction* a = MakeAction(sortNames[code - 1], "Sortierung", QString::fromUtf8(fieldCaptions[code - 1]));
        a->setCheckable(true);
        a->setData(code);
        connect(a, &QAction::triggered, this, [this, a] { SortFieldExecute(a); });
        m_sortFields.push_back(a);
    }
    SortAufsteigend = MakeAction("SortAufsteigend", "Sortierung", QStringLiteral("Au&fsteigend"));
    SortAufsteigend->setData(1);
    SortAbsteigend = MakeAction("SortAbsteigend", "Sortierung", QStringLiteral("A&bsteigend"));
    SortAbsteigend->setData(-1);
    for (QAction* a : {SortAufsteigend, SortAbsteigend}) {
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, a] { SortDirectionExecute(a); });
    }
    ActBeenden = MakeAction("ActBeenden", "Datei", QStringLiteral("&Beenden"));
    connect(ActBeenden, &QAction::triggered, this, &QWidget::close);
}

void TForm1::BuildMenus()
{
    QMenuBar* bar = menuBar();
    QMenu* datei = bar->addMenu(QStringLiteral("&Datei"));
    datei->addAction(ActBeenden);
    QMenu* ansicht = bar->addMenu(QStringLiteral("&Ansicht"));
    ansicht->addAction(ActAktuallisiern);
    ansicht->addAction(ActUnterordner);
    ansicht->addSeparator();
    ansicht->addAction(ActSpalten);
    QMenu* sort = ansicht->addMenu(QStringLiteral("&Sortieren nach"));
    for (QAction* a : m_sortFields)
        sort->addAction(a);
    sort->addSeparator();
    sort->addAction(SortAufsteigend);
    sort->addAction(SortAbsteigend);
    for (QMenu* m : {datei, ansicht, sort})
        connect(m, &QMenu::aboutToShow, this, &TForm1::RefreshActions);

    PopListViewHead = new QMenu(this);
    PopListViewHead->setObjectName(QStringLiteral("PopListViewHead"));
    for (QAction* a : m_columnToggles)
        PopListViewHead->addAction(a);
    PopListViewHead->addSeparator();
    PopListViewHead->addAction(ActSpalten2);
    connect(PopListViewHead, &QMenu::aboutToShow, this, &TForm1::RefreshActions);
}

void TForm1::RefreshActions()
{
    const std::vector<int> ids = m_model->ColumnIds();
    for (QAction* a : m_columnToggles)
        a->setChecked(std::find(ids.begin(), ids.end(), a->data().toInt()) != ids.end());
    const int code = SortCode(m_sortKey);
    for (QAction* a : m_sortFields)
        a->setChecked(a->data().toInt() == code);
    SortAufsteigend->setChecked(m_sortKey > 0);
    SortAbsteigend->setChecked(m_sortKey < 0);
    ActUnterordner->setChecked(m_settings.Unterordner);
}

void TForm1::ScheduleRefresh()
{
    if (!m_refreshTimer->isActive())
        m_refreshTimer->start();
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
    ApplySort();
    DirBox1DirChange(DirBox1->Directory());
}

void TForm1::SetEditPanelTop(bool top)
{
    auto* layout = static_cast<QVBoxLayout*>(m_listArea->layout());
    layout->removeWidget(Panel5);
    layout->insertWidget(top ? 1 : 2, Panel5);
}

void TForm1::StorePendingEdits()
{
    // The edit panel stores its fields into the entries here, once it exists.
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
    StorePendingEdits();
    m_model->Clear();
    ListView1->setUpdatesEnabled(true);
    if (m_saveSettingsOnClose)
        WriteStoredSettings();
    m_closed = true;
    event->accept();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto* widget = qobject_cast<QWidget*>(watched);
        // Only the first delivery counts, not the ones that pass a key up to the parents.
        const QWidget* focus = QApplication::focusWidget();
        const bool first = !focus || focus == widget || focus->window() != this;
        if (widget && widget->window() == this && first && HandleFormKey(static_cast<QKeyEvent*>(event)))
            return true;
        ScheduleRefresh();
        break;
    }
    case QEvent::MouseButtonRelease:
    case QEvent::KeyRelease:
        ScheduleRefresh();
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
