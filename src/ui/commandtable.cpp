#include "ui/commandtable.h"

#include "ui/icons.h"

#include <QAction>
#include <QMenu>
#include <QTimer>
#include <QToolBar>
#include <QWidget>

namespace km {

TCommandTable::TCommandTable(QWidget* owner)
    : QObject(owner)
    , m_owner(owner)
    , m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    m_timer->setInterval(0);
    connect(m_timer, &QTimer::timeout, this, &TCommandTable::Refresh);
}

TCommandTable::TCommandTable(QWidget* owner, std::span<const TActionDef> defs)
    : TCommandTable(owner)
{
    Define(defs);
}

void TCommandTable::Define(std::span<const TActionDef> defs)
{
    for (const TActionDef& def : defs) {
        if (Action(QLatin1String(def.Name)))
            qFatal("TCommandTable: the command %s is defined twice", def.Name);
        auto* action = new QAction(QString::fromUtf8(def.Caption), m_owner);
        action->setObjectName(QLatin1String(def.Name));
        action->setProperty("category", QString::fromUtf8(def.Category));
        action->setIcon(Icons::ForAction(QLatin1String(def.Name)));
        if (*def.Hint) {
            action->setToolTip(QString::fromUtf8(def.Hint));
            action->setStatusTip(QString::fromUtf8(def.Hint));
        }
        if (!def.Shortcut.isEmpty()) {
            action->setShortcut(def.Shortcut);
            action->setShortcutContext(Qt::WindowShortcut);
        }
        action->setEnabled(false);
        m_owner->addAction(action);
        m_actions[action->objectName()] = action;
        // Every command may change what the others offer.
        connect(action, &QAction::triggered, this, &TCommandTable::ScheduleRefresh);
    }
}

QAction* TCommandTable::Known(const QString& name, const char* use) const
{
    // A name nobody defined is a slip of the programmer: it must not pass unseen.
    QAction* action = Action(name);
    if (!action)
        qFatal("TCommandTable::%s: no command is named %s", use, qPrintable(name));
    return action;
}

QAction* TCommandTable::Action(const QString& name) const
{
    const auto it = m_actions.find(name);
    return it == m_actions.end() ? nullptr : it->second;
}

void TCommandTable::On(const QString& name, std::function<void()> handler)
{
    QAction* action = Known(name, "On");
    connect(action, &QAction::triggered, this, [handler = std::move(handler)] { handler(); });
    m_handled.insert(action);
    action->setEnabled(true);
}

void TCommandTable::OnUpdate(const QString& name, std::function<void()> handler)
{
    Known(name, "OnUpdate");
    m_updates.push_back(std::move(handler));
}

void TCommandTable::Refresh()
{
    for (const auto& update : m_updates)
        update();
    for (const auto& [name, action] : m_actions)
        if (!m_handled.count(action))
            action->setEnabled(false);
}

bool TCommandTable::OwnsShortcut(const QKeySequence& keys) const
{
    for (const auto& [name, action] : m_actions)
        if (!action->shortcut().isEmpty() && action->shortcut() == keys)
            return true;
    return false;
}

void TCommandTable::ScheduleRefresh()
{
    if (!m_timer->isActive())
        m_timer->start();
}

void TCommandTable::Fill(QMenu* menu, std::initializer_list<const char*> names)
{
    for (const char* name : names) {
        if (*name == '-')
            menu->addSeparator();
        else
            menu->addAction(Known(QLatin1String(name), "Fill"));
    }
    RefreshOnShow(menu);
}

void TCommandTable::Fill(QToolBar* bar, std::initializer_list<const char*> names)
{
    for (const char* name : names) {
        if (*name == '-')
            bar->addSeparator();
        else
            bar->addAction(Known(QLatin1String(name), "Fill"));
    }
}

void TCommandTable::RefreshOnShow(QMenu* menu)
{
    // Connected once, whether the menu was filled in several steps or not.
    connect(menu, &QMenu::aboutToShow, this, &TCommandTable::Refresh, Qt::UniqueConnection);
}

} // namespace km
