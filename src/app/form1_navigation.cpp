// Folder navigation: the histories, up, and the next and previous row.
#include "app/form1.h"

#include "browse/dirbox.h"
#include "browse/filelist.h"
#include "browse/listmodel.h"
#include "platform/dialogs.h"
#include "ui/commandtable.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QTreeView>

namespace km {

void TForm1::DirBox1DirChange(const QString& folder)
{
    m_docking->HideFloatingFolderBar();
    AddHistory(folder);
    ScanFolder();
}

void TForm1::AddHistory(const QString& folder)
{
    if (m_history.Add(folder))
        m_commands->Refresh(); // the way ahead is gone
}

void TForm1::GoHistory(int steps)
{
    if (steps < 0) {
        const int k = -steps;
        if (k >= m_history.Back.size()) {
            m_dialogs.Beep();
            return;
        }
        for (int i = 0; i < k; ++i) {
            const QString folder = m_history.Back.takeLast();
            if (m_history.Forward.isEmpty() || m_history.Forward.last() != folder)
                m_history.Forward.append(folder);
        }
        m_history.Navigating = true;
        DirBox1->SelectPath(m_history.Back.last());
        m_history.Navigating = false;
    } else if (steps > 0) {
        if (steps - 1 >= m_history.Forward.size()) {
            m_dialogs.Beep();
            return;
        }
        for (int i = 0; i < steps - 1; ++i) {
            const QString folder = m_history.Forward.takeLast();
            if (m_history.Back.isEmpty() || m_history.Back.last() != folder)
                m_history.Back.append(folder);
        }
        // Taken off before the scan, which may serve a further move.
        const QString target = m_history.Forward.takeLast();
        m_history.Navigating = true;
        DirBox1->SelectPath(target);
        m_history.Navigating = false;
    }
    m_commands->ScheduleRefresh();
}

void TForm1::ActAufwaertsExecute()
{
    const QString folder = DirBox1->Directory();
    const QString parent = THistory::Parent(folder);
    if (parent != folder)
        DirBox1->SelectPath(parent);
}

void TForm1::StepRow(int delta)
{
    // Down from no row goes to the first; up from none to the last.
    const int selected = m_files->FirstSelectedRow();
    const int row = (selected < 0 && delta < 0 ? m_model->rowCount() : selected) + delta;
    if (row < 0 || row >= m_model->rowCount()) {
        m_dialogs.Beep();
        return;
    }
    // The focus stays where it was, so one can edit file after file.
    QWidget* focus = QApplication::focusWidget();
    // One change of the selection: the panel stores once and loads the new row
    // without being disabled in between, so the focused field keeps the focus.
    ListView1->selectionModel()->setCurrentIndex(
        m_model->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    ListView1->scrollTo(m_model->index(row, 0), QAbstractItemView::EnsureVisible);
    if (focus)
        focus->setFocus();
}

} // namespace km
