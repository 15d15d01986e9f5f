#include "app/folderscan.h"

#include "browse/commandcontext.h"
#include "browse/filelist.h"
#include "browse/listmodel.h"
#include "edit/editpanel.h"
#include "model/cells.h"
#include "model/id3v2reads.h"
#include "model/readahead.h"
#include "platform/dialogs.h"
#include "platform/paths.h"
#include "ui/commandtable.h"

#include <QCoreApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QProgressBar>
#include <QSet>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <exception>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace km {

namespace {
const QString kCancelled = QStringLiteral(" (Abgebrochen!)");
} // namespace

TFolderScan::TFolderScan(const TCommandContext& context, TEditPanel& panel, const TFolderScanParts& parts)
    : QObject(context.Window)
    , m_commands(context.Commands)
    , m_dialogs(context.Dialogs)
    , m_files(context.Files)
    , m_window(context.Window)
    , m_panel(panel)
    , m_parts(parts)
{
    SetUpListReader(m_reader);

    PWarten = new QFrame(parts.StatusBar);
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

    // Rows that go without a scan (moved or deleted files) leave the count true.
    connect(&m_files.Model(), &QAbstractItemModel::rowsRemoved, this, [this] {
        if (!m_running)
            m_parts.Count->setText(FileCountText(m_files.Model().Count()));
    });
}

void TFolderScan::SetFileLayer(TFileLayer& layer)
{
    m_reader.SetFileLayer(layer);
    m_fileLayer = &layer;
}

bool TFolderScan::DeferClose()
{
    if (!m_running) {
        m_closePending = false;
        return false;
    }
    m_closePending = true;
    m_abortRequested = true;
    return true;
}

void TFolderScan::ServeEvents(bool always)
{
    // A turn of the event loop costs more than reading a small file; a few
    // milliseconds between turns keep the window just as responsive.
    if (!always && m_serveClock.isValid() && m_serveClock.elapsed() < 4)
        return;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    m_serveClock.start();
}

void TFolderScan::ShowProgress(bool on)
{
    if (on) {
        m_parts.FileLine->setFrameStyle(QFrame::NoFrame);
        const int left = m_parts.Count->width() + 2;
        QStatusBar* bar = m_parts.StatusBar;
        PWarten->setGeometry(left, 2, std::max(50, bar->width() - left - 24), bar->height() - 4);
        PBWarten->hide();
        LGefunden->setText(QStringLiteral("0 gefunden"));
        LGefunden->show();
        LWarten->setText(QStringLiteral("Suche Mp3-Dateien..."));
        PWarten->show();
        PWarten->raise();
    } else {
        PWarten->hide();
        m_parts.FileLine->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    }
}

void TFolderScan::Run()
{
    if (m_running) {
        // The running scan stops at its next check and starts again.
        m_rescanPending = true;
        m_abortRequested = true;
        return;
    }
    m_running = true;
    m_commands.Refresh();
    m_abortRequested = false;
    m_unreadable = {};
    QString error;
    try {
        Read();
    } catch (const std::exception& e) {
        // The finish below must run whatever stopped the scan.
        error = QString::fromUtf8(e.what());
    }
    Finish();
    m_running = false;
    emit Finished();
    // Shown before a pending close or rescan can take the window away.
    if (!error.isEmpty())
        m_dialogs.ShowError(error);
    // Only for a list that stands: not after a cancel, nor before a rescan or close.
    if (m_unreadable.Count() > 0 && !m_abortRequested && !m_rescanPending && !m_closePending) {
        QString first = Shown(m_unreadable.First());
        if (first.size() > 1 && first.endsWith(QLatin1Char('/')))
            first.chop(1);
        const std::string text = TUnreadableFolders::Message(m_unreadable.Count(), first.toStdString());
        m_dialogs.Message(QString::fromStdString(text), TDialogs::Kind::Warning, TDialogs::Ok);
    }
    AfterRun();
}

// What was asked for while the list was busy.
void TFolderScan::AfterRun()
{
    if (m_rescanPending) {
        m_rescanPending = false;
        Run();
    }
    if (m_closePending) {
        // A window the close took off the screen already is no last window
        // closing: the application is told to end itself.
        const bool hidden = m_window->isHidden();
        if (m_window->close() && hidden && QGuiApplication::quitOnLastWindowClosed())
            QCoreApplication::quit();
        return;
    }
    if (m_id3v2Pending && !m_running) {
        m_id3v2Pending = false;
        ReadID3v2Tags();
    }
}

void TFolderScan::ReadID3v2Tags()
{
    if (m_running) {
        m_id3v2Pending = true;
        return;
    }
    // The threads read what the rows hold now; the rows stay editable meanwhile.
    std::vector<TEintragDaten*> unread;
    std::vector<TID3v2Request> requests;
    for (const auto& entry : m_entries) {
        if (!entry->ID3v2Known) {
            unread.push_back(entry.get());
            requests.emplace_back(*entry);
        }
    }
    if (unread.empty())
        return;
    // As a scan: another scan or a close waits until the entries are read.
    m_running = true;
    m_abortRequested = false;
    m_commands.Refresh();
    ShowProgress(true);
    LGefunden->hide();
    PBWarten->setValue(0);
    PBWarten->setMaximum(static_cast<int>(unread.size()));
    PBWarten->show();
    LWarten->setText(QStringLiteral("Lese Titelinformationen..."));
    bool stale = false;
    {
        const int workers = m_fileLayer->ManyThreads() ? std::max(1, ScanWorkers()) : 0;
        TID3v2Reads reads(std::move(requests), *m_fileLayer, workers,
            [this] { QMetaObject::invokeMethod(this, [] {}, Qt::QueuedConnection); });
        // Wakes the loop should a wake come before it waits.
        QTimer tick;
        tick.start(25);
        for (std::size_t k = 0; k < unread.size() && !m_abortRequested;) {
            const TID3v2Finding finding = reads.TryGet(k);
            if (finding.State == TID3v2Finding::Pending) {
                WaitServing();
                HideForClose(); // a read may hang on a share gone away
                continue;
            }
            // A file that cannot be read shows empty, as one without a tag;
            // the next scan tells what is wrong.
            if (!ApplyID3v2Finding(reads.Request(k), finding, *unread[k]) && finding.State == TID3v2Finding::Read)
                stale = true; // written meanwhile
            ++k;
            PBWarten->setValue(static_cast<int>(k));
            ServeEvents();
        }
        LetStop(reads);
    }
    ShowProgress(false);
    m_running = false;
    m_files.Model().FillAllRows();
    emit ID3v2Read();
    // Rows written during the read are read again as they are now.
    if (stale && !m_abortRequested && !m_rescanPending && !m_closePending)
        m_id3v2Pending = true;
    AfterRun();
}

void TFolderScan::WaitServing()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    m_serveClock.start();
}

bool TFolderScan::Collect(int& found)
{
    // What the walk's thread hands over; read here only after a wake or the join.
    struct TShared {
        std::atomic<int> Found {0};
        std::atomic<bool> Done {false};
        std::mutex Mutex;
        std::vector<std::pair<std::string, int>> Unreadable;
    } shared;
    TCollectProgress progress;
    progress.FoundChanged = [&shared](int n) { shared.Found.store(n, std::memory_order_relaxed); };
    progress.AbortRequested = [this] { return m_abortRequested.load(); };
    progress.Unreadable = [&shared](const std::string& folder, int err) {
        const std::lock_guard lock(shared.Mutex);
        shared.Unreadable.emplace_back(folder, err);
    };
    bool completed = false;
    std::exception_ptr error;
    const std::string folder = OnDisk(m_folder);
    const bool subfolders = m_parts.Subfolders();
    // Joined however this returns.
    std::jthread walk([&] {
        try {
            completed = CollectFiles(folder, subfolders, m_entries, progress, found, *m_fileLayer);
        } catch (...) {
            error = std::current_exception();
        }
        shared.Done = true;
        QMetaObject::invokeMethod(this, [] {}, Qt::QueuedConnection);
    });
    // The count shows as it grows, a few times a second.
    QTimer tick;
    tick.start(50);
    int shown = 0;
    while (!shared.Done) {
        WaitServing();
        HideForClose(); // the walk may hang on a share gone away
        if (const int now = shared.Found.load(std::memory_order_relaxed); now != shown) {
            shown = now;
            LGefunden->setText(QStringLiteral("%1 gefunden").arg(now));
        }
    }
    walk.join();
    for (const auto& [path, err] : shared.Unreadable)
        m_unreadable.Add(path, err);
    if (error)
        std::rethrow_exception(error);
    LGefunden->setText(QStringLiteral("%1 gefunden").arg(found));
    return completed;
}

bool TFolderScan::Cancelled()
{
    if (m_abortRequested) {
        m_parts.Caption->setText(m_parts.Caption->text() + kCancelled);
        HideForClose(); // a read may hang on a share gone away
    }
    return m_abortRequested;
}

void TFolderScan::HideForClose()
{
    // A close waits for the scan to stop, but not on the screen.
    if (m_abortRequested && m_closePending)
        m_window->hide();
}

template <typename Workers>
void TFolderScan::LetStop(Workers& workers)
{
    // A read that hangs keeps its thread, not the window: the workers are
    // waited for serving, and a close meanwhile takes the window off the screen.
    workers.RequestStop();
    while (!workers.Stopped()) {
        WaitServing();
        HideForClose();
    }
}

bool TFolderScan::ReadEntries(TReadAhead& ahead)
{
    TListModel& model = m_files.Model();
    const int sortKey = m_parts.SortKey();
    for (std::size_t k = 0; k < m_entries.size(); ++k) {
        TEintragDaten* next = ahead.TryNext();
        while (!next) {
            WaitServing();
            if (Cancelled())
                return false;
            next = ahead.TryNext();
        }
        TEintragDaten& entry = *next;
        entry.InSelection = 0;
        model.InsertSorted(&entry, TListModel::FileIcon, sortKey);
        ServeEvents();
        if (Cancelled())
            return false;
        PBWarten->setValue(static_cast<int>(k + 1));
    }
    return true;
}

void TFolderScan::Read()
{
    m_folder = m_parts.Folder();
    ShowProgress(true);
    int found = 0;
    QString caption = QStringLiteral("MP3-Dateien in ") + m_folder;
    if (m_parts.Subfolders())
        caption += QStringLiteral(" (mit Unterordnern)");
    m_parts.Caption->setText(caption);
    ServeEvents(true);

    // Whatever the panel holds reaches the files before the entries go.
    QTreeView* view = m_files.View();
    TListModel& model = m_files.Model();
    view->selectionModel()->clearSelection();
    m_panel.FlushPendingEdits();
    // A large list goes in slices, with the window served in between.
    const std::function<void()> serve = [this] { ServeEvents(); };
    model.Clear(serve);
    TEntryList old;
    old.swap(m_entries);
    FreeInSlices(old, serve);
    model.BeginBatch();

    RefreshLocalZone();
    if (!Collect(found)) {
        m_parts.Caption->setText(m_parts.Caption->text() + kCancelled);
        return;
    }
    ServeEvents(true);
    if (Cancelled())
        return;

    view->setEnabled(!m_entries.empty());
    PBWarten->setValue(0);
    PBWarten->setMaximum(static_cast<int>(m_entries.size()));
    PBWarten->show();
    LGefunden->hide();
    LWarten->setText(QStringLiteral("Lese Titelinformationen..."));

    m_reader.ReadFields = m_parts.WantsID3v2 && m_parts.WantsID3v2();
    // The readers wake the window when a batch is read; it never waits for a file itself.
    TReadAhead ahead(m_entries, m_reader, m_fileLayer->ManyThreads() ? ScanWorkers() : 0,
        TReadAhead::kWindow, [this] { QMetaObject::invokeMethod(this, [] {}, Qt::QueuedConnection); });
    bool read = false;
    try {
        read = ReadEntries(ahead);
    } catch (...) {
        LetStop(ahead);
        throw;
    }
    LetStop(ahead);
    if (!read)
        return;

    model.EndBatch(serve);
    if (!m_selectAfterScan.isEmpty()) {
        SelectRows(m_selectAfterScan);
        m_selectAfterScan.clear();
    }
}

void TFolderScan::Finish()
{
    ShowProgress(false);
    TListModel& model = m_files.Model();
    model.EndBatch();
    const int rows = model.Count();
    if (rows > 0 && m_files.FirstSelectedRow() < 0)
        SelectRow(0);
    if (const int selected = m_files.FirstSelectedRow(); selected >= 0)
        m_files.View()->scrollTo(model.index(selected, 0), QAbstractItemView::EnsureVisible);
    m_parts.Count->setText(FileCountText(rows));
}

void TFolderScan::SelectRows(const QStringList& paths)
{
    const TListModel& model = m_files.Model();
    // Many files dropped on a large folder: each row is looked up, not compared with every file.
    const QSet<QString> wanted(paths.begin(), paths.end());
    QItemSelection selection;
    int first = -1;
    for (int row = 0; row < model.Count(); ++row) {
        if (!wanted.contains(Shown(model.Entry(row)->FullPath())))
            continue;
        selection.select(model.index(row, 0), model.index(row, model.columnCount() - 1));
        if (first < 0)
            first = row;
    }
    if (first < 0)
        return;
    QItemSelectionModel* selected = m_files.View()->selectionModel();
    selected->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    selected->setCurrentIndex(model.index(first, 0), QItemSelectionModel::NoUpdate);
}

void TFolderScan::SelectRow(int row)
{
    m_files.View()->selectionModel()->setCurrentIndex(
        m_files.Model().index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

} // namespace km
