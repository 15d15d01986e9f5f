#include "model/settings.h"

#include "platform/charset.h"

#include <QDir>

namespace km {

TSettings DefaultSettings()
{
    TSettings s;
    s.LastDir = QDir::homePath();
    if (!s.LastDir.endsWith(QLatin1Char('/')))
        s.LastDir += QLatin1Char('/');
    return s;
}

namespace {
using Type = TRegistry::DataType;

void ReadString(const TRegistry& r, const char* name, QString& value)
{
    if (r.GetDataType(QLatin1String(name)) == Type::String)
        value = r.ReadString(QLatin1String(name));
}

void ReadBool(const TRegistry& r, const char* name, bool& value)
{
    if (r.GetDataType(QLatin1String(name)) == Type::Integer)
        value = r.ReadBool(QLatin1String(name));
}

void ReadInt(const TRegistry& r, const char* name, qint32& value)
{
    if (r.GetDataType(QLatin1String(name)) == Type::Integer)
        value = r.ReadInteger(QLatin1String(name));
}

std::optional<QByteArray> ReadBinary(const TRegistry& r, const char* name)
{
    if (r.GetDataType(QLatin1String(name)) != Type::Binary)
        return std::nullopt;
    return r.ReadBinaryData(QLatin1String(name));
}
} // namespace

bool ReadSettings(TRegistry& r, TSettings& s)
{
    if (!r.OpenKey(kSettingsKey, false))
        return false;
    ReadString(r, "LastDir", s.LastDir);
    ReadString(r, "TZ1", s.TZ1);
    ReadString(r, "TZ2", s.TZ2);
    // A value of the wrong size counts as missing.
    if (const auto dn = ReadBinary(r, "DNAufbau"); dn && dn->size() == 3)
        for (int k = 0; k < 3; ++k)
            s.DNAufbau[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(dn->at(k));
    ReadBool(r, "JahrVonDatei", s.JahrVonDatei);
    ReadBool(r, "DatumBeibehalten", s.DatumBeibehalten);
    ReadBool(r, "keinTitel0", s.keinTitel0);
    ReadBool(r, "DirAlbum", s.DirAlbum);
    ReadBool(r, "ID3v2Mitschreiben", s.ID3v2Mitschreiben);
    ReadString(r, "ID3v1Zeichensatz", s.ID3v1Zeichensatz);
    // A name we do not know counts as missing.
    s.ID3v1Zeichensatz = QString::fromLatin1(CharsetOrDefault(s.ID3v1Zeichensatz.toStdString()).Name);
    ReadInt(r, "Sort", s.Sort);
    ReadBool(r, "Unterordner", s.Unterordner);
    ReadInt(r, "BW", s.BW);
    ReadBool(r, "ET", s.ET);
    ReadString(r, "CopyTo", s.CopyTo);
    ReadString(r, "MoveTo", s.MoveTo);
    if (const auto spalten = ReadBinary(r, "Spalten")) {
        const auto* data = reinterpret_cast<const std::uint8_t*>(spalten->constData());
        if (auto pairs = DecodeSpalten(std::span(data, static_cast<std::size_t>(spalten->size()))))
            s.Spalten = std::move(*pairs);
    }
    if (const auto placement = ReadBinary(r, "Placement"))
        if (auto p = DecodePlacement(*placement))
            s.Placement = *p;
    r.CloseKey();
    return true;
}

bool WriteSettings(TRegistry& r, const TSettings& s)
{
    if (!r.OpenKey(kSettingsKey, true))
        return false;
    r.WriteString(QStringLiteral("LastDir"), s.LastDir);
    r.WriteString(QStringLiteral("TZ1"), s.TZ1);
    r.WriteString(QStringLiteral("TZ2"), s.TZ2);
    r.WriteBinaryData(QStringLiteral("DNAufbau"),
        QByteArray(reinterpret_cast<const char*>(s.DNAufbau.data()), static_cast<qsizetype>(s.DNAufbau.size())));
    r.WriteBool(QStringLiteral("JahrVonDatei"), s.JahrVonDatei);
    r.WriteBool(QStringLiteral("DatumBeibehalten"), s.DatumBeibehalten);
    r.WriteBool(QStringLiteral("keinTitel0"), s.keinTitel0);
    r.WriteBool(QStringLiteral("DirAlbum"), s.DirAlbum);
    r.WriteInteger(QStringLiteral("Sort"), s.Sort);
    r.WriteBool(QStringLiteral("Unterordner"), s.Unterordner);
    r.WriteInteger(QStringLiteral("BW"), s.BW);
    r.WriteBool(QStringLiteral("ET"), s.ET);
    r.WriteString(QStringLiteral("CopyTo"), s.CopyTo);
    r.WriteString(QStringLiteral("MoveTo"), s.MoveTo);
    const std::vector<std::uint8_t> spalten = EncodeSpalten(s.Spalten);
    r.WriteBinaryData(QStringLiteral("Spalten"),
        QByteArray(reinterpret_cast<const char*>(spalten.data()), static_cast<qsizetype>(spalten.size())));
    if (s.Placement)
        r.WriteBinaryData(QStringLiteral("Placement"), EncodePlacement(*s.Placement));
    // Values that came after the first ones go behind them.
    r.WriteBool(QStringLiteral("ID3v2Mitschreiben"), s.ID3v2Mitschreiben);
    r.WriteString(QStringLiteral("ID3v1Zeichensatz"), s.ID3v1Zeichensatz);
    return r.CloseKey();
}

} // namespace km
