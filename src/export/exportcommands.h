#pragma once

#include <QDate>
#include <QObject>
#include <QString>

#include <functional>

class QWidget;

namespace km {

struct TCommandContext;
class TDialogs;
class TFileList;
class TShell;

// The list as an HTML page, an M3U playlist or a spreadsheet.
class TExportCommands : public QObject {
    Q_OBJECT
public:
    explicit TExportCommands(const TCommandContext& context);

    // Tests fix the date the page names.
    std::function<QDate()> Today = [] { return QDate::currentDate(); };

private:
    void ActExportHTMLExecute();
    void ActExportPlaylistExecute();
    void ActExportExcelExecute();
    QString AskTarget(const QString& startPath, const QString& filter, const QString& extension);
    bool MayReplace(const QString& path, const QString& question);
    void WriteFile(const QString& path, const QByteArray& bytes);

    TDialogs& m_dialogs;
    TShell& m_shell;
    TFileList& m_files;
    QWidget* m_window;
    QString m_lastPage; // the page's name is offered again within one run
};

} // namespace km
