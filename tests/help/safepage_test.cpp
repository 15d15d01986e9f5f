#include "help/safepage.h"

#include <gtest/gtest.h>

namespace km {
namespace {

TEST(SafePage, KeepsPlainFormattingAndBoundsWhatIsSlowToLayOut)
{
    const std::pair<QString, QString> cases[] = {
        {"<h1 align=center>Neu</h1><p>Mit <b>fett</b> &amp; <a href=\"neu.htm?a=1&amp;b=2\" onclick=\"x()\">Link</a>"
         "<ul><li>eins<li>zwei</ul>",
            "<h1 align=\"center\">Neu</h1><p>Mit <b>fett</b> &amp; <a href=\"neu.htm?a=1&amp;b=2\">Link</a></p>"
            "<ul><li>eins</li><li>zwei</li></ul>"},
        {"<style>p{}</style><script>a(\"<p>\")</script><!-- <b> --><p style=\"font-size:9999px\">x<img src=a.png>",
            "<p>x</p>"},
        {"a < b & c > d &bogus <3", "a &lt; b &amp; c &gt; d &amp;bogus &lt;3"},
        // Tables nest two deep; deeper ones become lines, their cells words.
        {"<table><tr><td>a<table><tr><td>b<table><tr><td>c<td>d</table>e</table></table>",
            "<table><tr><td>a<table><tr><td>b<br>c d<br>e</td></tr></table></td></tr></table>"},
        {"<table><td colspan=99999>x", "<table><tr><td colspan=\"16\">x</td></tr></table>"},
        {"a" + QString(20, QChar(0x301)) + QChar(0x202E) + "b", "a" + QString(8, QChar(0x301)) + "b"},
    };
    for (const auto& [page, safe] : cases)
        EXPECT_EQ(SafePage(page).toStdString(), safe.toStdString()) << page.toStdString();

    const QString divs = SafePage(QStringLiteral("<div>").repeated(200000) + "x");
    EXPECT_EQ(divs.count("<div>"), 16);
    EXPECT_EQ(divs.count("</div>"), 16);
    const QString word = SafePage(QString(1000, u'w'));
    EXPECT_EQ(word.count(u'w'), 1000);
    EXPECT_EQ(word.count(QChar(0x200B)), 15) << "a chance to break the line every 64 letters";
    const QString text = SafePage(QStringLiteral("<p>Wort ").repeated(50000));
    EXPECT_TRUE(text.endsWith(QStringLiteral("<p>\u2026</p>")));
    EXPECT_EQ(text.count("<p>"), 2001);
    EXPECT_LT(text.size(), 200000);
}

TEST(SafePage, PlainTextUnderTheSameBounds)
{
    EXPECT_EQ(SafeText(u"Neu:\n\t<b>2.07</b> & mehr\n"), u"Neu:\n\t<b>2.07</b> & mehr\n");
    const QString word = SafeText(QString(1000, u'w') + QChar(0x202E));
    EXPECT_EQ(word.count(u'w'), 1000);
    EXPECT_EQ(word.count(QChar(0x200B)), 15);
    EXPECT_EQ(word.size(), 1015);
    const QString lines = SafeText(QStringLiteral("Zeile\n").repeated(5000));
    EXPECT_EQ(lines.count(u'\n'), 2001);
    EXPECT_TRUE(lines.endsWith(QStringLiteral("\n\u2026")));
}

} // namespace
} // namespace km
