#include "export/workbook.h"

#include "model/cells.h"
#include "model/entry.h"
#include "platform/charset.h"
#include "platform/paths.h"
#include "tags/genres.h"


#include <xlsxwriter.h>

namespace km {

QStringList WorkbookRow(const TEintragDaten& e)
{
    const TID3v1Tag& tag = e.Tag;
    const TMP3Info& info = e.MP3Info;
    return {
        Shown(e.Folder),
        Shown(e.FileName),
        ID3v1Charset().ToQString(FieldView(tag.Titel)),
        ID3v1Charset().ToQString(FieldView(tag.Interpret)),
        ID3v1Charset().ToQString(FieldView(tag.Album)),
        QString::number(tag.Titelnr),
        ID3v1Charset().ToQString(FieldView(tag.Jahr)),
        ID3v1Charset().ToQString(FieldView(tag.Bemerkung)),
        tag.Musikrichtung < kGenreCount ? QString::fromUtf8(GenreName(tag.Musikrichtung)) : QString(),
        QString::number(e.FileSize),
        AttributeText(e.Attributes),
        MpegVersionText(info.Version, info.Layer),
        QString::number(info.Bitrate) + QStringLiteral(" kbps"),
        FrequencyText(info.SampleRate),
        ChannelText(info.ChannelMode),
    };
}

namespace {

bool IsHex(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// Control characters XML cannot carry, or would read as another (CR as LF).
bool IsControl(QChar c) { return c < u'\x20' && c != u'\t' && c != u'\n'; }

// A spreadsheet reads "_xHHHH_" in a cell text as the character HHHH, and
// libxlsxwriter hands a text over as it is but for control characters. So we
// write those as "_x00HH_" ourselves, and an underscore that would start such a
// sequence (one closed by a control character too) as "_x005F_": a literal
// "_x0041_" then stays what it is.
QString CellXml(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (IsControl(c)) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += QStringLiteral("_x00");
            out += QLatin1Char(kHex[c.unicode() >> 4]);
            out += QLatin1Char(kHex[c.unicode() & 15]);
            out += u'_';
        } else if (c == u'_' && i + 6 < text.size() && (text[i + 1] == u'x' || text[i + 1] == u'X')
            && IsHex(text[i + 2]) && IsHex(text[i + 3]) && IsHex(text[i + 4]) && IsHex(text[i + 5])
            && (text[i + 6] == u'_' || IsControl(text[i + 6]))) {
            out += QStringLiteral("_x005F_");
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

bool WriteWorkbook(const std::string& path, const std::vector<QStringList>& rows)
{
    lxw_workbook* book = workbook_new(path.c_str());
    if (!book)
        return false;
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    bool ok = sheet != nullptr;
    for (std::size_t r = 0; ok && r < rows.size(); ++r) {
        for (qsizetype c = 0; ok && c < rows[r].size(); ++c) {
            // Empty cells stay empty; every other value is text, also one that looks like a number.
            if (rows[r][c].isEmpty())
                continue;
            ok = worksheet_write_string(sheet, static_cast<lxw_row_t>(r), static_cast<lxw_col_t>(c),
                     CellXml(rows[r][c]).toUtf8().constData(), nullptr)
                == LXW_NO_ERROR;
        }
    }
    // Closing writes the file; it also frees the book after a failure.
    return workbook_close(book) == LXW_NO_ERROR && ok;
}

} // namespace km
