#include "edit/tagsaver.h"

#include "edit/storetag.h"
#include "platform/dialogs.h"
#include "platform/paths.h"

#include <QByteArray>
#include <QFileInfo>

namespace km {

namespace {
QString NameOf(const std::string& path)
{
    const QString full = Shown(path);
    return full.mid(full.lastIndexOf(QLatin1Char('/')) + 1);
}
} // namespace

TTagSaver::TTagSaver(TDialogs& dialogs, TFileLayer& layer) : m_dialogs(dialogs), m_layer(&layer), m_reader(layer)
{
    SetUpListReader(m_reader);
}

void TTagSaver::SetFileLayer(TFileLayer& layer)
{
    m_layer = &layer;
    m_reader.SetFileLayer(layer);
}

TWriteQuestions TTagSaver::WriteQuestions(const std::string& path) const
{
    TWriteQuestions ask;
    ask.TimesNotKept = [this, path](int) {
        m_dialogs.Message(QStringLiteral("Die Titelinformationen der Datei \"%1\" wurden gespeichert, aber ihr Datum "
                                         "konnte nicht beibehalten werden.")
                              .arg(NameOf(path)),
            TDialogs::Kind::Information, TDialogs::Ok);
    };
    ask.FileGone = [this] {
        m_dialogs.Message(QString::fromUtf8(kFileGoneText), TDialogs::Kind::Information, TDialogs::Ok);
    };
    ask.RetryAfterFailure = [this](const char* question) {
        return m_dialogs.Message(QString::fromUtf8(question), TDialogs::Kind::Confirmation,
                   TDialogs::Yes | TDialogs::No)
            == TDialogs::Result::Yes;
    };
    return ask;
}

std::optional<TID3v2Job> TTagSaver::JobFor(const TID3v1Tag& old, const TID3v1Tag& tag, const TID3v2Changes& whole) const
{
    if (!m_id3v2Mitschreiben)
        return std::nullopt;
    TID3v2Job job;
    job.Change = [changes = ID3v2ChangesOf(old, tag, whole)](std::span<const std::uint8_t> bytes) {
        return PatchID3v2Tag(bytes, changes);
    };
    return job;
}

QString TTagSaver::ID3v2RefusalText(const std::vector<TID3v2Refusal>& refusals)
{
    if (refusals.empty())
        return {};
    const TID3v2Refusal& first = refusals.front();
    if (refusals.size() == 1)
        return QStringLiteral("Der ID3v2-Tag von \"%1\" wurde nicht geändert (%2). Die ID3v1-Felder wurden gespeichert.")
            .arg(NameOf(first.Path), QString::fromStdString(first.Reason));
    return QStringLiteral("Die ID3v2-Tags von %1 Dateien wurden nicht geändert, darunter \"%2\" (%3). Die "
                          "ID3v1-Felder wurden gespeichert.")
        .arg(refusals.size())
        .arg(NameOf(first.Path), QString::fromStdString(first.Reason));
}

TTagSaver::TSaveResult TTagSaver::Save(TEintragDaten& entry, const TID3v1Tag& tag, const TID3v2Changes& whole)
{
    if (SameTag(tag, entry.Tag))
        return TSaveResult::Unchanged;
    const std::string path = entry.FullPath();
    // Read before the write, so that undo can put it back.
    const TFileTime time = ReadLastWriteTime(path, *m_layer);
    std::optional<TID3v2Job> job = JobFor(entry.Tag, tag, whole);
    const TWriteResult written
        = WriteID3v1Block(path, tag, m_datumBeibehalten, WriteQuestions(path), *m_layer, job ? &*job : nullptr);
    const TSaveResult result = Conclude(written, path, entry.Tag, tag, time, job ? &*job : nullptr);
    if (result != TSaveResult::Written)
        return result;
    try {
        ReadEntry(m_reader, path, entry);
    } catch (const TFileError& e) {
        // Written, but not to be read back: the entry holds what was written.
        entry.Tag = tag;
        m_dialogs.ShowError(QString::fromUtf8(e.what()));
    }
    return TSaveResult::Written;
}

TTagSaver::TSaveResult TTagSaver::Save(TTagFile& file, const TID3v1Tag& tag, const TID3v2Changes& whole)
{
    // Without a read there is no old tag to compare with or to put back.
    if (!file.IsRead())
        return TSaveResult::Failed;
    const TID3v2Reader& read = file.Reader();
    const TID3v1Tag old = TagFromInfos(read.ID3v1);
    if (SameTag(tag, old))
        return TSaveResult::Unchanged;
    const std::string& path = read.FileName;
    // Known from the read; undo puts it back.
    TFileTime time = read.FileInformation.LastWriteTime;
    if (time == 0)
        time = ReadLastWriteTime(path, *m_layer);
    std::optional<TID3v2Job> job = JobFor(old, tag, whole);
    TID3v2Job* v2 = job ? &*job : nullptr;
    return Conclude(file.Write(tag, m_datumBeibehalten, WriteQuestions(path), v2), path, old, tag, time, v2);
}

TTagSaver::TSaveResult TTagSaver::Conclude(TWriteResult written, const std::string& path, const TID3v1Tag& old,
    const TID3v1Tag& tag, TFileTime time, TID3v2Job* job)
{
    bool id3v2 = job && job->Changed;
    switch (written) {
    case TWriteResult::Written:
        break;
    case TWriteResult::TooSmall:
        return TSaveResult::TooSmall;
    case TWriteResult::DamagedID3v2:
        // Nothing to retry: the file stays unwritable until its tag is mended.
        m_dialogs.Message(QString::fromUtf8(DamagedID3v2Text("%1")).arg(NameOf(path)), TDialogs::Kind::Error,
            TDialogs::Ok);
        return TSaveResult::Failed;
    case TWriteResult::Failed:
        // A write can fail after the block went in (a failing close, a date
        // not set back): the undo list follows the file.
        if (!HoldsTag(path, tag, job, &id3v2))
            return TSaveResult::Failed;
        break;
    }
    if (job && !job->Refused.empty())
        m_id3v2Refusals.push_back({path, job->Refused});
    m_undo.PushTagWritten(path, old, time, id3v2 ? std::move(job->Undo) : TID3v2Undo {});
    return TSaveResult::Written;
}

bool TTagSaver::HoldsTag(const std::string& path, const TID3v1Tag& tag, const TID3v2Job* job, bool* id3v2)
{
    TEintragDaten now;
    const bool checkID3v2 = job && job->Changed && id3v2;
    if (id3v2)
        *id3v2 = false;
    m_reader.ReadFields = checkID3v2;
    try {
        ReadEntry(m_reader, path, now);
    } catch (const TFileError&) {
        m_reader.ReadFields = false;
        return false;
    }
    m_reader.ReadFields = false;
    if (!m_reader.FileExists)
        return false;
    if (checkID3v2)
        *id3v2 = m_reader.ID3v2Fields.Texts == job->Expected.Texts;
    // The empty tag is written by taking the block out.
    if (IsEmptyTag(tag))
        return !m_reader.HasID3v1;
    // As the block reads back: reading trims the fields' ends.
    std::uint8_t block[kID3v1BlockSize];
    EncodeID3v1Block(tag, block);
    TID3v1Infos infos;
    DecodeID3v1Block(block, infos);
    return m_reader.HasID3v1 && SameTag(now.Tag, TagFromInfos(infos));
}

bool TTagSaver::UndoTop()
{
    const TRueckgaengig* top = m_undo.Top();
    if (!top)
        return false;
    // A copy: while a question is open, other commands may change the list.
    const TRueckgaengig record = *top;
    if (record.Kind == TRueckgaengig::TagWritten) {
        // The ID3v2 frames the save replaced go back with the block.
        std::optional<TID3v2Job> job;
        if (!record.ID3v2.Empty()) {
            job.emplace();
            job->Change = [&undo = record.ID3v2](std::span<const std::uint8_t> bytes) {
                return RestoreID3v2Tag(bytes, undo);
            };
        }
        // The record goes either way; the old date only with the old tag.
        const TWriteResult written = WriteID3v1Block(record.Path, record.Tag, m_datumBeibehalten,
            WriteQuestions(record.Path), *m_layer, job ? &*job : nullptr);
        if (written == TWriteResult::Written || written == TWriteResult::TooSmall || HoldsTag(record.Path, record.Tag))
            WriteLastWriteTime(record.Path, record.FileTime, *m_layer);
        if (job && !job->Refused.empty() && written == TWriteResult::Written)
            m_id3v2Refusals.push_back({record.Path, job->Refused});
    } else if (record.Kind == TRueckgaengig::Renamed) {
        UndoRename(record);
    } else {
        return true; // unknown: left where it is
    }
    m_undo.Pop();
    return true;
}

void TTagSaver::UndoRename(const TRueckgaengig& record)
{
    if (!QFileInfo::exists(Shown(record.Path)))
        m_dialogs.Message(QStringLiteral("Die Datei \"%1\" konnte nicht mehr gefunden werden.").arg(NameOf(record.Path)),
            TDialogs::Kind::Error, TDialogs::Ok);
    while (m_layer->RenameNoReplace(record.Path, record.OldPath) != 0) {
        const auto answer = m_dialogs.Message(
            QStringLiteral("Der Dateiname konnte nicht geändert werden. Wahrscheinlich ist die Datei oder der Datenträger "
                           "schreibgeschützt.\rWollen Sie es nocheinmal versuchen, die Datei umzubenennen?"),
            TDialogs::Kind::Error, TDialogs::Yes | TDialogs::No);
        if (answer != TDialogs::Result::Yes)
            return;
    }
    WriteLastWriteTime(record.OldPath, record.FileTime, *m_layer);
}

QString TTagSaver::UndoCaption() const
{
    const TRueckgaengig* top = m_undo.Top();
    if (top && top->Kind == TRueckgaengig::Renamed)
        return QStringLiteral("Rückgängig: Umbenennen");
    if (top && top->Kind == TRueckgaengig::TagWritten)
        return QStringLiteral("Rückgängig: Titelinformationen speichern (%1)").arg(NameOf(top->Path));
    return QStringLiteral("Rückgängig");
}

void TTagSaver::PushRenamed(const std::string& newPath, const std::string& oldPath, TFileTime time)
{
    m_undo.PushRenamed(newPath, oldPath, time);
}

void TTagSaver::DropPath(const std::string& path) { m_undo.DropPath(path); }

void TTagSaver::RehomePath(const std::string& oldPath, const std::string& folder) { m_undo.RehomePath(oldPath, folder); }

} // namespace km
