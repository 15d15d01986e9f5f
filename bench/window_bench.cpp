// The main window scanning a large folder: files per second, the longest the
// event loop waits between two turns, and how fast "Abbrechen" stops the scan.
//
//   QT_QPA_PLATFORM=offscreen window_bench [--files N] [--dir FOLDER]

#include "bench/mp3gen.h"
#include "browse/listmodel.h"
#include "browse/mainwindow.h"
#include "platform/dialogs.h"
#include "platform/qtshell.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QToolButton>

#include <cstdio>
#include <cstdlib>

#include <unistd.h>

namespace {

class TSilentDialogs : public km::TDialogs {
public:
    Result Message(const QString&, Kind, unsigned, unsigned) override { return Result::None; }
    void ShowError(const QString& text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    bool InputQuery(const QString&, const QString&, QString&) override { return false; }
    QString SaveFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString FolderName(const QString&, const QString&) override { return {}; }
    void Beep() override {}
};

} // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int count = 20000;
    std::filesystem::path dir;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--files" && i + 1 < argc)
            count = std::max(1, std::atoi(argv[++i]));
        else if (a == "--dir" && i + 1 < argc)
            dir = argv[++i];
    }
    const bool own = dir.empty();
    if (own)
        dir = std::filesystem::temp_directory_path() / ("klangmappe-windowbench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    for (int k = 0; k < count; ++k)
        km::bench::WriteFile(dir, k);
    const std::filesystem::path config = dir.parent_path() / (dir.filename().string() + "-config");
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);

    QApplication app(argc, argv);
    TSilentDialogs dialogs;
    km::TQtShell shell;
    km::TForm1 form(dialogs, shell, {QString::fromStdString(dir.string())});
    int scans = 0;
    QObject::connect(&form, &km::TForm1::ScanFinished, [&] { ++scans; });
    form.show();
    while (scans < 1) // the first scan warms the page cache
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);

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
    form.ScanFolder();
    const double seconds = scanTime.nsecsElapsed() / 1e9;
    tick.stop();
    std::printf("window scan of %d files: %.2f s, %.0f files/s, %d rows\n", count, seconds, count / seconds,
        form.Model().rowCount());
    std::printf("longest wait between two event-loop turns during the scan: %lld ms (10 ms tick)\n",
        static_cast<long long>(longestGap));

    // Cancel halfway through the reading.
    QElapsedTimer sinceClick;
    QTimer::singleShot(static_cast<int>(seconds * 500), [&] {
        sinceClick.start();
        form.findChild<QToolButton*>(QStringLiteral("SpeedButton2"))->click();
    });
    form.ScanFolder();
    std::printf("\"Abbrechen\" stopped the scan after %.1f ms, with %d rows read\n", sinceClick.nsecsElapsed() / 1e6,
        form.Model().rowCount());

    form.close();
    if (own) {
        std::filesystem::remove_all(dir);
        std::filesystem::remove_all(config);
    }
    return 0;
}
