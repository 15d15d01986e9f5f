#pragma once

#include <QObject>

class QFrame;
class QSplitter;
class QWidget;

namespace km {

struct TCommandContext;
class TCommandTable;
class TDialogs;
class TEditFields;

// The window's widgets that docking moves, named as the window knows them.
struct TDockingParts {
    QWidget* ClientArea = nullptr;  // PClientBereich
    QSplitter* Splitter = nullptr;  // Splitter1
    QFrame* FolderBar = nullptr;    // Panel1
    QWidget* FolderTree = nullptr;  // DirBox1: takes the focus when the bar floats
    QFrame* ListCaption = nullptr;  // Panel4P: floating parts lie right below it
    QWidget* ListArea = nullptr;    // the list's side of the splitter
    QFrame* EditPanel = nullptr;    // Panel5
    TEditFields* Fields = nullptr;
};

// The folder bar and the edit panel: docked, floating over the list, or
// hidden, with the view commands that move them. A floating one goes away
// when the focus leaves it, or with Escape.
class TDocking : public QObject {
    Q_OBJECT
public:
    enum class TPlacement { Docked, Floating, Hidden };

    TDocking(const TCommandContext& context, const TDockingParts& parts);

    TPlacement FolderBar() const { return m_folderBar; }
    TPlacement EditPanel() const { return m_editPanel; }
    bool EditPanelTop() const { return m_editTop; }
    // The folder bar's width as the settings keep it.
    int FolderBarWidth() const;
    void SetFolderBarWidth(int width) { m_folderBarWidth = width; }
    // The edit panel's place as the settings keep it: floating, it has none.
    bool StoredEditPanelTop() const { return m_editTop && m_editPanel != TPlacement::Floating; }
    void DockEditPanel(bool top);
    // Hides the folder bar when it floats (a folder was chosen in it).
    void HideFloatingFolderBar();
    // Escape: hides what floats, the folder bar first; false when nothing did.
    bool HideFloating();

private:
    void DockFolderBar();
    void ActOrdnerAnzeigenExecute();
    void ActOrdnerAnzeigen2Execute();
    void ActEingabefeldAusblendenExecute();
    void ActEingabefeldAnzeigenExecute();
    void ActOrdnerAnzeigenUpdate();
    void EditPanelUpdate();
    void FocusChanged(QWidget* old, QWidget* now);

    TCommandTable& m_commands;
    TDialogs& m_dialogs;
    QWidget* m_window;
    TDockingParts m_parts;
    TPlacement m_folderBar = TPlacement::Docked;
    TPlacement m_editPanel = TPlacement::Docked;
    bool m_editTop = false;
    int m_folderBarWidth = 185;
};

} // namespace km
