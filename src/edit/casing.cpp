#include "edit/casing.h"

#include "edit/storetag.h"
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

void ConvertInPlace(char* text, std::size_t length, int mode)
{
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
    changes[V2Title] = ID3v2CaseChange(Cp1252ToQString(FieldView(converted.Titel)), mode);
    changes[V2Artist] = ID3v2CaseChange(Cp1252ToQString(FieldView(converted.Interpret)), mode);
    changes[V2Album] = ID3v2CaseChange(Cp1252ToQString(FieldView(converted.Album)), mode);
    changes[V2Comment] = ID3v2CaseChange(Cp1252ToQString(FieldView(converted.Bemerkung)), mode);
    return changes;
}

} // namespace km
