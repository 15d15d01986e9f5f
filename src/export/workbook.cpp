#include "export/workbook.h"

#include "browse/cells.h"
#include "browse/entry.h"
#include "platform/cp1252.h"
#include "tags/genres.h"

#include <QFile>

#include <xlsxwriter.h>

namespace km {

QStringList WorkbookRow(const TEintragDaten& e)
{
    const TID3v1Tag& tag = e.Tag;
    const TMP3Info& info = e.MP3Info;
    return {
        QFile::decodeName(QByteArray::fromStdString(e.Folder)),
        QFile::decodeName(QByteArray::fromStdString(e.FileName)),
        Cp1252ToQString(FieldView(tag.Titel)),
        Cp1252ToQString(FieldView(tag.Interpret)),
        Cp1252ToQString(FieldView(tag.Album)),
        QString::number(tag.Titelnr),
        Cp1252ToQString(FieldView(tag.Jahr)),
        Cp1252ToQString(FieldView(tag.Bemerkung)),
        tag.Musikrichtung < kGenreCount ? QString::fromUtf8(GenreName(tag.Musikrichtung)) : QString(),
        QString::number(e.FileSize),
        AttributeText(e.Attributes),
        MpegVersionText(info.Version, info.Layer),
        QString::number(info.Bitrate) + QStringLiteral(" kbps"),
        FrequencyText(info.SampleRate),
        ChannelText(info.ChannelMode),
    };
}

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
                     rows[r][c].toUtf8().constData(), nullptr)
                == LXW_NO_ERROR;
        }
    }
    // Closing writes the file; it also frees the book after a failure.
    return workbook_close(book) == LXW_NO_ERROR && ok;
}

} // namespace km
