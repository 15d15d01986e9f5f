#include "export/htmlpage.h"

#include "model/addresses.h"

namespace km {

namespace {

// Line 4 declares the text's encoding beside the generator, so the page keeps its forty lines.
const char* const kPage[] = {
    "<html>",
    "",
    "<head>",
    "<meta name=\"GENERATOR\" content=\"Klangmappe von Fennwick\"><meta charset=\"utf-8\">",
    "<title>Klangmappe - Dateiliste</title>",
    "",
    "<style>",
    "<!--",
    "h1        { font-family: Verdana; font-size: 14pt }",
    "body        { font-family: Verdana; font-size: 8pt }",
    "table        { font-family: Verdana; font-size: 9pt }",
    "a {color: #0033FF; text-decoration: none}",
    "a:hover {color: #FF0033; text-decoration: none}",
    "-->",
    "</style>",
    "</head>",
    "",
    "<body>",
    "",
    "<h1>Klangmappe - Dateiliste</h1>",
    "erstellt am <#Datum>",
    "<br>",
    "Verzeichnis: <#Verzeichnis>",
    "<br>",
    "<br>",
    "",
    "<table border=\"0\" width=\"100%\">",
    "<#Liste>",
    "</table>",
    "",
    "<br>",
    "<br>",
    "Klangmappe - <b>DAS</b> Programm zum einfachen Bearbeiten der Titelinformationen von mp3-Dateien.",
    "<br>",
    "",
    "",
    "",
    "</body>",
    "",
    "</html>",
};
constexpr int kCreditLine = 34; // 0-based: line 35

const QString kCrLf = QStringLiteral("\r\n");

bool IsNameChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); }

// Texts from tags and file names are data, never markup.
QString Escaped(const QString& text) { return text.toHtmlEscaped(); }

QString CreditLine()
{
    return QStringLiteral("Ein Programm von <a href=\"%1\">Fennwick</a> - <a href=\"%2\">mehr Freeware</a>")
        .arg(QLatin1String(kHomepageAddress), QLatin1String(kFreewareAddress));
}

} // namespace

QString FillTemplate(const QString& text, const std::function<QString(const QString& name)>& handler)
{
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype open = text.indexOf(QLatin1Char('<'), i);
        if (open < 0) {
            out += QStringView(text).mid(i);
            break;
        }
        out += QStringView(text).mid(i, open - i);
        if (open + 1 >= text.size() || text[open + 1] != QLatin1Char('#')) {
            out += QLatin1Char('<');
            i = open + 1;
            continue;
        }
        qsizetype end = open + 2;
        while (end < text.size() && IsNameChar(text[end]))
            ++end;
        const QString name = text.mid(open + 2, end - open - 2);
        // Parameters up to the closing bracket are skipped.
        const qsizetype close = text.indexOf(QLatin1Char('>'), end);
        i = close < 0 ? text.size() : close + 1;
        out += handler(name);
    }
    return out;
}

QString HtmlPage(const THtmlList& list)
{
    // The row template follows the columns shown.
    QString rowTemplate = QStringLiteral("<tr bgcolor=\"#<#Farbe>\">") + kCrLf;
    for (qsizetype n = 1; n <= list.Captions.size(); ++n)
        rowTemplate += QStringLiteral("<td><#C%1></td>").arg(n) + kCrLf;
    rowTemplate += QStringLiteral("</tr>") + kCrLf;

    int rowIndex = -1;
    QString colour = QStringLiteral("aaaaaa");
    const auto rowTag = [&](const QString& name) {
        QString answer;
        if (name.startsWith(QLatin1Char('C'))) {
            bool ok = false;
            const int n = name.mid(1).toInt(&ok);
            if (ok && n >= 1 && n <= list.Captions.size()) {
                const auto column = static_cast<std::size_t>(n - 1);
                answer = rowIndex < 0 ? QStringLiteral("<b>%1</b>").arg(Escaped(list.Captions[n - 1]))
                                      : Escaped(list.Rows[static_cast<std::size_t>(rowIndex)].value(qsizetype(column)));
            }
        }
        if (name == QLatin1String("Farbe")) {
            answer = colour;
            colour = colour == QLatin1String("dddddd") ? QStringLiteral("eeeeee") : QStringLiteral("dddddd");
        }
        return answer.isEmpty() ? QStringLiteral("&nbsp;") : answer;
    };
    const auto pageTag = [&](const QString& name) {
        if (name == QLatin1String("Liste")) {
            QString rows;
            for (rowIndex = -1; rowIndex < static_cast<int>(list.Rows.size()); ++rowIndex)
                rows += FillTemplate(rowTemplate, rowTag) + kCrLf;
            return rows;
        }
        if (name == QLatin1String("Datum"))
            return list.Date;
        if (name == QLatin1String("Verzeichnis"))
            return Escaped(list.Folder) + (list.Subfolders ? QStringLiteral(" (mit Unterordnern)") : QString());
        return QString();
    };

    QString page;
    for (int line = 0; line < static_cast<int>(std::size(kPage)); ++line)
        page += (line == kCreditLine ? CreditLine() : QString::fromUtf8(kPage[line])) + QLatin1Char('\n');
    const QString filled = FillTemplate(page, pageTag);

    // Written line by line, each ended by CR LF, whatever break a text brought along.
    QString out;
    out.reserve(filled.size() + filled.size() / 16);
    for (qsizetype i = 0; i < filled.size(); ++i) {
        const QChar c = filled[i];
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < filled.size() && filled[i + 1] == QLatin1Char('\n'))
                ++i;
            out += kCrLf;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace km
