#include "edit/casing.h"

#include "edit/storetag.h"
#include "platform/charset.h"
#include "platform/cp1252.h"

#include <QChar>

#include <array>
#include <cstdint>
#include <cstring>

namespace km {

namespace {

// Upper and lower form of every byte; a byte is a letter when one of them differs.
struct TCaseTables {
    std::array<std::uint8_t, 256> Upper;
    std::array<std::uint8_t, 256> Lower;

    TCaseTables()
    {
        for (int b = 0; b < 256; ++b) {
            const char32_t c = Cp1252ToUnicode(static_cast<std::uint8_t>(b));
            // A form Windows-1252 cannot hold (µ's capital, say) is no form.
            const auto map = [b](char32_t to) {
                const int back = UnicodeToCp1252(to);
                return static_cast<std::uint8_t>(back < 0 ? b : back);
            };
            Upper[static_cast<std::size_t>(b)] = map(QChar::toUpper(c));
            Lower[static_cast<std::size_t>(b)] = map(QChar::toLower(c));
        }
    }
};

const TCaseTables& Tables()
{
    static const TCaseTables tables;
    return tables;
}

bool IsSeparator(std::uint8_t b) { return b != 0 && std::strchr(" !\"&()+,-./:;<=>?", b) != nullptr; }

// One step of mode 1: the byte's new form, with the word-start flag carried along.
std::uint8_t FirstLetterStep(std::uint8_t b, bool& wordStart)
{
    const TCaseTables& t = Tables();
    if (t.Upper[b] != b || t.Lower[b] != b) {
        const std::uint8_t out = wordStart ? t.Upper[b] : t.Lower[b];
        wordStart = false;
        return out;
    }
    if (IsSeparator(b))
        wordStart = true;
    return b;
}

std::uint8_t AsciiStep(std::uint8_t b, int mode)
{
    if (mode == CaseUpper && b >= 'a' && b <= 'z')
        return static_cast<std::uint8_t>(b - 'a' + 'A');
    if (mode == CaseLower && b >= 'A' && b <= 'Z')
        return static_cast<std::uint8_t>(b - 'A' + 'a');
    return b;
}

// A character of another set than Windows-1252: letters and their forms are
// the decoded characters' own, "Alles groß" and "Alles klein" change a-z only.
char32_t OtherStep(char32_t c, bool& wordStart, int mode)
{
    if (mode != CaseFirstLetters)
        return c < 0x80 ? AsciiStep(static_cast<std::uint8_t>(c), mode) : c;
    if (c <= 0xFFFF && QChar::isLetter(c)) {
        const char32_t to = wordStart ? QChar::toUpper(c) : QChar::toLower(c);
        wordStart = false;
        return to;
    }
    if (c < 0x80 && IsSeparator(static_cast<std::uint8_t>(c)))
        wordStart = true;
    return c;
}

// Character by character in the set: a changed one only where its new form
// takes the same bytes, so that widths hold and bytes the set leaves
// undefined stay as they are.
void ConvertInSet(const TCharset& charset, char* text, std::size_t length, int mode)
{
    const std::string_view bytes(text, length);
    std::string out;
    bool wordStart = true;
    for (std::size_t at = 0; at < length;) {
        char32_t c = 0;
        const std::size_t n = charset.Step(bytes, at, c);
        const char32_t to = OtherStep(c, wordStart, mode);
        const std::string encoded = to == c ? std::string() : charset.Encode(to);
        out += encoded.size() == n ? encoded : std::string(bytes.substr(at, n));
        at += n;
    }
    std::memcpy(text, out.data(), length);
}

void ConvertInPlace(char* text, std::size_t length, int mode)
{
    if (const TCharset& charset = ID3v1Charset(); !charset.IsDefault()) {
        ConvertInSet(charset, text, length, mode);
        return;
    }
    bool wordStart = true;
    for (std::size_t i = 0; i < length; ++i) {
        const auto b = static_cast<std::uint8_t>(text[i]);
        text[i] = static_cast<char>(mode == CaseFirstLetters ? FirstLetterStep(b, wordStart) : AsciiStep(b, mode));
    }
}

template <std::size_t N>
void ConvertField(char (&field)[N], int mode)
{
    ConvertInPlace(field, FieldView(field).size(), mode);
}

} // namespace

std::string ConvertCase(std::string_view bytes, int mode)
{
    std::string out(bytes);
    ConvertInPlace(out.data(), out.size(), mode);
    return out;
}

QString ConvertCase(const QString& text, int mode)
{
    QString out = text;
    bool wordStart = true;
    if (const TCharset& charset = ID3v1Charset(); !charset.IsDefault()) {
        QString converted;
        for (const char32_t c : text.toUcs4()) {
            // What the set cannot hold becomes "?" when stored, and separates words as that one does.
            if (charset.Encode(c).empty()) {
                wordStart = true;
                converted += QString::fromUcs4(&c, 1);
                continue;
            }
            const char32_t to = OtherStep(c, wordStart, mode);
            converted += QString::fromUcs4(charset.Encode(to).empty() ? &c : &to, 1);
        }
        return converted;
    }
    for (QChar& c : out) {
        const int b = UnicodeToCp1252(c.unicode());
        if (b < 0) {
            // Stored, it becomes "?": it separates words as that one does.
            wordStart = true;
            continue;
        }
        const auto u = static_cast<std::uint8_t>(b);
        const std::uint8_t to = mode == CaseFirstLetters ? FirstLetterStep(u, wordStart) : AsciiStep(u, mode);
        c = QChar(static_cast<char16_t>(Cp1252ToUnicode(to)));
    }
    return out;
}

TID3v1Tag ConvertTagCase(const TID3v1Tag& tag, int mode)
{
    TID3v1Tag out = tag;
    ConvertField(out.Titel, mode);
    ConvertField(out.Interpret, mode);
    ConvertField(out.Album, mode);
    ConvertField(out.Bemerkung, mode);
    return out;
}

TID3v2Change ID3v2CaseChange(const QString& fallback, int mode)
{
    return TID3v2Change {ID3v2TypedText(fallback), [mode](std::string_view text) {
                             return ConvertCase(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), mode)
                                 .toStdString();
                         }};
}

TID3v2Changes ID3v2CaseChanges(const TID3v1Tag& converted, int mode)
{
    TID3v2Changes changes;
    changes[V2Title] = ID3v2CaseChange(ID3v1Charset().ToQString(FieldView(converted.Titel)), mode);
    changes[V2Artist] = ID3v2CaseChange(ID3v1Charset().ToQString(FieldView(converted.Interpret)), mode);
    changes[V2Album] = ID3v2CaseChange(ID3v1Charset().ToQString(FieldView(converted.Album)), mode);
    changes[V2Comment] = ID3v2CaseChange(ID3v1Charset().ToQString(FieldView(converted.Bemerkung)), mode);
    return changes;
}

} // namespace km
