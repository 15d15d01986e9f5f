#include "edit/storetag.h"

#include "platform/cp1252.h"

namespace km {

void StoreTypedText(char* field, std::size_t width, const QString& text)
{
    const std::string bytes = QStringToCp1252(text);
    std::size_t begin = 0;
    std::size_t end = bytes.size();
    while (begin < end && static_cast<unsigned char>(bytes[begin]) <= 0x20)
        ++begin;
    while (end > begin && static_cast<unsigned char>(bytes[end - 1]) <= 0x20)
        --end;
    StoreField(field, width, std::string_view(bytes).substr(begin, end - begin));
}

void KeepSharedFields(TFieldFlags& flags, const TID3v1Tag& base, const TID3v1Tag& t)
{
    flags[FlagTitel] = flags[FlagTitel] && FieldView(t.Titel) == FieldView(base.Titel);
    flags[FlagInterpret] = flags[FlagInterpret] && FieldView(t.Interpret) == FieldView(base.Interpret);
    flags[FlagAlbum] = flags[FlagAlbum] && FieldView(t.Album) == FieldView(base.Album);
    flags[FlagJahr] = flags[FlagJahr] && FieldView(t.Jahr) == FieldView(base.Jahr);
    flags[FlagBemerkung] = flags[FlagBemerkung] && FieldView(t.Bemerkung) == FieldView(base.Bemerkung);
    flags[FlagTitelnr] = flags[FlagTitelnr] && t.Titelnr == base.Titelnr;
    flags[FlagMusikrichtung] = flags[FlagMusikrichtung] && t.Musikrichtung == base.Musikrichtung;
}

TID3v1Tag ApplyTypedFields(TID3v1Tag tag, const TTypedFields& typed, const TFieldFlags& apply)
{
    if (apply[FlagTitel])
        StoreTypedText(tag.Titel, typed.Titel);
    if (apply[FlagInterpret])
        StoreTypedText(tag.Interpret, typed.Interpret);
    if (apply[FlagAlbum])
        StoreTypedText(tag.Album, typed.Album);
    if (apply[FlagJahr])
        StoreTypedText(tag.Jahr, typed.Jahr);
    if (apply[FlagBemerkung])
        StoreTypedText(tag.Bemerkung, typed.Bemerkung);
    if (apply[FlagTitelnr])
        tag.Titelnr = TrackOfText(typed.Titelnr);
    if (apply[FlagMusikrichtung] && typed.Musikrichtung)
        tag.Musikrichtung = *typed.Musikrichtung;
    return tag;
}

bool IsDecimalInteger(const QString& text, qint64* value)
{
    // An optional sign and digits, nothing around them; a 32-bit integer at most.
    if (text.isEmpty() || text.trimmed() != text)
        return false;
    bool ok = false;
    const int number = text.toInt(&ok, 10);
    if (!ok)
        return false;
    if (value)
        *value = number;
    return true;
}

std::uint8_t TrackOfText(const QString& text)
{
    qint64 value = 0;
    if (!IsDecimalInteger(text, &value))
        return 0;
    return static_cast<std::uint8_t>(((value % 256) + 256) % 256);
}

} // namespace km
