// The folder scan on screen: progress, cancel, re-entry and the finish.
#include "app/form1.h"

#include "ui/commandtable.h"
#include "edit/editpanel.h"

#include "model/cells.h"
#include "model/collect.h"
#include "browse/dirbox.h"
#include "browse/listmodel.h"
#include "model/readahead.h"
#include "platform/dialogs.h"

#include <QCoreApplication>
#include <QFile>
#include <QFrame>
#include <QItemSelectionModel>
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>
#include <QTreeView>

namespace km {

namespace {
const QString kCancelled = QStringLiteral(" (Abgebrochen!)");
}

void TForm1::ServeEvents(bool always)
{
    // A turn of the event loop costs more than reading a small file; a few
    // milliseconds between turns keep the window just as responsive.
    if (!always && m_serveClock.isValid() && m_serveClock.elapsed() < 4)
        return;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    m_serveClock.start();
}

void TForm1::ShowProgress(bool on)
{
    if (on) {
        m_statusPanel1->setFrameStyle(QFrame::NoFrame);
        const int left = m_statusPanel0->width() + 2;
        PWarten->setGeometry(left, 2, std::max(50, statusBar()->width() - left - 24), statusBar()->height() - 4);
        PBWarten->hide();
        LGefunden->setText(QStringLiteral("0 gefunden"));
        LGefunden->show();
        LWarten->setText(QStringLiteral("Suche Mp3-Dateien..."));
        PWarten->show();
        PWarten->raise();
    } else {
        PWarten->hide();
        m_statusPanel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    }
}

void TForm1::ScanFolder()
{
    if (m_scanRunning) {
        // The running scan stops at its next check and starts again.
        m_rescanPending = true;
        m_abortRequested = true;
        return;
    }
    m_scanRunning = true;
    m_commands->Refresh();
    m_abortRequested = false;
    m_unreadable = {};
    QString error;
    try {
        RunScan();
    } catch (const std::exception& e) {
        // The finish below must run whatever stopped the scan.
        error = QString::fromUtf8(e.what());
    }
    FinishScan();
    m_scanRunning = false;
    emit ScanFinished();
    // Shown before a pending close or rescan can take the window away.
    if (!error.isEmpty())
        m_dialogs.ShowError(error);
    // Only for a list that stands: not after a cancel, nor before a rescan or close.
    if (m_unreadable.Count() > 0 && !m_abortRequested && !m_rescanPending && !m_closePending) {
        QString first = QFile::decodeName(QByteArray::fromStdString(m_unreadable.First()));
        if (first.size() > 1 && first.endsWith(QLatin1Char('/')))
            first.chop(1);
        const std::string text = TUnreadableFolders::Message(m_unreadable.Count(), first.toStdString());
        m_dialogs.Message(QString::fromStdString(text), TDialogs::Kind::Warning, TDialogs::Ok);
    }
    if (m_rescanPending) {
        m_rescanPending = false;
        ScanFolder();
    }
    if (m_closePending)
        close();
}

void TForm1::RunScan()
{
    m_scannedFolder = DirBox1->Directory();
    ShowProgress(true);
    int found = 0;
    QString caption = QStringLiteral("MP3-Dateien in ") + m_scannedFolder;
    if (m_settings.Unterordner)
        caption += QStringLiteral(" (mit Unterordnern)");
    Panel4->setText(caption);
    ServeEvents(true);

    // Whatever the panel holds reaches the files before the entries go.
    ListView1->selectionModel()->clearSelection();
    m_panel->FlushPendingEdits();
    // A large list goes in slices, with the window served in between.
    const std::function<void()> serve = [this] { ServeEvents(); };
    m_model->Clear(serve);
    TEntryList old;
    old.swap(m_entries);
    FreeInSlices(old, serve);
    m_model->BeginBatch();

    RefreshLocalZone();
    TCollectProgress progress;
    progress.ServeEvents = [this] { ServeEvents(); };
    progress.FoundChanged = [this](int n) { LGefunden->setText(QStringLiteral("%1 gefunden").arg(n)); };
    progress.AbortRequested = [this] { return m_abortRequested; };
    progress.Unreadable = [this](const std::string& folder, int err) { m_unreadable.Add(folder, err); };
    if (!CollectFiles(QFile::encodeName(m_scannedFolder).toStdString(), m_settings.Unterordner, m_entries, progress, found)) {
        Panel4->setText(Panel4->text() + kCancelled);
        return;
    }
    ServeEvents(true);
    if (m_abortRequested) {
        Panel4->setText(Panel4->text() + kCancelled);
        return;
    }

    ListView1->setEnabled(!m_entries.empty());
    PBWarten->setValue(0);
    PBWarten->setMaximum(static_cast<int>(m_entries.size()));
    PBWarten->show();
    LGefunden->hide();
    LWarten->setText(QStringLiteral("Lese Titelinformationen..."));

    // A layer a test put in need not bear several threads.
    TReadAhead ahead(m_entries, m_reader, m_fileLayer == &TFileLayer::Posix() ? ScanWorkers() : 0);
    for (std::size_t k = 0; k < m_entries.size(); ++k) {
        TEintragDaten& entry = ahead.Next();
        entry.InSelection = 0;
        m_model->InsertSorted(&entry, TListModel::FileIcon, m_sortKey);
        ServeEvents();
        if (m_abortRequested) {
            Panel4->setText(Panel4->text() + kCancelled);
            return;
        }
        PBWarten->setValue(static_cast<int>(k + 1));
    }

    m_model->EndBatch(serve);
    if (!m_selectAfterScan.isEmpty()) {
        for (int row = 0; row < m_model->Count(); ++row) {
            if (QFile::decodeName(QByteArray::fromStdString(m_model->Entry(row)->FullPath())) == m_selectAfterScan) {
                SelectRow(row);
                break;
            }
        }
        m_selectAfterScan.clear();
    }
}

void TForm1::FinishScan()
{
    ShowProgress(false);
    m_model->EndBatch();
    const int rows = m_model->Count();
    if (rows > 0 && FirstSelectedRow() < 0)
        SelectRow(0);
    const int selected = FirstSelectedRow();
    if (selected >= 0)
        ScrollRowIntoView(selected);
    m_statusPanel0->setText(FileCountText(rows));
}

} // namespace km
