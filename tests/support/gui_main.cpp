// One QApplication for all widget tests, on the offscreen platform.
#include "platform/soon.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The window's texts are German, its times shown in a fixed zone, however the tests are started.
    ::setenv("LANG", "de_DE.UTF-8", 1);
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Klangmappe"));
    // Folders here answer at once, however loaded the machine: the tree fills
    // as the tests expect. Tests of slow folders set their own wait.
    km::SetQuickWait(std::chrono::seconds(10));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
