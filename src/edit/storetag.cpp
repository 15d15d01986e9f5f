#include "edit/storetag.h"

#include "platform/charset.h"
#include "platform/cp1252.h"
#include "tags/genres.h"

namespace km {

void StoreTypedText(char* field, std::size_t width, const QString& text)
{
    const TCharset& charset = ID3v1Charset();
    const std::string bytes = charset.FromQString(text);
    std::size_t begin = 0;
    std::size_t end = bytes.size();
    while (begin < end && static_cast<unsigned char>(bytes[begin]) <= 0x20)
        ++begin;
    while (end > begin && static_cast<unsigned char>(bytes[end - 1]) <= 0x20)
        --end;
    // No trail byte of a multi-byte set is a blank, so the ends trim alike; the cut keeps characters whole.
    const std::string_view trimmed = std::string_view(bytes).substr(begin, end - begin);
    StoreField(field, width, trimmed.substr(0, charset.Fit(trimmed, width)));
}

namespace {
std::string Trimmed(std::string text)
{
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    while (!text.empty() && blank(text.back()))
        text.pop_back();
    std::size_t begin = 0;
    while (begin < text.size() && blank(text[begin]))
        ++begin;
    return text.substr(begin);
}
} // namespace

std::string ID3v2TypedText(const QString& text)
{
    QString t = text;
    while (!t.isEmpty() && t.back().unicode() <= 0x20)
        t.chop(1);
    qsizetype begin = 0;
    while (begin < t.size() && t[begin].unicode() <= 0x20)
        ++begin;
    return t.mid(begin).toStdString();
}

TID3v2Changes ID3v2ChangesOf(const TID3v1Tag& old, const TID3v1Tag& now, const TID3v2Changes& whole)
{
    TID3v2Changes changes;
    const auto text = [&](TID3v2Field field, std::string_view before, std::string_view after) {
        if (before == after)
            return;
        changes[field] = whole[field] ? *whole[field] : TID3v2Change {Trimmed(ID3v1Charset().ToUtf8(after)), {}};
    };
    text(V2Title, FieldView(old.Titel), FieldView(now.Titel));
    text(V2Artist, FieldView(old.Interpret), FieldView(now.Interpret));
    text(V2Album, FieldView(old.Album), FieldView(now.Album));
    text(V2Year, FieldView(old.Jahr), FieldView(now.Jahr));
    text(V2Comment, FieldView(old.Bemerkung), FieldView(now.Bemerkung));
    if (old.Titelnr != now.Titelnr)
        changes[V2Track] = TID3v2Change {now.Titelnr == 0 ? std::string() : std::to_string(now.Titelnr), {}};
    if (old.Musikrichtung != now.Musikrichtung) {
        const std::string_view name = GenreName(now.Musikrichtung);
        changes[V2Genre] = TID3v2Change {now.Musikrichtung == kNoGenre ? std::string()
                : name.empty() ? "(" + std::to_string(now.Musikrichtung) + ")"
                               : Cp1252ToUtf8(name),
            {}};
    }
    return changes;
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
