#include "ui/commandtable.h"

#include "ui/icons.h"

#include <QAction>
#include <QMenu>
#include <QTimer>
#include <QToolBar>
#include <QWidget>

namespace km {

TCommandTable::TCommandTable(QWidget* owner, std::span<const TActionDef> defs)
    : QObject(owner)
    , m_timer(new QTimer(this))
{
    for (const TActionDef& def : defs) {
        auto* action = new QAction(QString::fromUtf8(def.Caption), owner);
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
        owner->addAction(action);
        m_actions[action->objectName()] = action;
        // Every command may change what the others offer.
        connect(action, &QAction::triggered, this, &TCommandTable::ScheduleRefresh);
    }
    m_timer->setSingleShot(true);
    m_timer->setInterval(0);
    connect(m_timer, &QTimer::timeout, this, &TCommandTable::Refresh);
}

QAction* TCommandTable::Action(const QString& name) const
{
    const auto it = m_actions.find(name);
    return it == m_actions.end() ? nullptr : it->second;
}

void TCommandTable::On(const QString& name, std::function<void()> handler)
{
    QAction* action = Action(name);
    Q_ASSERT(action);
    connect(action, &QAction::triggered, this, [handler = std::move(handler)] { handler(); });
    m_handled.insert(action);
    action->setEnabled(true);
}

void TCommandTable::OnUpdate(const QString& name, std::function<void()> handler)
{
    Q_ASSERT(Action(name));
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
            menu->addAction(Action(QLatin1String(name)));
    }
    RefreshOnShow(menu);
}

void TCommandTable::Fill(QToolBar* bar, std::initializer_list<const char*> names)
{
    for (const char* name : names) {
        if (*name == '-')
            bar->addSeparator();
        else
            bar->addAction(Action(QLatin1String(name)));
    }
}

void TCommandTable::RefreshOnShow(QMenu* menu)
{
    // Connected once, whether the menu was filled in several steps or not.
    connect(menu, &QMenu::aboutToShow, this, &TCommandTable::Refresh, Qt::UniqueConnection);
}

} // namespace km
