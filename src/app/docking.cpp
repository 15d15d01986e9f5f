#include "app/docking.h"

#include "browse/commandcontext.h"
#include "edit/editfields.h"
#include "platform/dialogs.h"
#include "ui/commandtable.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QFrame>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QVBoxLayout>

namespace km {

namespace {

const TActionDef kCommands[] = {
    {"ActOrdnerAnzeigen", "Ansicht", "&Browserleiste", "Browserleiste anzeigen/ausblenden", QKeySequence(Qt::Key_F10)},
    {"ActOrdnerAnzeigen2", "Ansicht", "", "Browserleiste einblenden", {}},
    {"ActOrderAnzeigenPin", "Ansicht", "", "Browserleiste anheften", {}},
    {"ActOrdnerAusblenden", "Ansicht", "", "Browserleiste ausblenden", {}},
    {"ActEingabefeldOben", "Ansicht", "&oben", "", {}},
    {"ActEingabeFeldUnten", "Ansicht", "&unten", "", {}},
    {"ActEingabefeldAusblenden", "Ansicht", "&verstecken", "", {}},
    {"ActEingabefeldOben2", "Ansicht", "", "Eingabefeld nach oben verschieben", {}},
    {"ActEingabeFeldUnten2", "Ansicht", "", "Eingabefeld nach unten verschieben", {}},
    {"ActEingabefeldAusblenden2", "Ansicht", "", "Eingabefeld ausblenden", {}},
    {"ActEingabefeldPin", "Ansicht", "", "Eingabefeld anheften", {}},
    {"ActEingabefeldAnzeigen", "Ansicht", "", "Eingabefeld einblenden", {}},
};

bool Inside(const QWidget* widget, const QWidget* container)
{
    return widget && (widget == container || container->isAncestorOf(widget));
}

} // namespace

TDocking::TDocking(const TCommandContext& context, const TDockingParts& parts)
    : QObject(context.Window)
    , m_commands(context.Commands)
    , m_dialogs(context.Dialogs)
    , m_window(context.Window)
    , m_parts(parts)
{
    m_commands.Define(kCommands);
    for (const char* name : {"ActOrdnerAnzeigen", "ActOrdnerAnzeigen2", "ActEingabefeldOben", "ActEingabeFeldUnten",
             "ActEingabefeldAusblenden", "ActEingabefeldAnzeigen"})
        m_commands.Action(QLatin1String(name))->setCheckable(true);
    // The edit panel's position is one choice of three.
    auto* group = new QActionGroup(this);
    for (const char* name : {"ActEingabefeldOben", "ActEingabeFeldUnten", "ActEingabefeldAusblenden"})
        group->addAction(m_commands.Action(QLatin1String(name)));

    const auto on = [this](const char* name, std::function<void()> handler) {
        m_commands.On(QLatin1String(name), std::move(handler));
    };
    for (const char* name : {"ActOrdnerAnzeigen", "ActOrderAnzeigenPin", "ActOrdnerAusblenden"})
        on(name, [this] { ActOrdnerAnzeigenExecute(); });
    on("ActOrdnerAnzeigen2", [this] { ActOrdnerAnzeigen2Execute(); });
    for (const char* name : {"ActEingabefeldOben", "ActEingabefeldPin", "ActEingabefeldOben2"})
        on(name, [this] {
            DockEditPanel(true);
            EditPanelUpdate();
        });
    for (const char* name : {"ActEingabeFeldUnten", "ActEingabeFeldUnten2"})
        on(name, [this] {
            DockEditPanel(false);
            EditPanelUpdate();
        });
    for (const char* name : {"ActEingabefeldAusblenden", "ActEingabefeldAusblenden2"})
        on(name, [this] { ActEingabefeldAusblendenExecute(); });
    on("ActEingabefeldAnzeigen", [this] { ActEingabefeldAnzeigenExecute(); });
    m_commands.OnUpdate(QStringLiteral("ActOrdnerAnzeigen"), [this] { ActOrdnerAnzeigenUpdate(); });
    m_commands.OnUpdate(QStringLiteral("ActEingabefeldOben"), [this] { EditPanelUpdate(); });

    connect(m_parts.Splitter, &QSplitter::splitterMoved, this, [this] { m_folderBarWidth = m_parts.FolderBar->width(); });
    connect(qApp, &QApplication::focusChanged, this, &TDocking::FocusChanged);
}

int TDocking::FolderBarWidth() const
{
    return m_folderBar == TPlacement::Docked && m_parts.FolderBar->isVisible() ? m_parts.FolderBar->width()
                                                                              : m_folderBarWidth;
}

void TDocking::DockFolderBar()
{
    QFrame* bar = m_parts.FolderBar;
    QSplitter* splitter = m_parts.Splitter;
    if (bar->parentWidget() != splitter) {
        splitter->insertWidget(0, bar);
        splitter->setStretchFactor(0, 0);
    }
    bar->setFrameStyle(QFrame::NoFrame);
    bar->show();
    splitter->setSizes({m_folderBarWidth, std::max(100, splitter->width() - m_folderBarWidth)});
    m_folderBar = TPlacement::Docked;
}

void TDocking::ActOrdnerAnzeigenExecute()
{
    if (m_folderBar == TPlacement::Docked) {
        m_folderBarWidth = m_parts.FolderBar->width();
        m_parts.FolderBar->hide();
        m_folderBar = TPlacement::Hidden;
    } else {
        DockFolderBar();
    }
}

void TDocking::ActOrdnerAnzeigen2Execute()
{
    QFrame* bar = m_parts.FolderBar;
    switch (m_folderBar) {
    case TPlacement::Docked:
        m_dialogs.Beep();
        return;
    case TPlacement::Floating:
        bar->hide();
        m_folderBar = TPlacement::Hidden;
        return;
    case TPlacement::Hidden: {
        // Over the list, right below its caption bar, down to the bottom of the client area.
        QWidget* client = m_parts.ClientArea;
        if (bar->parentWidget() != client)
            bar->setParent(client);
        const QPoint corner = m_parts.ListCaption->mapTo(client, QPoint(0, m_parts.ListCaption->height()));
        bar->setFrameStyle(QFrame::Panel | QFrame::Raised);
        bar->setLineWidth(2);
        bar->setGeometry(corner.x(), corner.y(), m_folderBarWidth, client->height() - m_parts.ListCaption->height());
        m_folderBar = TPlacement::Floating;
        bar->show();
        bar->raise();
        m_parts.FolderTree->setFocus();
        return;
    }
    }
}

void TDocking::ActOrdnerAnzeigenUpdate()
{
    const bool docked = m_folderBar == TPlacement::Docked;
    m_commands.Action(QStringLiteral("ActOrdnerAnzeigen"))->setChecked(docked);
    QAction* show2 = m_commands.Action(QStringLiteral("ActOrdnerAnzeigen2"));
    show2->setVisible(!docked);
    show2->setCheckable(true);
    show2->setChecked(m_folderBar == TPlacement::Floating);
    m_commands.Action(QStringLiteral("ActOrderAnzeigenPin"))->setVisible(!docked);
    m_commands.Action(QStringLiteral("ActOrdnerAusblenden"))->setVisible(docked);
}

void TDocking::DockEditPanel(bool top)
{
    auto* layout = static_cast<QVBoxLayout*>(m_parts.ListArea->layout());
    layout->removeWidget(m_parts.EditPanel);
    layout->insertWidget(top ? 1 : 2, m_parts.EditPanel);
    m_parts.EditPanel->setFrameStyle(QFrame::NoFrame);
    m_parts.EditPanel->show();
    m_editTop = top;
    m_editPanel = TPlacement::Docked;
}

void TDocking::ActEingabefeldAusblendenExecute()
{
    // It keeps its place in the layout for the next time it is shown.
    m_parts.EditPanel->hide();
    m_editPanel = TPlacement::Hidden;
    EditPanelUpdate();
}

void TDocking::ActEingabefeldAnzeigenExecute()
{
    QFrame* panel = m_parts.EditPanel;
    if (m_editPanel == TPlacement::Docked) {
        m_dialogs.Beep();
    } else if (m_editPanel == TPlacement::Floating) {
        panel->hide();
        m_editPanel = TPlacement::Hidden;
    } else if (!m_parts.Fields->ETitel->isEnabled()) {
        m_dialogs.Beep();
    } else {
        m_parts.ListArea->layout()->removeWidget(panel);
        const QPoint corner = m_parts.ListCaption->mapTo(m_parts.ListArea, QPoint(0, m_parts.ListCaption->height()));
        panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
        panel->setGeometry(corner.x(), corner.y(), m_parts.ListCaption->width(), panel->height());
        // Floating, it is aligned nowhere: hidden again, it no longer counts as "top".
        m_editPanel = TPlacement::Floating;
        m_editTop = false;
        panel->show();
        panel->raise();
        m_parts.Fields->ETitel->setFocus();
    }
    EditPanelUpdate();
}

void TDocking::EditPanelUpdate()
{
    const bool docked = m_editPanel == TPlacement::Docked;
    m_commands.Action(QStringLiteral("ActEingabefeldOben"))->setChecked(docked && m_editTop);
    m_commands.Action(QStringLiteral("ActEingabeFeldUnten"))->setChecked(docked && !m_editTop);
    m_commands.Action(QStringLiteral("ActEingabefeldAusblenden"))->setChecked(m_editPanel == TPlacement::Hidden);
    m_commands.Action(QStringLiteral("ActEingabefeldOben2"))->setVisible(docked && !m_editTop);
    m_commands.Action(QStringLiteral("ActEingabeFeldUnten2"))->setVisible(docked && m_editTop);
    m_commands.Action(QStringLiteral("ActEingabefeldAusblenden2"))->setVisible(docked);
    m_commands.Action(QStringLiteral("ActEingabefeldPin"))->setVisible(!docked);
    QAction* show = m_commands.Action(QStringLiteral("ActEingabefeldAnzeigen"));
    show->setVisible(!docked);
    show->setChecked(m_editPanel == TPlacement::Floating);
    show->setEnabled(m_parts.Fields->ETitel->isEnabled());
}

void TDocking::HideFloatingFolderBar()
{
    if (m_folderBar == TPlacement::Floating && m_parts.FolderBar->isVisible()) {
        m_parts.FolderBar->hide();
        m_folderBar = TPlacement::Hidden;
    }
}

bool TDocking::HideFloating()
{
    if (m_folderBar == TPlacement::Floating) {
        m_parts.FolderBar->hide();
        m_folderBar = TPlacement::Hidden;
    } else if (m_editPanel == TPlacement::Floating) {
        m_parts.EditPanel->hide();
        m_editPanel = TPlacement::Hidden;
    } else {
        return false;
    }
    m_commands.ScheduleRefresh();
    return true;
}

void TDocking::FocusChanged(QWidget* old, QWidget* now)
{
    // A menu opened from the keyboard takes the focus for a while: no leaving.
    if (qobject_cast<QMenuBar*>(now) || qobject_cast<QMenu*>(now))
        return;
    // A message box or another program taking the focus is no leaving.
    if (!now || now->window() != m_window)
        return;
    // Floating, the folder bar and the edit panel go away when the focus leaves them.
    if (m_folderBar == TPlacement::Floating && Inside(old, m_parts.FolderBar) && !Inside(now, m_parts.FolderBar)) {
        m_parts.FolderBar->hide();
        m_folderBar = TPlacement::Hidden;
        m_commands.ScheduleRefresh();
    }
    if (m_editPanel == TPlacement::Floating && Inside(old, m_parts.EditPanel) && !Inside(now, m_parts.EditPanel)) {
        m_parts.EditPanel->hide();
        m_editPanel = TPlacement::Hidden;
        m_commands.ScheduleRefresh();
    }
}

} // namespace km
