#include "platform/registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>
#include <cstdio>
#include <optional>

#include <fcntl.h>
#include <unistd.h>

namespace km {

namespace {

constexpr QStringView kHeader = u"Windows Registry Editor Version 5.00";
constexpr QStringView kRoot = u"HKEY_CURRENT_USER";
// Far beyond any settings file: something this big is not ours.
constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;
// regedit wraps hex values so that no line is longer than this.
constexpr int kLineWidth = 80;

constexpr int kRegSz = 1;
constexpr int kRegBinary = 3;
constexpr int kRegDword = 4;

// One value's data as the file spells it.
struct RegData {
    TRegistry::DataType type = TRegistry::DataType::None;
    QString text;
    qint32 number = 0;
    QByteArray bytes;
    int kind = 0;
};

int HexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

bool IsHexNumber(QStringView s, qsizetype maxDigits)
{
    if (s.isEmpty() || s.size() > maxDigits)
        return false;
    for (QChar c : s)
        if (HexValue(c) < 0)
            return false;
    return true;
}

// Text that a quoted string cannot carry: line breaks and other control
// characters (they would break the line structure) and unpaired surrogates
// (they have no UTF-8 form).
bool NeedsHexForm(QStringView s)
{
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c.unicode() < 0x20 && c != u'\t')
            return true;
        if (c.isHighSurrogate()) {
            if (i + 1 >= s.size() || !s[i + 1].isLowSurrogate())
                return true;
            ++i;
        } else if (c.isLowSurrogate()) {
            return true;
        }
    }
    return false;
}

// A quoted name or string starting at s[i] == '"'; i ends past the closing quote.
bool ReadQuoted(QStringView s, qsizetype& i, QString& out)
{
    for (++i; i < s.size();) {
        const QChar c = s[i++];
        if (c == u'"')
            return true;
        if (c != u'\\') {
            out += c;
            continue;
        }
        if (i >= s.size())
            return false;
        const QChar next = s[i++];
        // Only \\ and \" are escapes; anything else stays as written.
        if (next != u'\\' && next != u'"')
            out += u'\\';
        out += next;
    }
    return false;
}

QString Quote(QStringView s)
{
    QString out;
    out.reserve(s.size() + 2);
    out += u'"';
    for (QChar c : s) {
        if (c == u'\\' || c == u'"')
            out += u'\\';
        out += c;
    }
    out += u'"';
    return out;
}

// "02,03,00": exactly two digits per byte, so a line cut short is not taken for a value.
bool ParseHexBytes(QStringView list, QByteArray& out)
{
    list = list.trimmed();
    if (list.isEmpty())
        return true;
    for (QStringView token : list.split(u',')) {
        token = token.trimmed();
        if (token.size() != 2 || !IsHexNumber(token, 2))
            return false;
        out += static_cast<char>(HexValue(token[0]) * 16 + HexValue(token[1]));
    }
    return true;
}

bool ParseHexData(QStringView data, RegData& d)
{
    QStringView rest = data.mid(3);
    int kind = kRegBinary;
    if (rest.startsWith(u'(')) {
        const qsizetype close = rest.indexOf(u')');
        if (close < 0 || !IsHexNumber(rest.mid(1, close - 1), 8))
            return false;
        kind = static_cast<int>(rest.mid(1, close - 1).toUInt(nullptr, 16));
        rest = rest.mid(close + 1);
    }
    if (!rest.startsWith(u':') || !ParseHexBytes(rest.mid(1), d.bytes))
        return false;

    if (kind == kRegSz) {
        if (d.bytes.size() % 2 != 0)
            return false;
        // Unit by unit: even an unpaired surrogate comes back as it was written.
        const auto* b = reinterpret_cast<const uchar*>(d.bytes.constData());
        for (qsizetype k = 0; k + 1 < d.bytes.size(); k += 2)
            d.text += QChar(static_cast<char16_t>(b[k] | b[k + 1] << 8));
        if (d.text.endsWith(QChar(0)))
            d.text.chop(1);
        d.bytes.clear();
        d.type = TRegistry::DataType::String;
    } else if (kind == kRegBinary) {
        d.type = TRegistry::DataType::Binary;
    } else if (kind == kRegDword && d.bytes.size() == 4) {
        const auto* b = reinterpret_cast<const uchar*>(d.bytes.constData());
        d.number = static_cast<qint32>(b[0] | b[1] << 8 | b[2] << 16 | quint32(b[3]) << 24);
        d.bytes.clear();
        d.type = TRegistry::DataType::Integer;
    } else {
        // A kind we do not use (expandable string, qword...): kept as it is.
        d.kind = kind;
        d.type = TRegistry::DataType::None;
    }
    return true;
}

// The part after "=", continuation lines already joined.
bool ParseData(QStringView data, RegData& d)
{
    if (data.startsWith(u'"')) {
        qsizetype i = 0;
        if (!ReadQuoted(data, i, d.text) || !data.mid(i).trimmed().isEmpty())
            return false;
        d.type = TRegistry::DataType::String;
        return true;
    }
    if (data.startsWith(u"dword:", Qt::CaseInsensitive)) {
        const QStringView digits = data.mid(6);
        if (!IsHexNumber(digits, 8))
            return false;
        d.number = static_cast<qint32>(digits.toUInt(nullptr, 16));
        d.type = TRegistry::DataType::Integer;
        return true;
    }
    if (data.startsWith(u"hex", Qt::CaseInsensitive))
        return ParseHexData(data, d);
    return false; // also "-", regedit's instruction to delete a value
}

void AppendHexLines(QString& out, QString line, const QByteArray& bytes)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    int onLine = 0;
    for (qsizetype k = 0; k < bytes.size(); ++k) {
        // room for "xx," and the continuation backslash
        if (onLine > 0 && line.size() + 4 > kLineWidth) {
            out += line;
            out += u"\\\n";
            line = QStringLiteral("  ");
            onLine = 0;
        }
        const auto b = static_cast<uchar>(bytes[k]);
        line += QLatin1Char(kDigits[b >> 4]);
        line += QLatin1Char(kDigits[b & 15]);
        if (k + 1 < bytes.size())
            line += u',';
        ++onLine;
    }
    out += line;
    out += u'\n';
}

QByteArray Utf16WithTerminator(const QString& text)
{
    QByteArray bytes;
    bytes.reserve((text.size() + 1) * 2);
    for (QChar c : text) {
        bytes += static_cast<char>(c.unicode() & 0xFF);
        bytes += static_cast<char>(c.unicode() >> 8);
    }
    bytes += '\0';
    bytes += '\0';
    return bytes;
}

void AppendValue(QString& out, const QString& name, const RegData& d)
{
    const QString prefix = (name.isEmpty() ? QStringLiteral("@") : Quote(name)) + u'=';
    switch (d.type) {
    case TRegistry::DataType::String:
        if (NeedsHexForm(d.text))
            AppendHexLines(out, prefix + QStringLiteral("hex(1):"), Utf16WithTerminator(d.text));
        else
            out += prefix + Quote(d.text) + u'\n';
        break;
    case TRegistry::DataType::Integer:
        out += prefix + QStringLiteral("dword:%1\n").arg(static_cast<quint32>(d.number), 8, 16, QChar(u'0'));
        break;
    case TRegistry::DataType::Binary:
        AppendHexLines(out, prefix + QStringLiteral("hex:"), d.bytes);
        break;
    case TRegistry::DataType::None:
        AppendHexLines(out, prefix + QStringLiteral("hex(%1):").arg(d.kind, 0, 16), d.bytes);
        break;
    }
}

// The file's text, or nothing when it is not a text file we could have written.
std::optional<QString> DecodeFile(QByteArray raw)
{
    // regedit's own exports are UTF-16LE; accept either byte order by its mark.
    const bool little = raw.startsWith("\xff\xfe");
    if (little || raw.startsWith("\xfe\xff")) {
        raw.remove(0, 2);
        if (raw.size() % 2 != 0)
            return std::nullopt;
        QStringDecoder decoder(little ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE,
                               QStringDecoder::Flag::Stateless);
        QString text = decoder.decode(raw);
        if (decoder.hasError() || text.contains(QChar(0)))
            return std::nullopt;
        return text;
    }
    if (raw.startsWith("\xef\xbb\xbf"))
        raw.remove(0, 3);
    if (raw.contains('\0'))
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(raw);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace

QString TRegistry::DefaultPath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    // The base directory rules ignore relative paths as well.
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/Fennwick/Klangmappe.reg");
}

TRegistry::TRegistry(const QString& path)
    : m_path(path)
{
    Load();
}

TRegistry::~TRegistry()
{
    CloseKey();
}

QString TRegistry::FullKey(const QString& key)
{
    QString k = key;
    while (k.startsWith(u'\\'))
        k.remove(0, 1);
    while (k.endsWith(u'\\'))
        k.chop(1);
    if (k.isEmpty())
        return kRoot.toString();
    if (k.contains(u"\\\\") || NeedsHexForm(k) || k.contains(u'\t'))
        return {};
    return kRoot.toString() + u'\\' + k;
}

int TRegistry::SectionIndex(const QString& fullKey) const
{
    for (size_t i = 0; i < m_sections.size(); ++i)
        if (m_sections[i].first.compare(fullKey, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return -1;
}

bool TRegistry::KeyExists(const QString& key) const
{
    const QString full = FullKey(key);
    if (full.isEmpty())
        return false;
    if (full == kRoot)
        return true;
    // A key exists too when only keys below it have a section.
    const QString below = full + u'\\';
    for (const auto& [name, values] : m_sections)
        if (name.compare(full, Qt::CaseInsensitive) == 0 || name.startsWith(below, Qt::CaseInsensitive))
            return true;
    return false;
}

bool TRegistry::OpenKey(const QString& key, bool canCreate)
{
    const QString full = FullKey(key);
    if (full.isEmpty())
        return false;
    if (const int i = SectionIndex(full); i >= 0) {
        m_openKey = m_sections[i].first;
        return true;
    }
    if (!KeyExists(key)) {
        if (!canCreate)
            return false;
        m_sections.emplace_back(full, Section {});
        m_dirty = true;
    }
    m_openKey = full;
    return true;
}

bool TRegistry::CloseKey()
{
    m_openKey.clear();
    if (!m_dirty)
        return true;
    if (!Save())
        return false;
    m_dirty = false;
    return true;
}

bool TRegistry::IsOpen() const
{
    return !m_openKey.isEmpty();
}

TRegistry::Section* TRegistry::Current()
{
    const int i = IsOpen() ? SectionIndex(m_openKey) : -1;
    return i < 0 ? nullptr : &m_sections[i].second;
}

const TRegistry::Section* TRegistry::Current() const
{
    const int i = IsOpen() ? SectionIndex(m_openKey) : -1;
    return i < 0 ? nullptr : &m_sections[i].second;
}

const TRegistry::Value* TRegistry::Find(const QString& name) const
{
    const Section* section = Current();
    if (!section)
        return nullptr;
    for (const Value& v : *section)
        if (v.name.compare(name, Qt::CaseInsensitive) == 0)
            return &v;
    return nullptr;
}

TRegistry::Value& TRegistry::Put(const QString& name)
{
    Section* section = Current();
    if (!section) {
        m_sections.emplace_back(m_openKey, Section {});
        section = &m_sections.back().second;
    }
    for (Value& v : *section)
        if (v.name.compare(name, Qt::CaseInsensitive) == 0)
            return v;
    Value value;
    value.name = name;
    section->push_back(std::move(value));
    return section->back();
}

void TRegistry::Store(const QString& name, Value value)
{
    // A name the file cannot spell on one line is not stored.
    if (!IsOpen() || NeedsHexForm(name))
        return;
    Value& v = Put(name);
    if (v.type == value.type && v.text == value.text && v.number == value.number && v.bytes == value.bytes
        && v.kind == value.kind)
        return;
    value.name = v.name; // the first writer's spelling stays
    v = std::move(value);
    m_dirty = true;
}

bool TRegistry::ValueExists(const QString& name) const
{
    return Find(name) != nullptr;
}

TRegistry::DataType TRegistry::GetDataType(const QString& name) const
{
    const Value* v = Find(name);
    return v ? v->type : DataType::None;
}

int TRegistry::GetDataSize(const QString& name) const
{
    const Value* v = Find(name);
    if (!v)
        return -1;
    switch (v->type) {
    case DataType::String:
        return static_cast<int>((v->text.size() + 1) * 2);
    case DataType::Integer:
        return 4;
    case DataType::Binary:
    case DataType::None:
        break;
    }
    return static_cast<int>(v->bytes.size());
}

QStringList TRegistry::GetValueNames() const
{
    QStringList names;
    if (const Section* section = Current())
        for (const Value& v : *section)
            names << v.name;
    return names;
}

bool TRegistry::DeleteValue(const QString& name)
{
    Section* section = Current();
    if (!section)
        return false;
    for (auto it = section->begin(); it != section->end(); ++it) {
        if (it->name.compare(name, Qt::CaseInsensitive) == 0) {
            section->erase(it);
            m_dirty = true;
            return true;
        }
    }
    return false;
}

QString TRegistry::ReadString(const QString& name) const
{
    const Value* v = Find(name);
    return v && v->type == DataType::String ? v->text : QString();
}

qint32 TRegistry::ReadInteger(const QString& name) const
{
    const Value* v = Find(name);
    return v && v->type == DataType::Integer ? v->number : 0;
}

bool TRegistry::ReadBool(const QString& name) const
{
    return ReadInteger(name) != 0;
}

QByteArray TRegistry::ReadBinaryData(const QString& name) const
{
    const Value* v = Find(name);
    return v && v->type == DataType::Binary ? v->bytes : QByteArray();
}

void TRegistry::WriteString(const QString& name, const QString& value)
{
    Value v;
    v.type = DataType::String;
    v.text = value;
    Store(name, std::move(v));
}

void TRegistry::WriteInteger(const QString& name, qint32 value)
{
    Value v;
    v.type = DataType::Integer;
    v.number = value;
    Store(name, std::move(v));
}

void TRegistry::WriteBool(const QString& name, bool value)
{
    WriteInteger(name, value ? 1 : 0);
}

void TRegistry::WriteBinaryData(const QString& name, const QByteArray& value)
{
    Value v;
    v.type = DataType::Binary;
    v.bytes = value;
    Store(name, std::move(v));
}

void TRegistry::Load()
{
    m_sections.clear();
    const QFileInfo info(m_path);
    // Until it is read, the next write would throw away whatever the file holds.
    m_keepAside = info.isFile();
    if (!m_keepAside || info.size() > kMaxFileSize)
        return;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    // As much as the file holds: read() takes the whole count as its buffer
    // first. One byte more tells a file that grew meanwhile, read on then.
    QByteArray raw = file.read(std::min<qint64>(info.size(), kMaxFileSize) + 1);
    if (raw.size() > info.size())
        raw += file.read(kMaxFileSize + 1 - raw.size());
    if (raw.size() > kMaxFileSize || file.error() != QFileDevice::NoError)
        return;
    const std::optional<QString> text = DecodeFile(raw);
    if (!text)
        return;
    if (text->trimmed().isEmpty()) { // nothing there to lose
        m_keepAside = false;
        return;
    }
    const QList<QStringView> lines = QStringView(*text).split(u'\n');
    if (lines.first().trimmed() != kHeader)
        return;
    m_keepAside = false;

    int current = -1; // section of the lines that follow
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringView line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[')) {
            current = -1;
            if (!line.endsWith(u']'))
                continue;
            const QString key = line.mid(1, line.size() - 2).trimmed().toString();
            if (key.isEmpty() || key.startsWith(u'-')) // "[-...]" deletes a key on import
                continue;
            current = SectionIndex(key);
            if (current < 0) {
                m_sections.emplace_back(key, Section {});
                current = static_cast<int>(m_sections.size() - 1);
            }
            continue;
        }

        QString name;
        qsizetype pos = 0;
        if (line.startsWith(u'@'))
            pos = 1;
        else if (!line.startsWith(u'"') || !ReadQuoted(line, pos, name))
            continue;
        const QStringView afterName = line.mid(pos).trimmed();
        if (!afterName.startsWith(u'='))
            continue;
        QString data = afterName.mid(1).trimmed().toString();

        if (data.startsWith(u"hex", Qt::CaseInsensitive) && data.endsWith(u'\\')) {
            // regedit continues long hex values on indented lines ending in a backslash.
            data.chop(1);
            bool complete = false;
            while (i + 1 < lines.size()) {
                QStringView next = lines[i + 1].trimmed();
                if (next.isEmpty() || HexValue(next[0]) < 0)
                    break;
                ++i;
                if (!next.endsWith(u'\\')) {
                    data += next;
                    complete = true;
                    break;
                }
                data += next.chopped(1);
            }
            if (!complete)
                continue;
        }

        RegData d;
        if (current < 0 || !ParseData(data, d))
            continue;
        Section& section = m_sections[current].second;
        Value value {name, d.type, d.text, d.number, d.bytes, d.kind};
        auto same = std::find_if(section.begin(), section.end(), [&](const Value& v) {
            return v.name.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (same == section.end()) {
            section.push_back(std::move(value));
        } else {
            value.name = same->name; // a later line wins, as on import
            *same = std::move(value);
        }
    }
}

bool TRegistry::Save()
{
    QString text = kHeader.toString() + QStringLiteral("\n\n");
    for (const auto& [key, values] : m_sections) {
        text += u'[' + key + QStringLiteral("]\n");
        for (const Value& v : values)
            AppendValue(text, v.name, RegData {v.type, v.text, v.number, v.bytes, v.kind});
        text += u'\n';
    }

    if (!QDir().mkpath(QFileInfo(m_path).absolutePath()))
        return false;
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    // Not before the new text is written out, so a failed write leaves no copy behind.
    if (m_keepAside) {
        if (!KeepAside()) {
            file.cancelWriting();
            return false;
        }
        m_keepAside = false;
    }
    return file.commit();
}

// Keeps the file we could not read as "<path>.defekt" (replacing an older copy)
// so that the write that follows loses none of its bytes.
bool TRegistry::KeepAside() const
{
    const QString aside = m_path + QStringLiteral(".defekt");
    // The file itself, not a link to it: the new text replaces the link's target.
    const QString target = QFileInfo(m_path).canonicalFilePath();
    if (target.isEmpty())
        return true; // gone meanwhile
    const QByteArray from = QFile::encodeName(target);
    const QByteArray to = QFile::encodeName(aside);
    const QByteArray temp = to + '.' + QByteArray::number(::getpid());

    // A second name for the old bytes keeps the file in place until the new one
    // replaces it, and costs nothing however big the file is.
    ::unlink(temp.constData());
    bool kept = ::linkat(AT_FDCWD, from.constData(), AT_FDCWD, temp.constData(), AT_SYMLINK_FOLLOW) == 0;
    if (kept && ::rename(temp.constData(), to.constData()) != 0) {
        ::unlink(temp.constData());
        kept = false;
    }
    // Without hard links the file moves aside; the new one follows right after.
    if (!kept)
        kept = ::rename(from.constData(), to.constData()) == 0;

    const QString message = kept
        ? QStringLiteral("Die Einstellungsdatei %1 war nicht lesbar und wurde als %2 aufbewahrt.")
        : QStringLiteral("Die Einstellungsdatei %1 ist nicht lesbar und konnte nicht als %2 aufbewahrt werden; "
                         "sie bleibt unverändert, die Einstellungen werden nicht gespeichert.");
    std::fprintf(stderr, "%s\n", message.arg(m_path, aside).toLocal8Bit().constData());
    return kept;
}

} // namespace km
