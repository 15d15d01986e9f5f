#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

namespace km {

struct TCommandContext;
class TDirBox;
class TFileList;

// Files and folders dragged onto the window from a file manager, and rows
// dragged out of the list as their files. A folder dropped is listed as if
// chosen in the folder tree; MP3 files dropped list their folder with them
// selected, or only select them when they are listed already. Edit fields
// take text drops themselves.
class TFileDrops : public QObject {
public:
    // `selectAfterScan` names the files the next scan selects.
    TFileDrops(const TCommandContext& context, TDirBox& tree, std::function<void(const QStringList&)> selectAfterScan);

    // What a drop does: list `Folder` and select `Files` in it (none: the
    // folder itself was dropped). Nothing for a drop that is refused.
    struct TPlan {
        QString Folder; // ends in "/"
        QStringList Files;
    };
    static std::optional<TPlan> Plan(const QList<QUrl>& urls);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Drop(const TPlan& plan);
    // Selects the rows of the files; false when one is not listed.
    bool SelectListed(const QStringList& files);

    TFileList& m_files;
    TDirBox& m_tree;
    QWidget* m_window;
    std::function<void(const QStringList&)> m_selectAfterScan;
    std::optional<TPlan> m_plan; // of the drag over the window now
};

} // namespace km
