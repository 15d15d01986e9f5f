// The main window scanning a large folder: files per second, the time until
// the view has painted with every row in the model, the longest the event loop
// waits between two turns, the memory each row costs, and how fast
// "Abbrechen" stops the scan. The first scan runs on whatever the page cache
// holds (cold after dropping it), the second one warm.
//
//   QT_QPA_PLATFORM=offscreen window_bench [--files N] [--dir FOLDER] [--existing] [--no-cancel] [--no-close]
//                                          [--charset NAME] [--sort CODE] [--subfolders] [--latency-ms N]
//
// --existing takes the folder as it is (its row count is what the model shows).
// --no-close ends without closing the window: under a heap profiler what the
// rows hold then shows as memory still in use. --charset, --sort and
// --subfolders are stored as the user's settings before the window starts. --latency-ms adds N ms to
// every open of a file or folder the scan reads, as a slow network share would.

#include "bench/mp3gen.h"
#include "browse/listmodel.h"
#include "app/form1.h"
#include "model/settings.h"
#include "platform/charset.h"
#include "platform/dialogs.h"
#include "platform/qtshell.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QPixmapCache>
#include <QTimer>
#include <QToolButton>
#include <QHeaderView>
#include <QTreeView>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include <malloc.h>

#include <unistd.h>

namespace {

// Every open waits, as on a share far away; any number of threads may wait at once.
class TLatencyLayer : public km::TFileLayer {
public:
    explicit TLatencyLayer(int ms) : m_ms(ms) {}
    bool ManyThreads() const override { return true; }
    int Open(const std::string& path, int flags) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(m_ms));
        return km::TFileLayer::Open(path, flags);
    }
    int OpenAt(int dirFd, const std::string& name, int flags) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(m_ms));
        return km::TFileLayer::OpenAt(dirFd, name, flags);
    }

private:
    int m_ms;
};

class TSilentDialogs : public km::TDialogs {
public:
    Result Message(const QString&, Kind, unsigned, unsigned) override { return Result::None; }
    void ShowError(const QString& text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    bool InputQuery(const QString&, const QString&, QString&) override { return false; }
    QString SaveFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString FolderName(const QString&, const QString&) override { return {}; }
    void Beep() override {}
};

long ResidentKiB()
{
    QPixmapCache::clear();
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return 0;
}

// The style's pixmap cache (progress bar pictures and the like, up to 10 MB)
// stays out: it does not grow with the rows.
std::size_t HeapInUse()
{
    QPixmapCache::clear();
    const auto info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// Notes when the view paints while the model holds `rows` rows.
class TPaintWatch : public QObject {
public:
    TPaintWatch(const QAbstractItemModel& model, int rows) : m_model(model), m_rows(rows) {}
    void Start()
    {
        m_clock.start();
        m_shownAfter = -1;
    }
    qint64 ShownAfterNs() const { return m_shownAfter; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && m_shownAfter < 0 && m_clock.isValid() && m_model.rowCount() >= m_rows)
            m_shownAfter = m_clock.nsecsElapsed();
        return QObject::eventFilter(watched, event);
    }

private:
    const QAbstractItemModel& m_model;
    int m_rows;
    QElapsedTimer m_clock;
    qint64 m_shownAfter = -1;
};

// Runs the event loop until the view has painted the full list, at most a few seconds.
double SecondsUntilShown(const TPaintWatch& watch)
{
    QElapsedTimer limit;
    limit.start();
    while (watch.ShownAfterNs() < 0 && limit.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return watch.ShownAfterNs() < 0 ? -1 : watch.ShownAfterNs() / 1e9;
}

} // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int count = 20000;
    std::filesystem::path dir;
    bool existing = false;
    bool cancel = true;
    bool closeAtEnd = true;
    std::string charset = km::kDefaultCharset;
    int sort = 1;
    int latency = 0;
    bool subfolders = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--files" && i + 1 < argc)
            count = std::max(1, std::atoi(argv[++i]));
        else if (a == "--dir" && i + 1 < argc)
            dir = argv[++i];
        else if (a == "--existing")
            existing = true;
        else if (a == "--no-cancel")
            cancel = false;
        else if (a == "--no-close")
            closeAtEnd = false;
        else if (a == "--charset" && i + 1 < argc)
            charset = argv[++i];
        else if (a == "--sort" && i + 1 < argc)
            sort = std::atoi(argv[++i]);
        else if (a == "--subfolders")
            subfolders = true;
        else if (a == "--latency-ms" && i + 1 < argc)
            latency = std::max(0, std::atoi(argv[++i]));
    }
    const bool own = dir.empty();
    if (own)
        dir = std::filesystem::temp_directory_path() / ("klangmappe-windowbench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    if (existing) {
        count = 0;
        if (subfolders) {
            for (const auto& e : std::filesystem::recursive_directory_iterator(dir))
                count += e.path().extension() == ".mp3" ? 1 : 0;
        } else {
            for (const auto& e : std::filesystem::directory_iterator(dir))
                count += e.path().extension() == ".mp3" ? 1 : 0;
        }
    } else {
        for (int k = 0; k < count; ++k)
            km::bench::WriteFile(dir, k);
    }
    const std::filesystem::path config = dir.parent_path() / (dir.filename().string() + "-config");
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    if (charset != km::kDefaultCharset || sort != 1 || subfolders) {
        km::TSettings settings = km::DefaultSettings();
        settings.ID3v1Zeichensatz = QString::fromStdString(charset);
        settings.Sort = sort;
        settings.Unterordner = subfolders;
        km::TRegistry registry;
        km::WriteSettings(registry, settings);
    }

    QApplication app(argc, argv);
    TSilentDialogs dialogs;
    km::TQtShell shell;
    km::TForm1 form(dialogs, shell, {QString::fromStdString(dir.string())});
    TLatencyLayer slow(latency);
    if (latency > 0)
        form.SetFileLayer(slow);
    int scans = 0;
    QObject::connect(&form, &km::TForm1::ScanFinished, [&] { ++scans; });
    auto* view = form.findChild<QTreeView*>();
    TPaintWatch watch(form.Model(), count);
    view->viewport()->installEventFilter(&watch);

    // The window's own fixed cost stays out of the cost per row: the baseline
    // is the window shown with an empty list.
    const long rssBefore = ResidentKiB();
    const std::size_t heapBefore = HeapInUse();
    watch.Start();
    form.show();
    while (scans < 1)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double firstShown = SecondsUntilShown(watch);
    const double rows = std::max(1, form.Model().rowCount());
    std::printf("first scan (page cache as found): last row shown after %.2f s\n", firstShown);
    std::printf("memory per row: %.0f bytes resident, %.0f bytes heap in use (%d rows)\n",
        (ResidentKiB() - rssBefore) * 1024.0 / rows, (static_cast<double>(HeapInUse()) - static_cast<double>(heapBefore)) / rows,
        form.Model().rowCount());

    // Full scan, with a 10 ms tick to see how long the event loop waits.
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer tick;
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, sinceTick.restart());
    });
    tick.start();
    sinceTick.start();
    QElapsedTimer scanTime;
    scanTime.start();
    watch.Start();
    form.ScanFolder();
    const double seconds = scanTime.nsecsElapsed() / 1e9;
    const double shown = SecondsUntilShown(watch);
    tick.stop();
    std::printf("warm scan of %d files: %.2f s, %.0f files/s, %d rows\n", count, seconds, count / seconds,
        form.Model().rowCount());
    std::printf("warm: last row shown after %.2f s\n", shown);
    std::printf("longest wait between two event-loop turns during the scan: %lld ms (10 ms tick)\n",
        static_cast<long long>(longestGap));

    // A header click on the title column sorts every row, the window served in between.
    longestGap = 0;
    tick.start();
    sinceTick.start();
    QElapsedTimer sortTime;
    sortTime.start();
    emit view->header()->sectionClicked(2);
    const double sortSeconds = sortTime.nsecsElapsed() / 1e9;
    tick.stop();
    std::printf("header click sorting %d rows by title: %.2f s, longest wait %lld ms (10 ms tick)\n",
        form.Model().rowCount(), sortSeconds, static_cast<long long>(longestGap));

    if (cancel) { // halfway through the reading
        QElapsedTimer sinceClick;
        QTimer::singleShot(static_cast<int>(seconds * 500), [&] {
            sinceClick.start();
            form.findChild<QToolButton*>(QStringLiteral("SpeedButton2"))->click();
        });
        form.ScanFolder();
        std::printf("\"Abbrechen\" stopped the scan after %.1f ms, with %d rows read\n", sinceClick.nsecsElapsed() / 1e6,
            form.Model().rowCount());
    }

    if (!closeAtEnd) {
        std::fflush(stdout);
        std::exit(0);
    }
    form.close();
    if (own) {
        std::filesystem::remove_all(dir);
        std::filesystem::remove_all(config);
    }
    return 0;
}
