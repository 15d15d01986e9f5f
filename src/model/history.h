#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace km {

// The folders visited since the start. Paths compare exactly: on Linux two
// names that differ in case are two folders.
struct THistory {
    QStringList Back;    // oldest first; the last one is the folder shown
    QStringList Forward; // left by going back; the next one to return to last
    bool Navigating = false;

    // Records a folder the tree changed to. Returns true when the forward list was emptied.
    bool Add(const QString& folder);

    struct TItem {
        QString Caption;
        int Steps; // negative: back, positive: forward
    };
    // The drop-down menus: at most nine folders, the nearest first.
    std::vector<TItem> BackItems() const;
    std::vector<TItem> ForwardItems() const;

    // The last folder name of a path ending in "/"; the root stays "/".
    static QString Caption(const QString& path);
    // The parent of a folder path ending in "/", or the path itself at the root.
    static QString Parent(const QString& path);
};

} // namespace km
