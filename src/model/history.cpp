#include "model/history.h"

namespace km {

bool THistory::Add(const QString& folder)
{
    if (!Back.isEmpty() && Back.last() == folder)
        return false;
    Back.append(folder);
    bool emptied = false;
    if (!Navigating) {
        // A new way is taken.
        emptied = !Forward.isEmpty();
        Forward.clear();
    }
    Navigating = false;
    return emptied;
}

namespace {
std::vector<THistory::TItem> Items(const QStringList& list, int skip, int sign)
{
    std::vector<THistory::TItem> items;
    for (int i = 0; i < 9 && list.size() - skip - 1 - i >= 0; ++i)
        items.push_back({THistory::Caption(list[list.size() - skip - 1 - i]), sign * (i + 1)});
    return items;
}
} // namespace

std::vector<THistory::TItem> THistory::BackItems() const { return Items(Back, 1, -1); }

std::vector<THistory::TItem> THistory::ForwardItems() const { return Items(Forward, 0, 1); }

QString THistory::Caption(const QString& path)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'), path.size() - 2);
    if (path.size() < 2 || slash < 0)
        return path;
    return path.mid(slash + 1, path.size() - slash - 2);
}

QString THistory::Parent(const QString& path)
{
    const int slash = path.size() < 2 ? -1 : path.lastIndexOf(QLatin1Char('/'), path.size() - 2);
    return slash < 0 ? path : path.left(slash + 1);
}

} // namespace km
