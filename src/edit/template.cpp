#include "edit/template.h"

#include "ui/commandtable.h"
#include "browse/listmodel.h"
#include "edit/editfields.h"
#include "edit/editpanel.h"
#include "platform/cp1252.h"
#include "platform/dialogs.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTreeView>

namespace km {

TTemplate::TTemplate(
    TCommandTable& commands, TEditPanel& panel, TDialogs& dialogs, QTreeView* list, TListModel& model, QObject* parent)
    : QObject(parent)
    , m_commands(commands)
    , m_panel(panel)
    , m_dialogs(dialogs)
    , m_list(list)
    , m_model(model)
{
    connect(panel.Fields().CBVorgabe, &QCheckBox::clicked, this, &TTemplate::CBVorgabeClick);
    panel.IsTemplate = [this](const TEintragDaten& entry) { return &entry == m_entry; };
    // A scan empties the list, and a row may leave it: the template goes with
    // its row. Other resets (new columns) keep the rows and the template.
    connect(&model, &QAbstractItemModel::modelReset, this, [this] {
        if (m_entry && m_model.RowOf(m_entry) < 0)
            m_entry = nullptr;
    });
    connect(&model, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this](const QModelIndex&, int first, int last) {
        const int row = m_entry ? m_model.RowOf(m_entry) : -1;
        if (row >= first && row <= last)
            m_entry = nullptr;
    });

    commands.On(QStringLiteral("ActFeldUebernehmen"), [this] { ActFeldUebernehmenExecute(); });
    commands.On(QStringLiteral("ActAllesUebernehmen"), [this] { ActAllesUebernehmenExecute(); });
    commands.On(QStringLiteral("ActAlleFelderloeschen"), [this] { ActAlleFelderloeschenExecute(); });
    commands.OnUpdate(QStringLiteral("ActFeldUebernehmen"), [this] { Update(); });
}

bool TTemplate::RowSelected() const { return m_list->selectionModel()->hasSelection(); }

void TTemplate::Update()
{
    const bool selected = RowSelected();
    m_commands.Action(QStringLiteral("ActFeldUebernehmen"))
        ->setEnabled(selected && m_entry && m_panel.FocusedField() != nullptr);
    m_commands.Action(QStringLiteral("ActAllesUebernehmen"))->setEnabled(selected && m_entry);
    m_commands.Action(QStringLiteral("ActAlleFelderloeschen"))->setEnabled(selected);
}

void TTemplate::Drop()
{
    if (const int row = m_entry ? m_model.RowOf(m_entry) : -1; row >= 0)
        m_model.SetRowIcon(row, TListModel::FileIcon);
    m_entry = nullptr;
}

void TTemplate::CBVorgabeClick()
{
    // The row the panel shows: the first selected one.
    const QModelIndexList rows = m_list->selectionModel()->selectedRows();
    int first = -1;
    for (const QModelIndex& index : rows)
        if (first < 0 || index.row() < first)
            first = index.row();
    if (first < 0)
        return;
    TEintragDaten* entry = m_model.Entry(first);
    const bool wasTemplate = entry == m_entry;
    Drop();
    if (!wasTemplate) {
        m_entry = entry;
        m_model.SetRowIcon(first, TListModel::TemplateIcon);
    }
    m_commands.ScheduleRefresh();
}

void TTemplate::ActFeldUebernehmenExecute()
{
    QWidget* field = m_panel.FocusedField();
    if (!RowSelected() || !field || !m_entry) {
        m_dialogs.Beep();
        return;
    }
    const TID3v1Tag& t = m_entry->Tag;
    const TEditFields& f = m_panel.Fields();
    if (field == f.EMusikrichtung) {
        m_panel.SetGenreAsChosen(t.Musikrichtung, false);
        return;
    }
    QString text;
    if (field == f.ETitel)
        text = Cp1252ToQString(FieldView(t.Titel));
    else if (field == f.ESaenger)
        text = Cp1252ToQString(FieldView(t.Interpret));
    else if (field == f.EAlbum)
        text = Cp1252ToQString(FieldView(t.Album));
    else if (field == f.EJahr)
        text = Cp1252ToQString(FieldView(t.Jahr));
    else if (field == f.ETitelnr)
        text = QString::number(t.Titelnr);
    else if (field == f.EBemerkung)
        text = Cp1252ToQString(FieldView(t.Bemerkung));
    auto* edit = static_cast<QLineEdit*>(field);
    m_panel.SetFieldAsTyped(edit, text);
    edit->selectAll();
}

void TTemplate::ActAllesUebernehmenExecute()
{
    if (!RowSelected() || !m_entry)
        return;
    const TID3v1Tag t = m_entry->Tag;
    const TEditFields& f = m_panel.Fields();
    const std::pair<QLineEdit*, QString> texts[] = {
        {f.ETitel, Cp1252ToQString(FieldView(t.Titel))},
        {f.ESaenger, Cp1252ToQString(FieldView(t.Interpret))},
        {f.EAlbum, Cp1252ToQString(FieldView(t.Album))},
        {f.EBemerkung, Cp1252ToQString(FieldView(t.Bemerkung))},
        {f.EJahr, Cp1252ToQString(FieldView(t.Jahr))},
        {f.ETitelnr, QString::number(t.Titelnr)},
    };
    for (const auto& [edit, text] : texts) {
        m_panel.SetFieldAsTyped(edit, text);
        edit->selectAll();
    }
    // The whole tag, so also a genre byte without a name.
    m_panel.SetGenreAsChosen(t.Musikrichtung, true);
}

void TTemplate::ActAlleFelderloeschenExecute()
{
    if (!RowSelected()) {
        m_dialogs.Beep();
        return;
    }
    m_panel.ClearAsEdit();
}

} // namespace km
