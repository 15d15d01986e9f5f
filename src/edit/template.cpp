#include "edit/template.h"

#include "browse/commandcontext.h"
#include "browse/filelist.h"
#include "browse/listmodel.h"
#include "edit/editfields.h"
#include "edit/editpanel.h"
#include "platform/charset.h"
#include "platform/dialogs.h"
#include "ui/commandtable.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

namespace km {

namespace {
const TActionDef kCommands[] = {
    {"ActFeldUebernehmen", "Extras", "&Feld von Vorlage übernehmen", "Feld von Vorlage übernehmen", QKeySequence(Qt::CTRL | Qt::Key_F)},
    {"ActAllesUebernehmen", "Extras", "&Alles von Vorgabe übernehmen", "Alles von Vorgabe übernehmen", QKeySequence(Qt::CTRL | Qt::Key_U)},
    {"ActAlleFelderloeschen", "Extras", "Alle Felder &löschen", "Alle Felder löschen", QKeySequence(Qt::CTRL | Qt::Key_L)},
};
} // namespace

TTemplate::TTemplate(const TCommandContext& context, TEditPanel& panel)
    : QObject(context.Window)
    , m_commands(context.Commands)
    , m_dialogs(context.Dialogs)
    , m_files(context.Files)
    , m_panel(panel)
{
    connect(panel.Fields().CBVorgabe, &QCheckBox::clicked, this, &TTemplate::CBVorgabeClick);
    panel.IsTemplate = [this](const TEintragDaten& entry) { return &entry == m_entry; };
    // A scan empties the list, and a row may leave it: the template goes with
    // its row. Other resets (new columns) keep the rows and the template.
    const TListModel& model = m_files.Model();
    connect(&model, &QAbstractItemModel::modelReset, this, [this] {
        if (m_entry && m_files.Model().RowOf(m_entry) < 0)
            m_entry = nullptr;
    });
    connect(&model, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this](const QModelIndex&, int first, int last) {
        const int row = m_entry ? m_files.Model().RowOf(m_entry) : -1;
        if (row >= first && row <= last)
            m_entry = nullptr;
    });

    m_commands.Define(kCommands);
    m_commands.On(QStringLiteral("ActFeldUebernehmen"), [this] { ActFeldUebernehmenExecute(); });
    m_commands.On(QStringLiteral("ActAllesUebernehmen"), [this] { ActAllesUebernehmenExecute(); });
    m_commands.On(QStringLiteral("ActAlleFelderloeschen"), [this] { ActAlleFelderloeschenExecute(); });
    m_commands.OnUpdate(QStringLiteral("ActFeldUebernehmen"), [this] { Update(); });
}

void TTemplate::Update()
{
    const bool selected = m_files.HasSelection();
    m_commands.Action(QStringLiteral("ActFeldUebernehmen"))
        ->setEnabled(selected && m_entry && m_panel.FocusedField() != nullptr);
    m_commands.Action(QStringLiteral("ActAllesUebernehmen"))->setEnabled(selected && m_entry);
    m_commands.Action(QStringLiteral("ActAlleFelderloeschen"))->setEnabled(selected);
}

void TTemplate::Drop()
{
    if (const int row = m_entry ? m_files.Model().RowOf(m_entry) : -1; row >= 0)
        m_files.Model().SetRowIcon(row, TListModel::FileIcon);
    m_entry = nullptr;
}

void TTemplate::CBVorgabeClick()
{
    // The row the panel shows: the first selected one.
    const int first = m_files.FirstSelectedRow();
    if (first < 0)
        return;
    TEintragDaten* entry = &m_files.Entry(first);
    const bool wasTemplate = entry == m_entry;
    Drop();
    if (!wasTemplate) {
        m_entry = entry;
        m_files.Model().SetRowIcon(first, TListModel::TemplateIcon);
    }
    m_commands.ScheduleRefresh();
}

void TTemplate::ActFeldUebernehmenExecute()
{
    QWidget* field = m_panel.FocusedField();
    if (!m_files.HasSelection() || !field || !m_entry) {
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
        text = ID3v1Charset().ToQString(FieldView(t.Titel));
    else if (field == f.ESaenger)
        text = ID3v1Charset().ToQString(FieldView(t.Interpret));
    else if (field == f.EAlbum)
        text = ID3v1Charset().ToQString(FieldView(t.Album));
    else if (field == f.EJahr)
        text = ID3v1Charset().ToQString(FieldView(t.Jahr));
    else if (field == f.ETitelnr)
        text = QString::number(t.Titelnr);
    else if (field == f.EBemerkung)
        text = ID3v1Charset().ToQString(FieldView(t.Bemerkung));
    auto* edit = static_cast<QLineEdit*>(field);
    m_panel.SetFieldAsTyped(edit, text);
    edit->selectAll();
}

void TTemplate::ActAllesUebernehmenExecute()
{
    if (!m_files.HasSelection() || !m_entry)
        return;
    const TID3v1Tag t = m_entry->Tag;
    const TEditFields& f = m_panel.Fields();
    const std::pair<QLineEdit*, QString> texts[] = {
        {f.ETitel, ID3v1Charset().ToQString(FieldView(t.Titel))},
        {f.ESaenger, ID3v1Charset().ToQString(FieldView(t.Interpret))},
        {f.EAlbum, ID3v1Charset().ToQString(FieldView(t.Album))},
        {f.EBemerkung, ID3v1Charset().ToQString(FieldView(t.Bemerkung))},
        {f.EJahr, ID3v1Charset().ToQString(FieldView(t.Jahr))},
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
    if (!m_files.HasSelection()) {
        m_dialogs.Beep();
        return;
    }
    m_panel.ClearAsEdit();
}

} // namespace km
