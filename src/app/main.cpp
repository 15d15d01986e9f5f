// Klangmappe: edits the ID3v1 tags of MP3 files.

#include "app/form1.h"
#include "app/startform.h"
#include "platform/qtdialogs.h"
#include "platform/qtshell.h"
#include "tags/persistent.h"
#include "ui/icons.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Klangmappe"));
    QApplication::setOrganizationName(QStringLiteral("Fennwick"));
    // Lets Wayland desktops match the window to its launcher.
    QGuiApplication::setDesktopFileName(QStringLiteral("Klangmappe"));
    km::Icons::UseIconTheme();
    QApplication::setWindowIcon(km::Icons::App());

    // Qt's own German texts for its standard dialogs.
    QTranslator qtGerman;
    if (qtGerman.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtGerman);

    auto* splash = new km::TStartForm;
    splash->show();
    splash->repaint();
    QApplication::processEvents();

    km::TQtDialogs dialogs;
    km::SetBeepHandler([&dialogs] { dialogs.Beep(); });
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    km::TQtShell shell;
    km::TForm1 form(dialogs, shell, arguments);
    dialogs.SetParent(&form);
    form.SetSplash(splash);
    form.show();
    const int result = QApplication::exec();
    km::SetBeepHandler(nullptr);
    return result;
}
