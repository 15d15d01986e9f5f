// The edit panel: loading the selected rows into the fields, storing the
// fields into the entries they came from, and the fields' own events.
#include "edit/editpanel.h"

#include "browse/commandcontext.h"
#include "browse/filelist.h"
#include "browse/listmodel.h"
#include "edit/editfields.h"
#include "edit/storetag.h"
#include "edit/tagsaver.h"
#include "model/cells.h"
#include "model/id3v2compare.h"
#include "model/id3v2reads.h"
#include "platform/charset.h"
#include "platform/dialogs.h"
#include "platform/paths.h"
#include "platform/soon.h"
#include "tags/genres.h"
#include "ui/commandtable.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFocusEvent>
#include <QFont>
#include <QFrame>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <cstring>
#include <optional>

namespace km {

namespace {

// Program-made changes of the fields are no edits, and the mark goes even when one fails.
class TFillingGuard {
public:
    explicit TFillingGuard(bool& filling) : m_filling(filling) { m_filling = true; }
    ~TFillingGuard() { m_filling = false; }
    TFillingGuard(const TFillingGuard&) = delete;
    TFillingGuard& operator=(const TFillingGuard&) = delete;

private:
    bool& m_filling;
};

int FlagOfTag(int tag)
{
    switch (tag) {
    case 1: return TEditPanel::FlagTitel;
    case 2: return TEditPanel::FlagInterpret;
    case 3: return TEditPanel::FlagAlbum;
    case 4: return TEditPanel::FlagTitelnr;
    case 5: return TEditPanel::FlagJahr;
    case 6: return TEditPanel::FlagMusikrichtung;
    case 7: return TEditPanel::FlagBemerkung;
    default: return -1;
    }
}

// Editing commands act on the focused field; undo on the saved changes.
const TActionDef kCommands[] = {
    {"ActRueckgaengig", "Bearbeiten", "&Rückgängig", "Rückgängig", QKeySequence(Qt::CTRL | Qt::Key_Z)},
    {"ActKopieren", "Bearbeiten", "&Kopieren", "Kopieren", QKeySequence(Qt::CTRL | Qt::Key_C)},
    {"ActAussschneiden", "Bearbeiten", "&Ausschneiden", "Ausschneiden", QKeySequence(Qt::CTRL | Qt::Key_X)},
    {"actEinfuegen", "Bearbeiten", "&Einfügen", "Einfügen", QKeySequence(Qt::CTRL | Qt::Key_V)},
    {"EditDelete1", "Bearbeiten", "&Löschen", "", QKeySequence(Qt::Key_Delete)},
    {"ActEditUndo1", "Bearbeiten", "&Rückgängig", "", {}},
    {"EditSelectAll1", "Bearbeiten", "Alles &markieren", "", QKeySequence(Qt::CTRL | Qt::Key_A)},
};

} // namespace

TEditPanel::TEditPanel(const TCommandContext& context, const TEditPanelParts& parts, TTagSaver& saver)
    : QObject(context.Window)
    , m_fields(parts.Fields)
    , Panel5(parts.Frame)
    , ListView1(context.Files.View())
    , m_model(&context.Files.Model())
    , m_statusPanel1(parts.Status)
    , PopEdit(parts.Popup)
    , m_genres(*parts.Genres)
    , m_files(context.Files)
    , m_dialogs(context.Dialogs)
    , m_saver(saver)
    , m_commands(&context.Commands)
{
    m_commands->Define(kCommands);
    const auto fields = m_fields->InFlagOrder();
    for (std::size_t k = 0; k < fields.size(); ++k)
        m_fieldLabels[k] = m_fields->LabelOf(fields[k]);
    m_id3v2Poll = new QTimer(this);
    m_id3v2Poll->setInterval(50);
    connect(m_id3v2Poll, &QTimer::timeout, this, &TEditPanel::TakeID3v2Read);
    QStringList items;
    for (const std::string& name : m_genres.ComboItems())
        items << QString::fromStdString(name);
    m_fields->EMusikrichtung->addItems(items);
    m_fields->EMusikrichtung->setCurrentIndex(0);

    for (QLineEdit* edit : m_fields->TextFields())
        connect(edit, &QLineEdit::textChanged, this, [this, edit] { ETitelChange(edit); });
    connect(m_fields->EMusikrichtung, &QComboBox::currentIndexChanged, this,
        [this] { ETitelChange(m_fields->EMusikrichtung); });
    // Choosing the item already shown is an edit too: it applies to every selected file.
    connect(m_fields->EMusikrichtung, &QComboBox::activated, this, [this] { ETitelChange(m_fields->EMusikrichtung); });
    // The wheel must not reach a box the user never entered (see EditFieldEvent).
    m_fields->EMusikrichtung->setFocusPolicy(Qt::StrongFocus);
    for (QWidget* field : m_fields->InFlagOrder()) {
        field->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(field, &QWidget::customContextMenuRequested, this,
            [this, field](const QPoint& pos) { ETitelContextPopup(field, field->mapToGlobal(pos)); });
    }
    connect(ListView1->selectionModel(), &QItemSelectionModel::selectionChanged, this, &TEditPanel::ListView1SelectItem);
    for (QWidget* field : m_fields->InFlagOrder())
        field->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now && !qobject_cast<QMenuBar*>(now) && !qobject_cast<QMenu*>(now))
            m_commandFocus = now;
    });

    // Cut, copy, paste, delete and the field's own undo act on the focused field.
    for (const char* name : {"ActAussschneiden", "ActKopieren", "actEinfuegen", "EditDelete1", "ActEditUndo1"}) {
        const QString command = QLatin1String(name);
        m_commands->On(command, [this, command] { EditCommandExecute(command); });
    }
    m_commands->On(QStringLiteral("EditSelectAll1"), [this] { EditSelectAll1Execute(); });
    m_commands->OnUpdate(QStringLiteral("ActKopieren"), [this] { EditCommandsUpdate(); });
    m_commands->On(QStringLiteral("ActRueckgaengig"), [this] { ActRueckgaengigExecute(); });
    m_commands->OnUpdate(QStringLiteral("ActRueckgaengig"), [this] { ActRueckgaengigUpdate(); });

    EnablePanel(false);
    FeldFarbenAktuallisieren();
}

bool TEditPanel::IsEditField(const QWidget* widget) const
{
    for (const QLineEdit* edit : m_fields->TextFields())
        if (widget == edit)
            return true;
    return false;
}

QString TEditPanel::ShownText(int flag) const
{
    const TID3v1Tag& t = m_shownTag;
    switch (flag) {
    case FlagTitel: return ID3v1Charset().ToQString(FieldView(t.Titel));
    case FlagInterpret: return ID3v1Charset().ToQString(FieldView(t.Interpret));
    case FlagAlbum: return ID3v1Charset().ToQString(FieldView(t.Album));
    case FlagJahr: return ID3v1Charset().ToQString(FieldView(t.Jahr));
    case FlagBemerkung: return ID3v1Charset().ToQString(FieldView(t.Bemerkung));
    case FlagTitelnr: return QString::number(t.Titelnr);
    default: return QString();
    }
}

void TEditPanel::ListView1SelectItem()
{
    if (IgnoreSelection)
        return;
    QItemSelectionModel* selection = ListView1->selectionModel();
    const int rows = m_model->rowCount();

    // What the panel holds goes to exactly the entries it was loaded from:
    // the rows of the last load while no row has moved since, else found by
    // their mark (a million rows take a while to look through).
    std::vector<int> loaded;
    if (m_loadedRows.empty() || m_loadedGeneration == m_model->Generation()) {
        loaded = m_loadedRows; // none loaded: none marked
    } else {
        for (int row = 0; row < rows; ++row)
            if (m_model->Entry(row)->InSelection == 1)
                loaded.push_back(row);
    }
    for (const int row : loaded) {
        if (row >= rows || m_model->Entry(row)->InSelection != 1)
            continue;
        StorePanel(row);
        m_model->Entry(row)->InSelection = 0;
    }

    ReportTooSmall();
    ReportID3v2Refusals();
    m_id3v2Whole = {};

    ClearPanel(false);
    m_applyFlags.fill(true);
    m_genreEdited = false;
    m_genreByte.reset();
    int count = 0;
    std::uint32_t total = 0;
    int first = -1;
    // The rows selected now, from the top.
    std::vector<int> selected;
    for (const QModelIndex& index : selection->selectedRows())
        selected.push_back(index.row());
    std::sort(selected.begin(), selected.end());
    for (const int row : selected) {
        TEintragDaten* entry = m_model->Entry(row);
        entry->InSelection = 1;
        if (first < 0) {
            first = row;
        } else {
            // Case matters: "A" and "a" differ.
            KeepSharedFields(m_applyFlags, m_model->Entry(first)->Tag, entry->Tag);
        }
        ++count;
        total += entry->Duration;
    }

    m_loadedRows = std::move(selected);
    m_loadedGeneration = m_model->Generation();
    m_applyFlagsAtLoad = m_applyFlags;
    FeldFarbenAktuallisieren();
    if (m_fields->Warnung->isHidden() == (count > 1)) {
        m_fields->Warnung->setVisible(count > 1);
        Panel6Resize();
    }

    ShowID3v2Differences(count == 1 ? m_model->Entry(first) : nullptr);
    if (first >= 0) {
        const TEintragDaten& entry = *m_model->Entry(first);
        m_shownTag = entry.Tag;
        EnablePanel(true);
        ShowLoadedValues();
        m_fields->CBVorgabe->blockSignals(true);
        m_fields->CBVorgabe->setChecked(IsTemplate && IsTemplate(entry));
        m_fields->CBVorgabe->blockSignals(false);
    } else {
        ClearPanel(false);
        EnablePanel(false);
    }
    ShowStatus(count, total, first >= 0 ? m_model->Entry(first) : nullptr);
    m_commands->ScheduleRefresh();
}

struct TEditPanel::TID3v2Pending {
    TEintragDaten* Entry;
    TID3v2Request Request;
    TSoon<TID3v2Finding> Read;
};

TEditPanel::~TEditPanel() = default;

void TEditPanel::ShowID3v2Differences(TEintragDaten* entry)
{
    m_id3v2Pending.reset();
    m_id3v2Poll->stop();
    if (entry && !entry->ID3v2Known) {
        TFileLayer& layer = m_saver.FileLayer();
        if (!layer.ManyThreads()) {
            TID3v2Reader reader(layer);
            SetUpListReader(reader);
            try {
                ReadEntryID3v2(reader, *entry);
            } catch (const TFileError&) {
                // Nothing to say about a file that cannot be read.
            }
        } else {
            TID3v2Request request(*entry);
            TSoon<TID3v2Finding> read([request, &layer] {
                TID3v2Reader reader(layer);
                SetUpListReader(reader);
                return ReadID3v2Finding(reader, request);
            });
            if (const std::optional<TID3v2Finding> finding = read.Wait(QuickWait())) {
                ApplyID3v2Finding(request, *finding, *entry);
            } else {
                // A share that does not answer: the line comes when it does.
                m_id3v2Pending.reset(new TID3v2Pending {entry, std::move(request), std::move(read)});
                m_id3v2Poll->start();
            }
        }
    }
    ShowID3v2Line(entry);
}

void TEditPanel::TakeID3v2Read()
{
    const std::optional<TID3v2Finding> finding = m_id3v2Pending ? m_id3v2Pending->Read.Now() : std::nullopt;
    if (!finding)
        return;
    m_id3v2Poll->stop();
    const std::unique_ptr<TID3v2Pending> pending = std::move(m_id3v2Pending);
    // Only for the row still shown; after a change of the rows the entry may be gone.
    if (m_loadedRows.size() != 1 || m_loadedGeneration != m_model->Generation()
        || m_loadedRows.front() >= m_model->Count() || m_model->Entry(m_loadedRows.front()) != pending->Entry)
        return;
    if (ApplyID3v2Finding(pending->Request, *finding, *pending->Entry))
        ShowID3v2Line(pending->Entry);
}

void TEditPanel::ShowID3v2Line(const TEintragDaten* entry)
{
    QString line;
    if (entry) {
        QStringList fields;
        for (int k = 0; k < kID3v2FieldCount; ++k)
            if (entry->ID3v2Differs & (1u << k))
                fields << QString::fromUtf8(ID3v2FieldCaptions[static_cast<std::size_t>(k)]);
        if (!fields.isEmpty())
            line = QStringLiteral("ID3v2-Tag weicht ab: %1 \u2013 Player zeigen meist den ID3v2-Tag.")
                       .arg(fields.join(QStringLiteral(", ")));
    }
    m_fields->ID3v2Abweichung->setText(line);
    if (m_fields->ID3v2Abweichung->isHidden() != line.isEmpty()) {
        m_fields->ID3v2Abweichung->setVisible(!line.isEmpty());
        Panel6Resize();
    }
}

void TEditPanel::ShowSelectionStatus()
{
    const std::vector<int> rows = m_files.SelectedRows();
    std::uint32_t total = 0;
    for (const int row : rows)
        total += m_files.Entry(row).Duration;
    ShowStatus(static_cast<int>(rows.size()), total, rows.empty() ? nullptr : &m_files.Entry(rows.front()));
}

void TEditPanel::ShowStatus(int count, std::uint32_t total, const TEintragDaten* first)
{
    if (!first) {
        m_statusText.clear();
        m_statusPanel1->clear();
        ShowPendingEdits();
        return;
    }
    const QString length = DurationText(total);
    m_statusText = count == 1 ? QStringLiteral("1 Datei: \"%1\" (Länge: %2)").arg(Shown(first->FileName), length)
                              : QStringLiteral("%1 Dateien (Länge: %2)").arg(count).arg(length);
    ShowPendingEdits();
}

void TEditPanel::ShowPendingEdits()
{
    const bool selected = m_files.HasSelection();
    bool any = false;
    const auto fields = m_fields->InFlagOrder();
    for (std::size_t k = 0; k < fields.size(); ++k) {
        const auto* edit = qobject_cast<const QLineEdit*>(fields[k]);
        const bool edited = selected && (edit ? edit->isModified() : m_genreEdited);
        any = any || edited;
        if (QLabel* label = m_fieldLabels[k]; label && label->font().bold() != edited) {
            // Only the weight is set: the rest of the font still follows the desktop's.
            QFont font;
            if (edited)
                font.setBold(true);
            label->setFont(font);
        }
    }
    if (!m_statusText.isEmpty())
        m_statusPanel1->setText(any ? m_statusText + QStringLiteral(" \u2013 geändert") : m_statusText);
}

void TEditPanel::ShowLoadedValues()
{
    const TFillingGuard filling(m_filling);
    const std::array<int, 6> flags = {FlagTitel, FlagInterpret, FlagAlbum, FlagJahr, FlagBemerkung, FlagTitelnr};
    const auto fields = m_fields->TextFields();
    for (std::size_t k = 0; k < fields.size(); ++k) {
        fields[k]->setText(m_applyFlags[static_cast<std::size_t>(flags[k])] ? ShownText(flags[k]) : QString());
        // Selected whole, ready to be typed over; a field without the focus
        // would show its selection as if it had it.
        if (fields[k]->hasFocus())
            fields[k]->selectAll();
        fields[k]->setModified(false);
    }
    m_fields->EMusikrichtung->setCurrentIndex(
        m_applyFlags[FlagMusikrichtung] ? m_genres.ItemOfGenre(m_shownTag.Musikrichtung) : 0);
}

void TEditPanel::StorePanel(int row)
{
    TEintragDaten& entry = *m_model->Entry(row);
    TTypedFields typed {m_fields->ETitel->text(), m_fields->ESaenger->text(), m_fields->EAlbum->text(),
        m_fields->EJahr->text(), m_fields->EBemerkung->text(), m_fields->ETitelnr->text(), std::nullopt};
    // Only an edit of the box changes the byte: a byte without a name shows as
    // "(keine)" and would otherwise turn into 255.
    if (m_genreByte) {
        typed.Musikrichtung = m_genreByte;
    } else if (m_genreEdited) {
        const int item = m_fields->EMusikrichtung->currentIndex();
        if (item <= 0)
            typed.Musikrichtung = kNoGenre;
        else if (const std::uint8_t genre = m_genres.GenreOfItem(item); genre != kNoGenre)
            typed.Musikrichtung = genre; // a name outside the table keeps the byte
    }
    // The frames get the whole typed texts, not what ID3v1 keeps of them.
    TID3v2Changes whole = m_id3v2Whole;
    const std::array<QLineEdit*, 5> texts {m_fields->ETitel, m_fields->ESaenger, m_fields->EAlbum, m_fields->EJahr,
        m_fields->EBemerkung};
    for (std::size_t k = 0; k < texts.size(); ++k)
        if (!whole[k])
            whole[k] = TID3v2Change {ID3v2TypedText(texts[k]->text()), {}};
    // A field that still shows what was loaded keeps its bytes: text decoded
    // from another set need not encode back to them (undefined bytes).
    TFieldFlags apply = m_applyFlags;
    const std::array<int, 5> flags {FlagTitel, FlagInterpret, FlagAlbum, FlagJahr, FlagBemerkung};
    for (std::size_t k = 0; k < texts.size(); ++k) {
        const auto flag = static_cast<std::size_t>(flags[k]);
        if (apply[flag] && m_applyFlagsAtLoad[flag] && texts[k]->text() == ShownText(flags[k]))
            apply[flag] = false;
    }
    SaveRow(row, ApplyTypedFields(entry.Tag, typed, apply), whole);
}

bool TEditPanel::SaveRow(int row, const TID3v1Tag& newTag, const TID3v2Changes& whole)
{
    TEintragDaten& entry = *m_model->Entry(row);
    switch (m_saver.Save(entry, newTag, whole)) {
    case TTagSaver::TSaveResult::Unchanged:
        return true;
    case TTagSaver::TSaveResult::Written:
        m_files.FillRow(row);
        return true;
    case TTagSaver::TSaveResult::TooSmall:
        m_tooSmall << Shown(entry.FileName);
        return false;
    case TTagSaver::TSaveResult::Failed:
        break;
    }
    return false;
}

void TEditPanel::ReportTooSmall()
{
    if (m_tooSmall.isEmpty())
        return;
    const QString text = m_tooSmall.size() == 1
        ? QStringLiteral("Die Datei \"%1\" ist zu klein, um Titelinformationen aufzunehmen.\r"
                         "Die Änderungen wurden nicht gespeichert.")
              .arg(m_tooSmall.first())
        : QStringLiteral("%1 Dateien sind zu klein, um Titelinformationen aufzunehmen, darunter \"%2\".\r"
                         "Die Änderungen an diesen Dateien wurden nicht gespeichert.")
              .arg(m_tooSmall.size())
              .arg(m_tooSmall.first());
    m_tooSmall.clear();
    m_dialogs.Message(text, TDialogs::Kind::Information, TDialogs::Ok);
}

void TEditPanel::ReportID3v2Refusals()
{
    const QString text = TTagSaver::ID3v2RefusalText(m_saver.TakeID3v2Refusals());
    if (!text.isEmpty())
        m_dialogs.Message(text, TDialogs::Kind::Information, TDialogs::Ok);
}

void TEditPanel::ClearPanel(bool asEdit)
{
    {
        std::optional<TFillingGuard> filling;
        if (!asEdit)
            filling.emplace(m_filling);
        for (QLineEdit* edit : m_fields->TextFields())
            edit->setText(QString());
        m_fields->EMusikrichtung->setCurrentIndex(0);
    }
    if (asEdit) {
        // As if the user had emptied every field: all of them apply.
        for (QLineEdit* edit : {m_fields->ETitel, m_fields->ESaenger, m_fields->EJahr, m_fields->EAlbum, m_fields->EBemerkung}) {
            ETitelChange(edit);
            edit->setModified(true);
        }
        ETitelChange(m_fields->EMusikrichtung);
        ETitelChange(m_fields->ETitelnr);
        m_fields->ETitelnr->setModified(true);
    }
    m_fields->CBVorgabe->blockSignals(true);
    m_fields->CBVorgabe->setChecked(false);
    m_fields->CBVorgabe->blockSignals(false);
}

void TEditPanel::EnablePanel(bool on)
{
    for (QWidget* w : m_fields->InFlagOrder())
        w->setEnabled(on);
    m_fields->CBVorgabe->setEnabled(on);
    m_fields->UpDown1->setEnabled(on);
    m_fields->UpDown2->setEnabled(on);
}

void TEditPanel::FeldFarbenAktuallisieren()
{
    const QPalette app = QApplication::palette();
    const auto fields = m_fields->InFlagOrder();
    for (std::size_t k = 0; k < fields.size(); ++k) {
        QWidget* field = fields[k];
        const bool applies = m_applyFlags[k];
        const QPalette::ColorRole role = applies || field->hasFocus() ? QPalette::Base : QPalette::Button;
        QPalette p = field->palette();
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            p.setColor(group, QPalette::Base, app.color(group, role));
            p.setColor(group, QPalette::Button, app.color(group, role));
        }
        // Disabled (no row selected), it looks as the palette has disabled fields look.
        p.setColor(QPalette::Disabled, QPalette::Base, app.color(QPalette::Disabled, QPalette::Base));
        p.setColor(QPalette::Disabled, QPalette::Button, app.color(QPalette::Disabled, QPalette::Button));
        if (p != field->palette()) {
            m_recolouring = true;
            field->setPalette(p);
            m_recolouring = false;
        }
        // Not by colour alone: an empty differing field says so.
        const QString placeholder = applies ? QString() : TEditFields::DifferingText();
        if (auto* edit = qobject_cast<QLineEdit*>(field))
            edit->setPlaceholderText(placeholder);
        else if (auto* box = qobject_cast<QComboBox*>(field))
            box->setPlaceholderText(placeholder);
    }
}

void TEditPanel::ETitelChange(QWidget* sender)
{
    if (sender == m_fields->EJahr || sender == m_fields->ETitelnr) {
        const QString text = static_cast<QLineEdit*>(sender)->text();
        qint64 value = 0;
        const bool number = IsDecimalInteger(text, &value);
        (sender == m_fields->EJahr ? m_fields->UpDown2 : m_fields->UpDown1)->SetPosition(number ? static_cast<int>(value) : 0);
    }
    if (m_filling)
        return;
    if (sender == m_fields->EMusikrichtung) {
        m_genreEdited = true;
        m_genreByte.reset();
    }
    const int flag = FlagOfTag(sender->property("Tag").toInt());
    if (flag >= 0) {
        m_applyFlags[static_cast<std::size_t>(flag)] = true;
        m_id3v2Whole[static_cast<std::size_t>(flag)].reset();
    }
    FeldFarbenAktuallisieren();
    ShowPendingEdits();
}

void TEditPanel::ETitelEnter(QWidget* sender)
{
    const int flag = FlagOfTag(sender->property("Tag").toInt());
    if (flag >= 0 && !m_applyFlags[static_cast<std::size_t>(flag)]) {
        // A differing field shows the first selected file's value while it has the focus.
        const TFillingGuard filling(m_filling);
        if (auto* edit = qobject_cast<QLineEdit*>(sender)) {
            if (edit->text() != ShownText(flag)) {
                edit->setText(ShownText(flag));
                edit->selectAll();
            }
        } else if (sender == m_fields->EMusikrichtung) {
            m_fields->EMusikrichtung->setCurrentIndex(m_genres.ItemOfGenre(m_shownTag.Musikrichtung));
        }
    }
    FeldFarbenAktuallisieren();
}

void TEditPanel::ETitelExit(QWidget* sender)
{
    const int flag = FlagOfTag(sender->property("Tag").toInt());
    if (flag >= 0 && !m_applyFlags[static_cast<std::size_t>(flag)]) {
        const TFillingGuard filling(m_filling);
        if (auto* edit = qobject_cast<QLineEdit*>(sender))
            edit->setText(QString());
        else if (sender == m_fields->EMusikrichtung)
            m_fields->EMusikrichtung->setCurrentIndex(0);
    }
    FeldFarbenAktuallisieren();
}

void TEditPanel::EJahrExit()
{
    const QString text = m_fields->EJahr->text();
    if (!IsDecimalInteger(text.isEmpty() ? QStringLiteral("0") : text)) {
        m_fields->EJahr->setFocus();
        m_dialogs.Message(QStringLiteral("\r\"%1\" ist keine gültige Jahreszahl.").arg(text), TDialogs::Kind::Error, TDialogs::Ok);
    }
    ETitelExit(m_fields->EJahr);
}

void TEditPanel::ETitelnrExit()
{
    const QString text = m_fields->ETitelnr->text();
    qint64 value = 0;
    if (!IsDecimalInteger(text.isEmpty() ? QStringLiteral("0") : text, &value)) {
        m_fields->ETitelnr->setFocus();
        m_dialogs.Message(QStringLiteral("\r\"%1\" ist keine gültige Titelnummer.").arg(text), TDialogs::Kind::Error, TDialogs::Ok);
    } else if (value < 0 || value > 256) {
        m_fields->ETitelnr->setFocus();
        m_dialogs.Message(QStringLiteral("Die Titelnummer muss zwischen 0 und 256 liegen."), TDialogs::Kind::Error, TDialogs::Ok);
    }
    ETitelExit(m_fields->ETitelnr);
}

bool TEditPanel::EJahrKeyPress(QKeyEvent* key)
{
    // Only typed characters are filtered: keys with Ctrl or Alt are commands
    // (paste, copy...), and Delete, Backspace, arrows and Tab edit or move.
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const QString text = key->text();
    if (text.size() != 1 || !text[0].isPrint())
        return false;
    if (text == QLatin1String("j") || text == QLatin1String("J")) {
        // The current year goes into the year field, as an edit of it.
        m_fields->EJahr->setText(QString::number(m_today().year()).rightJustified(4, QLatin1Char('0')));
        m_fields->EJahr->setModified(true);
        m_fields->EJahr->selectAll();
        return true;
    }
    return !(text.size() == 1 && text[0] >= QLatin1Char('0') && text[0] <= QLatin1Char('9'));
}

void TEditPanel::ETitelContextPopup(QWidget* field, const QPoint& globalPos)
{
    field->setFocus();
    PopEdit->popup(globalPos);
}

void TEditPanel::Panel6Resize()
{
    // As high as the fields need: the warning strip or the ID3v2 line, when shown, adds its height.
    Panel5->setFixedHeight(std::max(m_fields->sizeHint().height() + 8, 88));
}

bool TEditPanel::EditFieldEvent(QWidget* field, QEvent* event)
{
    switch (event->type()) {
    case QEvent::FocusIn:
        ETitelEnter(field);
        return false;
    case QEvent::FocusOut: {
        // A dialog, a popup or the menu bar taking the focus is no leaving.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
            return false;
        if (reason == Qt::MenuBarFocusReason) {
            // As for a popup: the field keeps its selection for the menu's commands.
            QFocusEvent popup(QEvent::FocusOut, Qt::PopupFocusReason);
            QCoreApplication::sendEvent(field, &popup);
            return true;
        }
        if (field == m_fields->EJahr)
            EJahrExit();
        else if (field == m_fields->ETitelnr)
            ETitelnrExit();
        else
            ETitelExit(field);
        return false;
    }
    case QEvent::KeyPress:
        if (field == m_fields->EJahr || field == m_fields->ETitelnr)
            return EJahrKeyPress(static_cast<QKeyEvent*>(event));
        return false;
    case QEvent::PaletteChange:
        // A new palette reaches the fields this way; the colours set here came from the old one.
        if (!m_recolouring)
            FeldFarbenAktuallisieren();
        return false;
    case QEvent::Wheel:
        // Turning the wheel over a box the user is not in changes nothing.
        return field == m_fields->EMusikrichtung && !field->hasFocus();
    case QEvent::ShortcutOverride:
        // The commands' keys reach the commands, also inside a field: a line
        // edit would take Ctrl+Z, Ctrl+U and others for itself.
        return m_commands->OwnsShortcut(QKeySequence(static_cast<QKeyEvent*>(event)->keyCombination()));
    default:
        return false;
    }
}

QWidget* TEditPanel::CommandFocus() const
{
    QWidget* focus = QApplication::focusWidget();
    // Opened from the keyboard, the menu bar holds the focus while its menus are open.
    if (!focus || qobject_cast<QMenuBar*>(focus) || qobject_cast<QMenu*>(focus))
        return m_commandFocus;
    return focus;
}

void TEditPanel::EditSelectAll1Execute()
{
    QWidget* focus = CommandFocus();
    if (focus == ListView1) {
        ListView1->setUpdatesEnabled(false);
        ListView1->selectAll();
        ListView1->setUpdatesEnabled(true);
    } else if (auto* edit = qobject_cast<QLineEdit*>(focus); edit && IsEditField(edit)) {
        edit->selectAll();
    } else {
        m_dialogs.Beep();
    }
}

void TEditPanel::EditCommandExecute(const QString& name)
{
    auto* edit = qobject_cast<QLineEdit*>(CommandFocus());
    if (!edit || !IsEditField(edit))
        return;
    if (name == QLatin1String("ActAussschneiden"))
        edit->cut();
    else if (name == QLatin1String("ActKopieren"))
        edit->copy();
    else if (name == QLatin1String("actEinfuegen"))
        edit->paste();
    else if (name == QLatin1String("EditDelete1"))
        edit->del();
    else if (name == QLatin1String("ActEditUndo1"))
        edit->undo();
}

void TEditPanel::EditCommandsUpdate()
{
    QWidget* focus = CommandFocus();
    auto* edit = qobject_cast<QLineEdit*>(focus);
    if (edit && !IsEditField(edit))
        edit = nullptr;
    const bool selected = edit && edit->hasSelectedText();
    m_commands->Action(QStringLiteral("ActAussschneiden"))->setEnabled(selected);
    m_commands->Action(QStringLiteral("ActKopieren"))->setEnabled(selected);
    m_commands->Action(QStringLiteral("EditDelete1"))->setEnabled(selected);
    m_commands->Action(QStringLiteral("actEinfuegen"))->setEnabled(edit && !QApplication::clipboard()->text().isEmpty());
    m_commands->Action(QStringLiteral("ActEditUndo1"))->setEnabled(edit && edit->isUndoAvailable());
    m_commands->Action(QStringLiteral("EditSelectAll1"))->setEnabled(edit || focus == ListView1);
}

bool TEditPanel::eventFilter(QObject* watched, QEvent* event)
{
    auto* field = qobject_cast<QWidget*>(watched);
    if (field && EditFieldEvent(field, event))
        return true;
    return QObject::eventFilter(watched, event);
}

void TEditPanel::SetFieldAsTyped(QLineEdit* field, const QString& text, std::optional<TID3v2Change> whole)
{
    // Outside Filling, so the change handler counts it as the user's edit.
    QString fitting = text;
    CutToByteWidth(fitting, static_cast<int>(fitting.size()), field->maxLength());
    field->setText(fitting);
    field->setModified(true);
    ETitelChange(field);
    if (const int flag = FlagOfTag(field->property("Tag").toInt()); flag >= 0)
        m_id3v2Whole[static_cast<std::size_t>(flag)] = std::move(whole);
}

void TEditPanel::DropEditsAndReload()
{
    for (int row = 0; row < m_model->rowCount(); ++row)
        m_model->Entry(row)->InSelection = 0;
    ListView1SelectItem();
}

QWidget* TEditPanel::FocusedField() const
{
    QWidget* focus = CommandFocus();
    for (QWidget* field : m_fields->InFlagOrder())
        if (focus == field)
            return field;
    return nullptr;
}

void TEditPanel::ClearAsEdit() { ClearPanel(true); }

void TEditPanel::SetGenreAsChosen(std::uint8_t genre, bool exact)
{
    m_fields->EMusikrichtung->setCurrentIndex(m_genres.ItemOfGenre(genre));
    // Also when the item stays: choosing it is an edit.
    ETitelChange(m_fields->EMusikrichtung);
    if (exact)
        m_genreByte = genre;
}

bool TEditPanel::Enabled() const { return m_fields->ETitel->isEnabled(); }

} // namespace km
