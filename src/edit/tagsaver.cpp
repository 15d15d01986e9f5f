#include "edit/tagsaver.h"

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

TTagSaver::TSaveResult TTagSaver::Save(TEintragDaten& entry, const TID3v1Tag& tag)
{
    if (SameTag(tag, entry.Tag))
        return TSaveResult::Unchanged;
    const std::string path = entry.FullPath();
    // Read before the write, so that undo can put it back.
    const TFileTime time = ReadLastWriteTime(path, *m_layer);
    const TWriteResult written = WriteID3v1Block(path, tag, m_datumBeibehalten, WriteQuestions(path), *m_layer);
    const TSaveResult result = Conclude(written, path, entry.Tag, tag, time);
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

TTagSaver::TSaveResult TTagSaver::Save(TTagFile& file, const TID3v1Tag& tag)
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
    return Conclude(file.Write(tag, m_datumBeibehalten, WriteQuestions(path)), path, old, tag, time);
}

TTagSaver::TSaveResult TTagSaver::Conclude(TWriteResult written, const std::string& path, const TID3v1Tag& old,
    const TID3v1Tag& tag, TFileTime time)
{
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
        if (!HoldsTag(path, tag))
            return TSaveResult::Failed;
        break;
    }
    m_undo.PushTagWritten(path, old, time);
    return TSaveResult::Written;
}

bool TTagSaver::HoldsTag(const std::string& path, const TID3v1Tag& tag)
{
    TEintragDaten now;
    try {
        ReadEntry(m_reader, path, now);
    } catch (const TFileError&) {
        return false;
    }
    if (!m_reader.FileExists)
        return false;
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
        // The record goes either way; the old date only with the old tag.
        if (WriteID3v1Tag(record.Path, record.Tag, m_datumBeibehalten, WriteQuestions(record.Path), *m_layer)
            || HoldsTag(record.Path, record.Tag))
            WriteLastWriteTime(record.Path, record.FileTime, *m_layer);
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
