#include "names/namerenamer.h"

#include "edit/tagsaver.h"
#include "model/entry.h"
#include "platform/charset.h"
#include "platform/paths.h"
#include "tags/writer.h"

#include <QDate>

#include <fcntl.h>

namespace km {

namespace {

bool IsEmpty(std::string_view field) { return field.empty(); }

// The creation, access and write times of a file; zero where unknown.
TFileInformation ReadTimes(TFileLayer& layer, const std::string& path)
{
    TFileInformation info;
    const int fd = layer.Open(path, O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return info;
    TFileHandle handle(layer, fd);
    if (layer.Stat(fd, info) != 0)
        info = TFileInformation {};
    return info;
}

} // namespace

TNameRenamer::TNameRenamer(TDialogs& dialogs, TTagSaver& saver, const TNameStructure& names)
    : CurrentYear([] { return QDate::currentDate().year(); })
    , m_dialogs(dialogs)
    , m_saver(saver)
    , m_names(names)
{
    QStringList labels;
    for (const std::uint8_t stored : names.DNAufbau)
        if (const QString label = PartLabel(PartKind(stored)); !label.isEmpty())
            labels << label;
    m_labels = labels.join(QStringLiteral(", "));
}

bool TNameRenamer::Used(int kind) const
{
    for (const std::uint8_t stored : m_names.DNAufbau)
        if (PartKind(stored) == kind)
            return true;
    return false;
}

bool TNameRenamer::AllEmpty(const TEintragDaten& entry)
{
    const TID3v1Tag& tag = entry.Tag;
    const bool allEmpty = (IsEmpty(FieldView(tag.Titel)) || !Used(PartTitel))
        && (IsEmpty(FieldView(tag.Interpret)) || !Used(PartInterpret))
        && (IsEmpty(FieldView(tag.Album)) || !Used(PartAlbum)) && (IsEmpty(FieldView(tag.Jahr)) || !Used(PartJahr));
    if (allEmpty && !m_answers[AskAllEmpty]) {
        const QString text = QStringLiteral("Alle benötigten Felder (%1) sind leer.\rDie Datei \"%2\" kann nicht umbenannt werden.")
                                 .arg(m_labels, Shown(entry.FileName));
        m_answers[AskAllEmpty] =
            m_dialogs.Message(text, TDialogs::Kind::Error, TDialogs::Ok | TDialogs::Cancel | TDialogs::All);
    }
    return allEmpty;
}

bool TNameRenamer::AskForEmptyFields(const TEintragDaten& entry)
{
    struct TQuestion {
        TAsked Asked;
        int Kind;
        std::string_view Field;
        const char* Text;
    };
    const TID3v1Tag& tag = entry.Tag;
    const TQuestion questions[] = {
        {AskTitel, PartTitel, FieldView(tag.Titel), "Sie haben keinen Titel angegeben."},
        {AskInterpret, PartInterpret, FieldView(tag.Interpret), "Sie haben keinen Interpreten angegeben."},
        {AskAlbum, PartAlbum, FieldView(tag.Album), "Sie haben kein Album angegeben."},
        {AskJahr, PartJahr, FieldView(tag.Jahr), "Sie haben kein Jahr angegeben."},
    };
    for (const TQuestion& q : questions) {
        if (!Used(q.Kind) || !IsEmpty(q.Field))
            continue;
        std::optional<TDialogs::Result>& answer = m_answers[q.Asked];
        if (answer == TDialogs::Result::NoToAll)
            return false;
        if (answer == TDialogs::Result::YesToAll)
            continue;
        const TDialogs::Result given = m_dialogs.Message(QString::fromUtf8(q.Text)
                + QStringLiteral("\rWollen Sie die Datei \"%1\" trotzdem umbenennen?").arg(Shown(entry.FileName)),
            TDialogs::Kind::Warning,
            TDialogs::Yes | TDialogs::No | TDialogs::Cancel | TDialogs::NoToAll | TDialogs::YesToAll);
        answer = given;
        if (given != TDialogs::Result::Yes && given != TDialogs::Result::YesToAll)
            return false;
    }
    return true;
}

bool TNameRenamer::Collides(const std::string& folder, const std::string& from, const std::string& to) const
{
    TFileLayer& layer = m_saver.FileLayer();
    TFileInformation target;
    if (layer.StatLink(folder + to, target) != 0)
        return false;
    // Where the system ignores case, both names may be this very file.
    TFileInformation source;
    return layer.StatLink(folder + from, source) != 0 || source.FileIndex != target.FileIndex
        || source.VolumeSerialNumber != target.VolumeSerialNumber || source.NumberOfLinks != 1;
}

TNameRenamer::TOutcome TNameRenamer::Rename(TEintragDaten& entry)
{
    const std::string old = entry.FileName;
    const std::string& folder = entry.Folder;

    bool skip = AllEmpty(entry);
    if (!skip)
        skip = !AskForEmptyFields(entry);
    // A box closed without an answer counts as Abbrechen.
    for (const auto& answer : m_answers)
        if (answer && (*answer == TDialogs::Result::Cancel || *answer == TDialogs::Result::None))
            return TOutcome::Stopped;
    if (skip)
        return TOutcome::Skipped;

    const QString built = BuildFileName(entry.Tag, m_names);
    // ".mp3" alone would hide the file and lose its name: it keeps its own.
    const std::string now = built.isEmpty() ? old : OnDisk(built + QStringLiteral(".mp3"));

    if (now != old && Collides(folder, old, now)) {
        m_dialogs.Beep();
        m_dialogs.Message(QStringLiteral("Es gibt bereits eine andere Datei mit dem Namen \"%1\".\rDie Datei kann nicht umbenant werden.")
                              .arg(Shown(now)),
            TDialogs::Kind::Error, TDialogs::Ok);
        return TOutcome::Stopped;
    }

    TFileLayer& layer = m_saver.FileLayer();
    TFileInformation times;
    if (m_names.JahrVonDatei || m_names.DatumBeibehalten)
        times = ReadTimes(layer, folder + old);

    TOutcome outcome = built.isEmpty() ? TOutcome::NoName : TOutcome::Kept;
    if (now != old) {
        outcome = TOutcome::Renamed;
        while (layer.RenameNoReplace(folder + old, folder + now) != 0) {
            const auto answer = m_dialogs.Message(
                QStringLiteral("Die Datei \"%1\" konnte nicht umbenannt werden.\rWollen Sie es erneut versuchen?").arg(Shown(old)),
                TDialogs::Kind::Error, TDialogs::Yes | TDialogs::No);
            if (answer != TDialogs::Result::Yes) {
                outcome = TOutcome::Failed;
                break;
            }
        }
        if (outcome == TOutcome::Renamed) {
            m_saver.PushRenamed(folder + now, folder + old, times.LastWriteTime);
            entry.FileName = now;
        }
    }
    if (m_names.JahrVonDatei)
        SetYearIntoDate(entry, times);
    return outcome;
}

void TNameRenamer::SetYearIntoDate(TEintragDaten& entry, const TFileInformation& times)
{
    TFileLayer& layer = m_saver.FileLayer();
    const int fd = layer.Open(entry.FullPath(), O_WRONLY | O_NONBLOCK);
    if (fd < 0)
        return;
    TFileHandle handle(layer, fd);
    TFileTime lastWrite = times.LastWriteTime;
    if (m_names.DatumBeibehalten)
        lastWrite = WithYear(lastWrite, ID3v1Charset().ToQString(FieldView(entry.Tag.Jahr)), CurrentYear());
    // The list shows the date the file now has.
    if (layer.SetTimes(fd, times.LastAccessTime, lastWrite) == 0 && lastWrite != 0)
        entry.FileTime = lastWrite;
}

std::string AskAndRename(
    TDialogs& dialogs, TTagSaver& saver, const std::string& folder, const std::string& oldName, const std::string& offered)
{
    if (oldName.empty())
        return oldName;
    TFileLayer& layer = saver.FileLayer();
    std::string start = offered.empty() ? oldName : offered;
    for (;;) {
        const std::size_t dot = start.rfind('.');
        const std::string stem = dot == std::string::npos ? start : start.substr(0, dot);
        const QString shown = Shown(stem);
        QString value = shown;
        if (!dialogs.InputQuery(QStringLiteral("Datei umbenennen"), QStringLiteral("Bitte geben sie den neuen Dateinamen an:"), value))
            return oldName;
        // Text left as offered keeps its bytes (those that are no UTF-8, the
        // extension's case, blanks at the ends): OK on it asks for no new name.
        std::string now = start;
        if (value != shown) {
            value = value.trimmed();
            // A name of its extension alone would hide the file; a "/" would move it away.
            QString refusal;
            if (value.isEmpty())
                refusal = QStringLiteral("Bitte geben Sie einen Dateinamen an.");
            else if (value.contains(QChar(0)))
                refusal = QStringLiteral("Ein Dateiname darf kein Nullzeichen enthalten.");
            else if (value.contains(QLatin1Char('/')))
                refusal = QStringLiteral("Ein Dateiname darf keinen Schrägstrich (/) enthalten.");
            if (!refusal.isEmpty()) {
                dialogs.Message(refusal + QStringLiteral("\rDie Datei wurde nicht umbenannt."), TDialogs::Kind::Error,
                    TDialogs::Ok);
                return oldName;
            }
            now = OnDisk(value) + ".mp3";
        }
        if (now == oldName)
            return oldName;
        // A rename keeps the date; one that cannot be read is left alone, not set to now.
        const TFileTime time = KnownLastWriteTime(folder + oldName, layer);
        if (layer.RenameNoReplace(folder + oldName, folder + now) == 0) {
            WriteLastWriteTime(folder + now, time, layer);
            return now;
        }
        const auto answer = dialogs.Message(
            QStringLiteral("Der Dateiname konnte nicht geändert werden. Wahrscheinlich ist die Datei oder der Datenträger "
                           "schreibgeschützt oder wird gerade verwendet.\r\nWollen Sie es noch einmal versuchen?"),
            TDialogs::Kind::Error, TDialogs::Yes | TDialogs::No);
        if (answer != TDialogs::Result::Yes)
            return oldName;
        start = now;
    }
}

} // namespace km
