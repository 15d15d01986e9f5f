#include "export/htmlpage.h"

#include <gtest/gtest.h>

namespace km {
namespace {

QStringList Lines(const QString& page)
{
    EXPECT_TRUE(page.endsWith(QStringLiteral("</html>\r\n")));
    EXPECT_EQ(page.count(QLatin1Char('\n')), page.count(QStringLiteral("\r\n"))) << "every line ends in CR LF";
    QStringList lines = page.split(QStringLiteral("\r\n"));
    lines.removeLast();
    return lines;
}

// The lines between the table's head and foot.
QStringList Table(const QString& page)
{
    const QStringList lines = Lines(page);
    const qsizetype begin = lines.indexOf(QStringLiteral("<table border=\"0\" width=\"100%\">"));
    const qsizetype end = lines.indexOf(QStringLiteral("</table>"));
    return lines.mid(begin + 1, end - begin - 1);
}

TEST(HtmlPage, TemplateTagsAnywhereAnswersNotScannedAgain)
{
    const auto handler = [](const QString& name) {
        return name == "A" ? QStringLiteral("<#B>") : name == "x_1" ? QStringLiteral("ok") : QStringLiteral("?");
    };
    EXPECT_EQ(FillTemplate(QStringLiteral("<p a=\"<#x_1>\"><#A param=1>< #A><#></p>"), handler),
        "<p a=\"ok\"><#B>< #A>?</p>");
    EXPECT_EQ(FillTemplate(QStringLiteral("a<#x_1"), handler), "aok") << "an unclosed tag takes the rest";
}

TEST(HtmlPage, WholePageOfOneRow)
{
    THtmlList list;
    list.Captions = {"Dateiname", "Titel"};
    list.Rows = {{"a.mp3", ""}};
    list.Folder = "/musik/";
    list.Date = "08.12.26";
    const QStringList lines = Lines(HtmlPage(list));
    const QStringList expected = {
        "<html>", "", "<head>",
        "<meta name=\"GENERATOR\" content=\"Klangmappe von Fennwick\"><meta charset=\"utf-8\">",
        "<title>Klangmappe - Dateiliste</title>", "", "<style>", "<!--",
        "h1        { font-family: Verdana; font-size: 14pt }", "body        { font-family: Verdana; font-size: 8pt }",
        "table        { font-family: Verdana; font-size: 9pt }", "a {color: #0033FF; text-decoration: none}",
        "a:hover {color: #FF0033; text-decoration: none}", "-->", "</style>", "</head>", "", "<body>", "",
        "<h1>Klangmappe - Dateiliste</h1>", "erstellt am 08.12.26", "<br>", "Verzeichnis: /musik/", "<br>", "<br>", "",
        "<table border=\"0\" width=\"100%\">",
        "<tr bgcolor=\"#aaaaaa\">", "<td><b>Dateiname</b></td>", "<td><b>Titel</b></td>", "</tr>", "",
        "<tr bgcolor=\"#dddddd\">", "<td>a.mp3</td>", "<td>&nbsp;</td>", "</tr>", "", "",
        "</table>", "", "<br>", "<br>",
        "Klangmappe - <b>DAS</b> Programm zum einfachen Bearbeiten der Titelinformationen von mp3-Dateien.", "<br>"};
    ASSERT_GE(lines.size(), expected.size() + 6);
    EXPECT_EQ(lines.mid(0, expected.size()), expected);
    EXPECT_TRUE(lines[expected.size()].contains("<a href=")) << "the credit line";
    EXPECT_EQ(lines.mid(expected.size() + 1), QStringList({"", "", "</body>", "", "</html>"}));
}

TEST(HtmlPage, ColoursEmptyListsEscapingAndSubfolders)
{
    THtmlList list;
    list.Captions = {"Titel"};
    for (int i = 0; i < 5; ++i)
        list.Rows.push_back({QString::number(i)});
    QStringList colours;
    for (const QString& line : Table(HtmlPage(list)))
        if (line.startsWith("<tr "))
            colours << line.mid(14, 6);
    EXPECT_EQ(colours, QStringList({"aaaaaa", "dddddd", "eeeeee", "dddddd", "eeeeee", "dddddd"}));

    list.Rows.clear();
    EXPECT_EQ(Table(HtmlPage(list)), QStringList({"<tr bgcolor=\"#aaaaaa\">", "<td><b>Titel</b></td>", "</tr>", "", ""}));

    list.Captions.clear(); // the icon column alone
    list.Rows = {{}, {}};
    EXPECT_EQ(Table(HtmlPage(list)),
        QStringList({"<tr bgcolor=\"#aaaaaa\">", "</tr>", "", "<tr bgcolor=\"#dddddd\">", "</tr>", "",
            "<tr bgcolor=\"#eeeeee\">", "</tr>", "", ""}));

    // Texts from files are data: no markup, no script gets into the page.
    list.Captions = {"Titel"};
    list.Rows = {{"<script>alert(\"x\")</script> & Co\r\nzwei"}};
    list.Folder = "/a&b<c>/";
    list.Subfolders = true;
    const QString page = HtmlPage(list);
    EXPECT_FALSE(page.contains("<script>"));
    EXPECT_TRUE(page.contains("<td>&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt; &amp; Co\r\nzwei</td>"));
    EXPECT_TRUE(page.contains("\r\nVerzeichnis: /a&amp;b&lt;c&gt;/ (mit Unterordnern)\r\n"));
}

} // namespace
} // namespace km
