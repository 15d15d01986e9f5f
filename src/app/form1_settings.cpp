// Settings of the main window: reading at creation, writing at closing, the
// command line and the window placement.
#include "app/form1.h"

#include "app/columncommands.h"
#include "app/folderscan.h"
#include "browse/dirbox.h"
#include "browse/listmodel.h"
#include "ui/windowsystem.h"

#include <QDir>
#include <QFrame>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QSplitter>

namespace km {

void TForm1::ReadStoredSettings()
{
    TRegistry registry;
    if (!ReadSettings(registry, m_settings))
        return;
    Splitter1->setSizes({m_settings.BW, std::max(100, width() - m_settings.BW)});
    m_docking->DockEditPanel(m_settings.ET);
    m_placementRead = m_settings.Placement;
    if (m_settings.Placement)
        ApplyPlacement(*m_settings.Placement);
}

void TForm1::WriteStoredSettings()
{
    m_settings.LastDir = DirBox1->Directory();
    m_settings.BW = m_docking->FolderBarWidth();
    // Hidden, the edit panel keeps its place; floating, it has none.
    m_settings.ET = m_docking->StoredEditPanelTop();
    m_settings.Sort = m_columns->SortKey();
    m_settings.Spalten = m_columns->Current();
    m_settings.Placement = PlacementToStore(CurrentPlacement(), m_placementRead, !CompositorPlacesWindows());
    TRegistry registry;
    WriteSettings(registry, m_settings);
}

void TForm1::ApplyCommandLine(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return;
    const QString argument = QDir::cleanPath(QDir::current().absoluteFilePath(arguments.first()));
    QString folder = argument;
    // A share that does not answer must not hold up the start.
    if (!TDirBox::IsFolderSoon(folder)) {
        const int slash = folder.lastIndexOf(QLatin1Char('/'));
        folder = slash < 0 ? QString() : folder.left(slash + 1);
    }
    if (!folder.isEmpty()) {
        if (!folder.endsWith(QLatin1Char('/')))
            folder += QLatin1Char('/');
        if (TDirBox::IsFolderSoon(folder))
            m_settings.LastDir = folder;
    }
    // File names differ by case here, so the row is found by its exact path.
    m_scan->SetSelectAfterScan({argument});
}

void TForm1::KeepOnScreen()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    if (!testAttribute(Qt::WA_Moved) || CompositorPlacesWindows()) {
        // No stored place: the window system places the window with its frame.
        // Setting a position here would put the client area at 0,0, the title bar off the screen.
        resize(size().boundedTo(screen->availableGeometry().size()));
        return;
    }
    const QRect area = screen->geometry();
    QRect g = geometry();
    if (g.left() < area.left())
        g.moveLeft(area.left());
    if (g.top() < area.top())
        g.moveTop(area.top());
    // Shrink, do not move: the window keeps its left and top edge.
    if (g.right() > area.right())
        g.setWidth(area.right() + 1 - g.left());
    if (g.bottom() > area.bottom())
        g.setHeight(area.bottom() + 1 - g.top());
    setGeometry(g);
}

TWindowPlacement TForm1::CurrentPlacement() const
{
    TWindowPlacement p;
    p.ShowCmd = isMaximized() ? kShowMaximized : kShowNormal;
    const QRect normal = (isMaximized() || isMinimized()) && normalGeometry().isValid() ? normalGeometry() : geometry();
    p.SetNormalRect(normal);
    return p;
}

void TForm1::ApplyPlacement(const TWindowPlacement& placement)
{
    const QRect r = placement.NormalRect();
    if (r.width() > 0 && r.height() > 0) {
        if (CompositorPlacesWindows())
            resize(r.size());
        else
            setGeometry(r);
    }
    // A window that was closed minimized comes back normal.
    if (placement.ShowCmd == kShowMaximized)
        setWindowState(windowState() | Qt::WindowMaximized);
}

} // namespace km
