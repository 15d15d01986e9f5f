#pragma once

#include <QDate>
#include <QObject>
#include <QString>

#include <functional>

class QTreeView;
class QWidget;

namespace km {

class TCommandTable;
class TDialogs;
class TListModel;
class TShell;

// What the exports read of the window.
struct TExportParts {
    QWidget* Window = nullptr;
    QTreeView* List = nullptr;
    TListModel* Model = nullptr;
    std::function<QString()> ScannedFolder; // the folder of the last scan, ending in "/"
    std::function<bool()> Subfolders;       // that scan included subfolders
    std::function<QString()> ShownFolder;   // the folder tree's current folder
};

// The list as an HTML page, an M3U playlist or a spreadsheet.
class TExportCommands : public QObject {
    Q_OBJECT
public:
    TExportCommands(const TExportParts& parts, TCommandTable& commands, TDialogs& dialogs, TShell& shell,
        QObject* parent = nullptr);

    // Tests fix the date the page names.
    std::function<QDate()> Today = [] { return QDate::currentDate(); };

private:
    void ActExportHTMLExecute();
    void ActExportPlaylistExecute();
    void ActExportExcelExecute();
    QString AskTarget(const QString& startPath, const QString& filter, const QString& extension);
    bool MayReplace(const QString& path, const QString& question);
    void WriteFile(const QString& path, const QByteArray& bytes);

    TExportParts m_parts;
    TDialogs& m_dialogs;
    TShell& m_shell;
    QString m_lastPage; // the page's name is offered again within one run
};

} // namespace km
