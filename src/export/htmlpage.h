#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace km {

// Replaces every "<#Name ...>" in `text` by the handler's answer for Name; the
// answer is not scanned again. Tags count anywhere, inside attributes too.
QString FillTemplate(const QString& text, const std::function<QString(const QString& name)>& handler);

// What the page shows: the list's data columns (the icon column has no cell),
// its rows in display order, the scanned folder and the date.
struct THtmlList {
    QStringList Captions;            // one per data column
    std::vector<QStringList> Rows;   // the cell texts of each row, one per data column
    QString Folder;                  // the folder of the last scan
    bool Subfolders = false;         // the scan included subfolders
    QString Date;                    // today, in the user's short date format
};

// The whole page, lines ended by CR LF, UTF-8 as the head says.
QString HtmlPage(const THtmlList& list);

} // namespace km
