#pragma once

#include <QKeySequence>
#include <QObject>
#include <QString>

#include <functional>
#include <initializer_list>
#include <map>
#include <set>
#include <span>
#include <vector>

class QAction;
class QMenu;
class QTimer;
class QToolBar;
class QWidget;

namespace km {

// One command as the table knows it.
struct TActionDef {
    const char* Name;
    const char* Category;
    const char* Caption; // empty: the action shows its picture only
    const char* Hint;
    QKeySequence Shortcut;
};

// The commands by name: any class defines its commands and registers what
// they do and when they are offered, and menus, tool bars and popups are
// built from name lists. A command nobody handles stays disabled; a name
// nobody defined stops the program (On, OnUpdate, Fill).
class TCommandTable : public QObject {
    Q_OBJECT
public:
    // The actions live on `owner`, so their shortcuts work in its window.
    explicit TCommandTable(QWidget* owner);
    TCommandTable(QWidget* owner, std::span<const TActionDef> defs);

    // Adds commands; each subsystem defines its own beside its handlers.
    void Define(std::span<const TActionDef> defs);
    // The command of that name; none when nobody defined it.
    QAction* Action(const QString& name) const;
    // Runs `handler` when the command is triggered.
    void On(const QString& name, std::function<void()> handler);
    // Runs `handler` at every refresh: it sets the command's state.
    void OnUpdate(const QString& name, std::function<void()> handler);

    // Runs every update handler now.
    void Refresh();
    // Once, when the event loop comes round: many changes, one refresh.
    void ScheduleRefresh();

    // A command's key: fields leave it to the command.
    bool OwnsShortcut(const QKeySequence& keys) const;

    // Appends the named actions; "-" is a separator. A filled menu refreshes
    // the commands before it opens, however it is opened.
    void Fill(QMenu* menu, std::initializer_list<const char*> names);
    void Fill(QToolBar* bar, std::initializer_list<const char*> names);
    void RefreshOnShow(QMenu* menu);

private:
    QAction* Known(const QString& name, const char* use) const;

    QWidget* m_owner;
    std::map<QString, QAction*> m_actions;
    std::set<const QAction*> m_handled;
    std::vector<std::function<void()>> m_updates;
    QTimer* m_timer;
};

} // namespace km
