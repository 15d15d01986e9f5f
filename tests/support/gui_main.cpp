// One QApplication for all widget tests, on the offscreen platform.
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
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
