#include "export/workbook.h"

#include "model/entry.h"
#include "support/workbookreader.h"
#include "tags/mp3bytes.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace km {
namespace {

// The shared texts of a workbook as a spreadsheet reads them: openpyxl's own
// decoder of "_xHHHH_" over each text (its workbook reader undoes only "_x005F_").
std::vector<std::string> DecodedTexts(const std::string& path)
{
    const std::string command = "/usr/bin/python3 -c \"import sys, zipfile\n"
                                "from openpyxl.xml.functions import fromstring\n"
                                "from openpyxl.cell.text import Text\n"
                                "from openpyxl.utils.escape import unescape\n"
                                "for si in fromstring(zipfile.ZipFile(sys.argv[1]).read('xl/sharedStrings.xml')):\n"
                                "    sys.stdout.buffer.write(unescape(Text.from_tree(si).content).encode() + b'\\0')\n"
                                "\" '"
        + path + "'";
    const std::string out = test::CommandOutput(command);
    std::vector<std::string> texts;
    for (std::size_t start = 0, end; (end = out.find('\0', start)) != std::string::npos; start = end + 1)
        texts.push_back(out.substr(start, end - start));
    return texts;
}

TEST(Workbook, FifteenTextsPerEntry)
{
    TEintragDaten e;
    e.Folder = "/musik/";
    e.FileName = "a.mp3";
    StoreField(e.Tag.Titel, "Gr\xfcn");
    StoreField(e.Tag.Jahr, "1999");
    e.Tag.Titelnr = 7;
    e.Tag.Musikrichtung = 17;
    e.FileSize = 4096;
    e.Attributes = kAttrReadOnly | kAttrArchive;
    e.MP3Info.Version = 1;
    e.MP3Info.Layer = 3;
    e.MP3Info.Bitrate = 128;
    e.MP3Info.SampleRate = 22050;
    e.MP3Info.ChannelMode = 1;
    EXPECT_EQ(WorkbookRow(e), QStringList({"/musik/", "a.mp3", QString::fromUtf8("Grün"), "", "", "7", "1999", "", "Rock",
                                  "4096", "RA", "MPEG 1 Layer 3", "128 kbps", "22 kHz", "Joint Stereo"}));

    TEintragDaten empty; // no tag, no frame: the cleared stream properties
    EXPECT_EQ(WorkbookRow(empty), QStringList({"", "", "", "", "", "0", "", "", "", "0", "", "MPEG ? Layer ?", "0 kbps",
                                      "0 kHz", "Mono"}));
}

TEST(Workbook, EveryValueIsATextCellInOrder)
{
    test::TempDir dir;
    const std::string path = dir.Path() + "/liste.xlsx";
    ASSERT_TRUE(WriteWorkbook(path, {{"0012", "a", "", QString::fromUtf8("Grün & <b>")}, {"1999", "=1+1"}}));
    // The reader fills short rows up to the widest one.
    EXPECT_EQ(test::WorkbookCells(path), "0012|s\ta|s\t\tGr\xc3\xbcn & <b>|s\n1999|s\t=1+1|s\t\t\n");

    ASSERT_TRUE(WriteWorkbook(path, {}));
    EXPECT_EQ(test::WorkbookCells(path), "") << "an empty sheet";
    EXPECT_FALSE(WriteWorkbook(dir.Path() + "/fehlt/liste.xlsx", {{"x"}}));
}

TEST(Workbook, TextsThatLookEscapedStayAsTheyAre)
{
    test::TempDir dir;
    const std::string path = dir.Path() + "/liste.xlsx";
    // A sequence sharing its underscore with the next, one closed by a control
    // character, control characters and line breaks.
    const std::vector<std::string> texts = {"_x0041_", "_x005F_x0041_", "_x0041\x01", "a\x1f\rb\n\tc_x00"};
    QStringList row;
    for (const std::string& text : texts)
        row << QString::fromStdString(text);
    ASSERT_TRUE(WriteWorkbook(path, {row}));
    EXPECT_EQ(DecodedTexts(path), texts);
}

} // namespace
} // namespace km
