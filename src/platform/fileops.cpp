#include "platform/fileops.h"

#include "platform/dialogs.h"
#include "platform/paths.h"
#include "platform/trash.h"

#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace km {

namespace {

constexpr std::size_t kChunk = 1 << 20;
// Not an errno: the copy did not come out as long as its source.
constexpr int kIncomplete = -100001;
constexpr int kAborted = -100002;

std::string BaseOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

bool Exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Two names of one file, however reached: never offered to replace each other.
bool SameFile(const std::string& a, const std::string& b)
{
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

QString Reason(int error)
{
    switch (-error) {
    case 0: return {};
    case ENOSPC:
    case EDQUOT: return QStringLiteral("Auf dem Datenträger ist nicht genügend Platz.");
    case EACCES:
    case EPERM: return QStringLiteral("Zugriff verweigert.");
    case EROFS: return QStringLiteral("Der Datenträger ist schreibgeschützt.");
    case ENOENT: return QStringLiteral("Die Datei oder der Ordner ist nicht vorhanden.");
    case ENAMETOOLONG: return QStringLiteral("Der Name ist zu lang.");
    case EISDIR: return QStringLiteral("Am Ziel gibt es einen Ordner mit diesem Namen.");
    case EEXIST: return QStringLiteral("Am Ziel gibt es bereits eine Datei mit diesem Namen.");
    case EIO: return QStringLiteral("Ein- oder Ausgabefehler des Datenträgers.");
    case -kIncomplete: return QStringLiteral("Die Kopie ist nicht vollständig.");
    default: return QStringLiteral("Systemfehler %1 (%2).").arg(-error).arg(QString::fromLocal8Bit(std::strerror(-error)));
    }
}

} // namespace

bool TFileOpsLayer::MoveToTrash(const std::string& path) { return MoveToDesktopTrash(path); }

TFileOpsLayer& TFileOpsLayer::Posix()
{
    static TFileOpsLayer layer;
    return layer;
}

std::string CopyName(const std::string& name, int n)
{
    const std::size_t dot = name.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > 0;
    const std::string stem = hasExtension ? name.substr(0, dot) : name;
    const std::string extension = hasExtension ? name.substr(dot) : std::string();
    const std::string number = n > 1 ? " (" + std::to_string(n) + ")" : std::string();
    return stem + " - Kopie" + number + extension;
}

TFileOps::TFileOps(TDialogs& dialogs, TFileOpsLayer& layer)
    : m_dialogs(dialogs)
    , m_layer(layer)
{
}

bool TFileOps::Step(const QString& file) { return !Progress || Progress(m_done, m_total, file); }

TFileOps::TStep TFileOps::Fail(const QString& text, int error)
{
    QString message = text;
    if (const QString reason = Reason(error); !reason.isEmpty())
        message += QLatin1Char('\r') + reason;
    if (!m_more) {
        m_dialogs.Message(message, TDialogs::Kind::Error, TDialogs::Ok);
        return TStep::Next;
    }
    message += QStringLiteral("\r\rMit den übrigen Dateien fortfahren?");
    return m_dialogs.Message(message, TDialogs::Kind::Error, TDialogs::Yes | TDialogs::No, TDialogs::Yes)
            == TDialogs::Result::Yes
        ? TStep::Next
        : TStep::Stop;
}

bool TFileOps::Copy(const TPaths& files, const std::string& folder, bool renameOnCollision)
{
    return Transfer(files, folder, false, renameOnCollision);
}

bool TFileOps::Move(const TPaths& files, const std::string& folder, bool renameOnCollision)
{
    return Transfer(files, folder, true, renameOnCollision);
}

bool TFileOps::Transfer(const TPaths& files, const std::string& folder, bool move, bool renameOnCollision)
{
    if (folder.empty())
        return true;
    const std::string target = folder.back() == '/' ? folder : folder + '/';
    m_folder = Shown(target);
    m_total = static_cast<int>(files.size());
    m_replaceAll = m_skipAll = false;
    m_arrived.clear();
    for (m_done = 0; m_done < m_total; ++m_done) {
        const std::string& file = files[static_cast<std::size_t>(m_done)];
        m_more = m_done + 1 < m_total;
        if (!Step(Shown(file)) || TransferOne(file, target, move, renameOnCollision) == TStep::Stop)
            return false;
    }
    Step({});
    return true;
}

TFileOps::TStep TFileOps::TransferOne(const std::string& source, const std::string& folder, bool move, bool renameOnCollision)
{
    const QString file = Shown(source);
    const std::string name = BaseOf(source);
    const QString failed = (move ? QStringLiteral("Die Datei \"%1\" konnte nicht nach \"%2\" verschoben werden.")
                                 : QStringLiteral("Die Datei \"%1\" konnte nicht nach \"%2\" kopiert werden."))
                               .arg(file, m_folder);
    if (!Exists(source))
        return Fail(failed, -ENOENT);

    // A clash that appears between the look and the rename is looked at again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::string target;
        bool replace = false;
        switch (ChooseTarget(source, folder, name, move, renameOnCollision, target, replace)) {
        case TChoice::Skip: return TStep::Next;
        case TChoice::Stop: return TStep::Stop;
        case TChoice::Go: break;
        }
        if (move) {
            const int r = replace ? m_layer.RenameReplacing(source, target) : m_layer.RenameNoReplace(source, target);
            if (r == 0) {
                m_arrived.insert(target);
                return TStep::Next;
            }
            if (r == -EEXIST)
                continue;
            if (r != -EXDEV)
                return Fail(failed, r);
            // Another file system: copy, check, and only then remove the source.
        }
        std::string temp;
        if (const int r = CopyToTemp(source, folder, temp); r != 0)
            return r == kAborted ? TStep::Stop : Fail(failed, r);
        const int r = replace ? m_layer.RenameReplacing(temp, target) : m_layer.RenameNoReplace(temp, target);
        if (r != 0) {
            m_layer.Remove(temp);
            if (r == -EEXIST)
                continue;
            return Fail(failed, r);
        }
        m_arrived.insert(target);
        if (move) {
            if (const int gone = m_layer.Remove(source); gone != 0)
                return Fail(QStringLiteral("Die Datei \"%1\" wurde nach \"%2\" kopiert, konnte am alten Ort aber nicht "
                                           "gelöscht werden.")
                                .arg(file, m_folder),
                    gone);
        }
        return TStep::Next;
    }
    return Fail(failed, -EEXIST);
}

TFileOps::TChoice TFileOps::ChooseTarget(const std::string& source, const std::string& folder, const std::string& name,
    bool move, bool renameOnCollision, std::string& target, bool& replace)
{
    for (int n = 0;; ++n) {
        const std::string candidate = folder + (n == 0 ? name : CopyName(name, n));
        if (!Exists(candidate)) {
            target = candidate;
            return TChoice::Go;
        }
        if (SameFile(source, candidate)) {
            // A move onto itself has nothing to do; a copy onto itself gets a name of its own.
            if (move)
                return TChoice::Skip;
            continue;
        }
        if (n > 0 || renameOnCollision)
            continue;
        // Two files of one name in this operation: the second never replaces the first.
        if (m_arrived.count(candidate)) {
            Fail(QStringLiteral("Die Datei \"%1\" wurde übersprungen: eine andere Datei dieses Vorgangs trägt dort "
                                "schon den Namen \"%2\".")
                     .arg(Shown(source), Shown(name)),
                0);
            return TChoice::Skip;
        }
        if (m_skipAll)
            return TChoice::Skip;
        if (!m_replaceAll) {
            const QString question = QStringLiteral("Im Zielordner \"%1\" gibt es bereits eine Datei \"%2\".\r"
                                                    "Wollen Sie sie durch die Datei aus \"%3\" ersetzen?")
                                         .arg(m_folder, Shown(name), Shown(source));
            const unsigned buttons = m_more ? TDialogs::Yes | TDialogs::YesToAll | TDialogs::No | TDialogs::NoToAll | TDialogs::Cancel
                                            : TDialogs::Yes | TDialogs::No | TDialogs::Cancel;
            switch (m_dialogs.Message(question, TDialogs::Kind::Confirmation, buttons, TDialogs::No)) {
            case TDialogs::Result::Yes: break;
            case TDialogs::Result::YesToAll: m_replaceAll = true; break;
            case TDialogs::Result::No: return TChoice::Skip;
            case TDialogs::Result::NoToAll: m_skipAll = true; return TChoice::Skip;
            default: return TChoice::Stop;
            }
        }
        target = candidate;
        replace = true;
        return TChoice::Go;
    }
}

int TFileOps::CopyToTemp(const std::string& source, const std::string& folder, std::string& temp)
{
    const int in = m_layer.Open(source, O_RDONLY);
    if (in < 0)
        return in;
    TFileHandle input(m_layer, in);
    TFileInformation info;
    if (const int r = m_layer.Stat(in, info); r < 0)
        return r;
    struct stat st {};
    const mode_t mode = ::fstat(in, &st) == 0 ? st.st_mode & 07777 : 0644;

    // A hidden name that no scan lists: a failure never leaves half a file under the real one.
    int out = -EEXIST;
    for (int attempt = 0; attempt < 100 && out == -EEXIST; ++attempt) {
        temp = folder + ".klangmappe-" + QString::number(QRandomGenerator::global()->generate(), 16).toStdString() + ".tmp";
        out = m_layer.Open(temp, O_WRONLY | O_CREAT | O_EXCL);
    }
    if (out < 0)
        return out;

    const QString file = Shown(source);
    int result = 0;
    {
        TFileHandle output(m_layer, out);
        std::vector<char> buffer(kChunk);
        std::int64_t offset = 0;
        for (;;) {
            const long long n = m_layer.ReadAt(in, buffer.data(), buffer.size(), offset);
            if (n <= 0) {
                result = static_cast<int>(n);
                break;
            }
            if (const long long w = m_layer.WriteAt(out, buffer.data(), static_cast<std::size_t>(n), offset); w < 0) {
                result = static_cast<int>(w);
                break;
            }
            offset += n;
            if (!Step(file)) {
                result = kAborted;
                break;
            }
        }
        if (result == 0) {
            ::fchmod(out, mode);
            m_layer.SetTimes(out, info.LastAccessTime, info.LastWriteTime);
            result = m_layer.Sync(out);
        }
        TFileInformation written;
        if (result == 0
            && (m_layer.Stat(out, written) < 0 || written.FileSize != info.FileSize
                || offset != static_cast<std::int64_t>(info.FileSize)))
            result = kIncomplete;
    }
    if (result != 0)
        m_layer.Remove(temp);
    return result;
}

bool TFileOps::Delete(const TPaths& files, bool forGood)
{
    if (files.empty())
        return true;
    const int count = static_cast<int>(files.size());
    QString question;
    if (count == 1) {
        const QString name = Shown(BaseOf(files.front()));
        question = forGood ? QStringLiteral("Wollen Sie die Datei \"%1\" wirklich endgültig löschen?\r"
                                            "Sie kommt nicht in den Papierkorb und kann nicht wiederhergestellt werden.")
                                 .arg(name)
                           : QStringLiteral("Wollen Sie die Datei \"%1\" wirklich in den Papierkorb verschieben?").arg(name);
    } else {
        question = forGood ? QStringLiteral("Wollen Sie die %1 markierten Dateien wirklich endgültig löschen?\r"
                                            "Sie kommen nicht in den Papierkorb und können nicht wiederhergestellt werden.")
                                 .arg(count)
                           : QStringLiteral("Wollen Sie die %1 markierten Dateien wirklich in den Papierkorb verschieben?")
                                 .arg(count);
    }
    // Deleting for good is not what Enter should do.
    if (m_dialogs.Message(question, forGood ? TDialogs::Kind::Warning : TDialogs::Kind::Confirmation,
            TDialogs::Yes | TDialogs::No, forGood ? TDialogs::No : TDialogs::Yes)
        != TDialogs::Result::Yes)
        return false;

    m_total = count;
    for (m_done = 0; m_done < m_total; ++m_done) {
        const std::string& path = files[static_cast<std::size_t>(m_done)];
        const QString file = Shown(path);
        m_more = m_done + 1 < m_total;
        if (!Step(file))
            return false;
        TStep step = TStep::Next;
        if (forGood) {
            if (const int r = m_layer.Remove(path); r != 0)
                step = Fail(QStringLiteral("Die Datei \"%1\" konnte nicht gelöscht werden.").arg(file), r);
        } else if (!m_layer.MoveToTrash(path)) {
            // Never deleted for good instead: the file stays where it is.
            step = Fail(QStringLiteral("Die Datei \"%1\" konnte nicht in den Papierkorb verschoben werden. "
                                       "Sie wurde nicht gelöscht.")
                            .arg(file),
                0);
        }
        if (step == TStep::Stop)
            return false;
    }
    Step({});
    return true;
}

} // namespace km
