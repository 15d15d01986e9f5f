// The folder bar and the edit panel: docked, floating over the list, or hidden.
#include "app/form1.h"

#include "ui/commandtable.h"

#include "browse/dirbox.h"
#include "browse/listmodel.h"
#include "edit/editfields.h"
#include "platform/dialogs.h"

#include <QAction>
#include <QFrame>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QTreeView>
#include <QVBoxLayout>

namespace km {

namespace {
bool Inside(const QWidget* widget, const QWidget* container)
{
    return widget && (widget == container || container->isAncestorOf(widget));
}
} // namespace

void TForm1::DockFolderBar()
{
    if (Panel1->parentWidget() != Splitter1) {
        Splitter1->insertWidget(0, Panel1);
        Splitter1->setStretchFactor(0, 0);
    }
    Panel1->setFrameStyle(QFrame::NoFrame);
    Panel1->show();
    Splitter1->setSizes({m_folderBarWidth, std::max(100, Splitter1->width() - m_folderBarWidth)});
    m_folderBar = TPlacement::Docked;
}

void TForm1::ActOrdnerAnzeigenExecute()
{
    if (m_folderBar == TPlacement::Docked) {
        m_folderBarWidth = Panel1->width();
        Panel1->hide();
        m_folderBar = TPlacement::Hidden;
    } else {
        DockFolderBar();
    }
}

void TForm1::ActOrdnerAnzeigen2Execute()
{
    switch (m_folderBar) {
    case TPlacement::Docked:
        m_dialogs.Beep();
        return;
    case TPlacement::Floating:
        Panel1->hide();
        m_folderBar = TPlacement::Hidden;
        return;
    case TPlacement::Hidden: {
        // Over the list, right below its caption bar, down to the bottom of the client area.
        if (Panel1->parentWidget() != PClientBereich)
            Panel1->setParent(PClientBereich);
        const QPoint corner = Panel4P->mapTo(PClientBereich, QPoint(0, Panel4P->height()));
        Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
        Panel1->setLineWidth(2);
        Panel1->setGeometry(corner.x(), corner.y(), m_folderBarWidth, PClientBereich->height() - Panel4P->height());
        m_folderBar = TPlacement::Floating;
        Panel1->show();
        Panel1->raise();
        DirBox1->setFocus();
        return;
    }
    }
}

void TForm1::ActOrdnerAnzeigenUpdate()
{
    const bool docked = m_folderBar == TPlacement::Docked;
    m_commands->Action(QStringLiteral("ActOrdnerAnzeigen"))->setChecked(docked);
    QAction* show2 = m_commands->Action(QStringLiteral("ActOrdnerAnzeigen2"));
    show2->setVisible(!docked);
    show2->setCheckable(true);
    show2->setChecked(m_folderBar == TPlacement::Floating);
    m_commands->Action(QStringLiteral("ActOrderAnzeigenPin"))->setVisible(!docked);
    m_commands->Action(QStringLiteral("ActOrdnerAusblenden"))->setVisible(docked);
}

void TForm1::SetEditPanelTop(bool top) { DockEditPanel(top); }

void TForm1::DockEditPanel(bool top)
{
    auto* layout = static_cast<QVBoxLayout*>(m_listArea->layout());
    layout->removeWidget(Panel5);
    layout->insertWidget(top ? 1 : 2, Panel5);
    Panel5->setFrameStyle(QFrame::NoFrame);
    Panel5->show();
    m_editTop = top;
    m_editPanel = TPlacement::Docked;
}

void TForm1::ActEingabefeldObenExecute()
{
    DockEditPanel(true);
    EditPanelUpdate();
}

void TForm1::ActEingabeFeldUntenExecute()
{
    DockEditPanel(false);
    EditPanelUpdate();
}

void TForm1::ActEingabefeldAusblendenExecute()
{
    // It keeps its place in the layout for the next time it is shown.
    Panel5->hide();
    m_editPanel = TPlacement::Hidden;
    EditPanelUpdate();
}

bool TForm1::EditFieldsEnabled() const { return m_fields->ETitel->isEnabled(); }

void TForm1::ActEingabefeldAnzeigenExecute()
{
    if (m_editPanel == TPlacement::Docked) {
        m_dialogs.Beep();
    } else if (m_editPanel == TPlacement::Floating) {
        Panel5->hide();
        m_editPanel = TPlacement::Hidden;
    } else if (!EditFieldsEnabled()) {
        m_dialogs.Beep();
    } else {
        m_listArea->layout()->removeWidget(Panel5);
        const QPoint corner = Panel4P->mapTo(m_listArea, QPoint(0, Panel4P->height()));
        Panel5->setFrameStyle(QFrame::Panel | QFrame::Raised);
        Panel5->setGeometry(corner.x(), corner.y(), Panel4P->width(), Panel5->height());
        // Floating, it is aligned nowhere: hidden again, it no longer counts as "top".
        m_editPanel = TPlacement::Floating;
        m_editTop = false;
        Panel5->show();
        Panel5->raise();
        m_fields->ETitel->setFocus();
    }
    EditPanelUpdate();
}

void TForm1::EditPanelUpdate()
{
    const bool docked = m_editPanel == TPlacement::Docked;
    m_commands->Action(QStringLiteral("ActEingabefeldOben"))->setChecked(docked && m_editTop);
    m_commands->Action(QStringLiteral("ActEingabeFeldUnten"))->setChecked(docked && !m_editTop);
    m_commands->Action(QStringLiteral("ActEingabefeldAusblenden"))->setChecked(m_editPanel == TPlacement::Hidden);
    m_commands->Action(QStringLiteral("ActEingabefeldOben2"))->setVisible(docked && !m_editTop);
    m_commands->Action(QStringLiteral("ActEingabeFeldUnten2"))->setVisible(docked && m_editTop);
    m_commands->Action(QStringLiteral("ActEingabefeldAusblenden2"))->setVisible(docked);
    m_commands->Action(QStringLiteral("ActEingabefeldPin"))->setVisible(!docked);
    QAction* show = m_commands->Action(QStringLiteral("ActEingabefeldAnzeigen"));
    show->setVisible(!docked);
    show->setChecked(m_editPanel == TPlacement::Floating);
    show->setEnabled(EditFieldsEnabled());
}

void TForm1::FocusChanged(QWidget* old, QWidget* now)
{
    // A menu opened from the keyboard takes the focus for a while: no leaving.
    if (qobject_cast<QMenuBar*>(now) || qobject_cast<QMenu*>(now))
        return;
    // A message box or another program taking the focus is no leaving.
    if (!now || now->window() != this)
        return;
    // Floating, the folder bar and the edit panel go away when the focus leaves them.
    if (m_folderBar == TPlacement::Floating && Inside(old, Panel1) && !Inside(now, Panel1)) {
        Panel1->hide();
        m_folderBar = TPlacement::Hidden;
        m_commands->ScheduleRefresh();
    }
    if (m_editPanel == TPlacement::Floating && Inside(old, Panel5) && !Inside(now, Panel5)) {
        Panel5->hide();
        m_editPanel = TPlacement::Hidden;
        m_commands->ScheduleRefresh();
    }
}

} // namespace km
