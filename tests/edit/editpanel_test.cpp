#include "support/editfixture.h"
#include "support/palettes.h"
#include "support/stalledfile.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <fcntl.h>
#include <QMenu>
#include <QTimer>
#include <QWheelEvent>

#include "platform/charset.h"
#include "platform/soon.h"

#include <filesystem>

namespace km {
namespace {

using test::Song;

class EditPanel : public test::EditTest {
protected:
    void Songs()
    {
        Put("musik/a.mp3", Song("A", "Band", "Platte", "1999", 1));
        Put("musik/b.mp3", Song("a", "Band", "Andere", "2001", 2));
        Put("musik/c.mp3", Song("C", "Chor", "Platte", "1999", 3));
    }
};

// The ID3v2 tag players show: its column fills when shown, and the panel
// says where one file's tag disagrees with the fields.
TEST_F(EditPanel, TheID3v2TagBesideTheFields)
{
    using test::Bytes;
    using test::Cat;
    const Bytes audio = Cat({test::Header(), test::Fill(4000, 0x11)});
    Put("musik/a.mp3", Cat({test::Tag(Cat({test::TextFrame("TIT2", "Anders"), test::TextFrame("TALB", "Platte")})), audio,
                           test::V1("Lied", "", "Platte", "", "", 3)}));
    Put("musik/b.mp3", Cat({test::Tag(test::TextFrame("TIT2", "Lied"), 0, 3), audio, test::V1("Lied")}));
    Put("musik/c.mp3", Song("ohne"));
    Start({QString::fromStdString(music)});
    EXPECT_FALSE(Model().Entry(RowOf("b.mp3"))->ID3v2Known) << "not read while nobody shows it";

    window->ApplyColumnLayout({{0, 100}, {17, 60}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->ScanRunning(); }, 5000));
    const auto cell = [&](const char* name) { return Model().data(Model().index(RowOf(name), 2), Qt::DisplayRole).toString(); };
    EXPECT_EQ(cell("a.mp3"), QString::fromUtf8("2.4 \u2260"));
    EXPECT_EQ(cell("b.mp3"), "2.3");
    EXPECT_EQ(cell("c.mp3"), "");
    EXPECT_EQ(finished->count(), 1) << "filled without a scan";

    QLabel* line = Child<QLabel>("ID3v2Abweichung");
    SelectRows({RowOf("a.mp3")});
    EXPECT_TRUE(line->isVisibleTo(window.get()));
    EXPECT_EQ(line->text(), QString::fromUtf8("ID3v2-Tag weicht ab: Titel, Titelnummer \u2013 Player zeigen meist den ID3v2-Tag."));
    SelectRows({RowOf("b.mp3")});
    EXPECT_FALSE(line->isVisibleTo(window.get()));
    SelectRows({RowOf("a.mp3"), RowOf("b.mp3")});
    EXPECT_FALSE(line->isVisibleTo(window.get())) << "one file only";

    // Typing the ID3v2 title makes the two agree on it.
    SelectRows({RowOf("a.mp3")});
    Type(Edit("ETitel"), "Anders");
    SelectRows({RowOf("c.mp3")});
    SelectRows({RowOf("a.mp3")});
    EXPECT_EQ(line->text(), QString::fromUtf8("ID3v2-Tag weicht ab: Titelnummer \u2013 Player zeigen meist den ID3v2-Tag."));
}

// The ID3v2 tags are read beside the window: a file that does not answer
// holds neither the column nor the panel, and a row edited while its tag was
// read gets what its file holds after the edit.
TEST_F(EditPanel, TheID3v2ReadsNeverHoldTheWindow)
{
    using test::Cat;
    const test::Bytes audio = Cat({test::Header(), test::Fill(4000, 0x11)});
    for (const char* name : {"a", "b", "c"})
        Put(std::string("musik/") + name + ".mp3",
            Cat({test::Tag(test::TextFrame("TIT2", "Lied")), audio, test::V1(*name == 'a' ? "Lied" : "Zwei")}));
    Start({QString::fromStdString(music)});
    const auto cell = [&](const std::string& name) {
        return Model().data(Model().index(RowOf(name), 2), Qt::DisplayRole).toString();
    };
    // The first file asked for hangs; the second is read and its finding waits behind.
    std::vector<std::string> asked;
    for (const auto& entry : window->EntryList())
        if (!entry->ID3v2Known)
            asked.push_back(entry->FileName);
    ASSERT_EQ(asked.size(), 2u) << "the first row was read when it was shown";
    test::TStalledFile layer;
    layer.stalled = music + asked[0];
    window->SetFileLayer(layer);
    QTimer timer;
    bool edited = false;
    QObject::connect(&timer, &QTimer::timeout, window.get(), [&] {
        if (!layer.reached || edited)
            return;
        edited = true;
        SelectRows({RowOf(asked[1])});
        Type(Edit("ETitel"), "Lied");
        SelectRows({RowOf("a.mp3")});
        layer.released = true;
    });
    timer.start(5);
    window->ApplyColumnLayout({{0, 100}, {17, 60}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->ScanRunning(); }, 5000));
    timer.stop();
    EXPECT_TRUE(edited) << "edited while the column was read";
    EXPECT_EQ(OnDisk(asked[1]).Title, "Lied");
    EXPECT_EQ(cell(asked[1]), "2.4") << "read again after the edit";
    EXPECT_EQ(cell(asked[0]), QString::fromUtf8("2.4 \u2260"));

    // The panel's own read of a file the list has not read.
    window->ApplyColumnLayout({{0, 100}});
    window->ScanFolder();
    layer.reached = false;
    layer.released = false;
    SetQuickWait(std::chrono::milliseconds(20));
    QLabel* line = Child<QLabel>("ID3v2Abweichung");
    SelectRows({RowOf(asked[0])});
    EXPECT_TRUE(layer.reached);
    EXPECT_FALSE(line->isVisibleTo(window.get())) << "not answered yet";
    layer.released = true;
    EXPECT_TRUE(QTest::qWaitFor([&] { return line->isVisibleTo(window.get()); }, 5000));
    EXPECT_EQ(line->text(), QString::fromUtf8("ID3v2-Tag weicht ab: Titel \u2013 Player zeigen meist den ID3v2-Tag."));
    SetQuickWait(std::chrono::seconds(10));
    window->SetFileLayer(TFileLayer::Posix());
}

// With the setting on, a store carries the changed fields into the ID3v2
// tag: whole texts, in place or grown, one message for a tag left alone, and
// undo puts every byte back.
TEST_F(EditPanel, KeepsTheID3v2TagInStepWhenAsked)
{
    using test::Bytes;
    using test::Cat;
    const Bytes audio = Cat({test::Header(), test::Fill(4000, 0x11)});
    const std::string longTitle = "Ein sehr langer Titel der ueber dreissig Zeichen geht";
    const std::string a = Put("musik/a.mp3", Cat({test::Tag(Cat({test::TextFrame("TIT2", longTitle), test::Fill(200, 0)})),
                                                 audio, test::V1(longTitle.substr(0, 30))}));
    const std::string b = Put("musik/b.mp3", Cat({test::Tag(test::TextFrame("TIT2", "Lied"), 0, 3), audio, test::V1("Lied")}));
    const std::string c = Put("musik/c.mp3", Cat({test::Tag(Cat({test::Str("TT2"), Bytes {0, 0, 5, 0}, test::Str("Lied")}), 0, 2),
                                                 audio, test::V1("Lied")}));
    const Bytes before[] = {test::ReadFile(a), test::ReadFile(b), test::ReadFile(c)};
    Start({QString::fromStdString(music)});
    window->Saver().SetID3v2Mitschreiben(true);
    const auto fields = [&](const std::string& path) {
        TID3v2Reader reader;
        reader.FileName = path;
        reader.ReadFields = true;
        reader.ReadTags();
        return reader.ID3v2Fields;
    };

    SelectRows({RowOf("a.mp3"), RowOf("b.mp3"), RowOf("c.mp3")});
    Type(Edit("ESaenger"), QString::fromUtf8("Chor \u2603"));
    SelectRows({RowOf("a.mp3")});
    EXPECT_EQ(fields(a).Texts[V2Artist], "Chor \u2603") << "not what ID3v1 makes of it";
    EXPECT_EQ(fields(a).Texts[V2Title], longTitle);
    EXPECT_EQ(test::ReadFile(a).size(), before[0].size()) << "into the padding";
    EXPECT_EQ(fields(b).Texts[V2Artist], "Chor \u2603");
    EXPECT_EQ(test::ReadFile(b).size(), before[1].size() + 25 + 2048) << "a UTF-16 TPE1, and room for later edits";
    EXPECT_EQ(OnDisk("c.mp3").Artist, "Chor ?");
    const Bytes cNow = test::ReadFile(c);
    EXPECT_TRUE(std::equal(before[2].begin(), before[2].end() - 128, cNow.begin(), cNow.end() - 128)) << "2.2 left alone";
    EXPECT_EQ(dialogs.TextsOf("Message"),
        QStringList({"Der ID3v2-Tag von \"c.mp3\" wurde nicht geändert (Version 2.2). Die ID3v1-Felder wurden gespeichert."}));

    // One file: the case of the frame's own whole text changes, not of what ID3v1 holds.
    Trigger("ActGrossKlein_GrossGross");
    SelectRows({RowOf("b.mp3")});
    EXPECT_EQ(fields(a).Texts[V2Title], "EIN SEHR LANGER TITEL DER UEBER DREISSIG ZEICHEN GEHT");

    for (int k = 0; k < 4; ++k) {
        Trigger("ActRueckgaengig");
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window->ScanRunning(); }, 5000));
    }
    EXPECT_TRUE(window->Saver().Undo().Empty());
    EXPECT_EQ(test::ReadFile(a), before[0]);
    EXPECT_EQ(test::ReadFile(b), before[1]);
    EXPECT_EQ(test::ReadFile(c), before[2]);
}

// In another set a field keeps its bytes until it is edited, and the fields
// count bytes: a character of two never stands half in a field.
TEST_F(EditPanel, AnotherSetKeepsUntouchedBytesAndCountsWidthsInBytes)
{
    // Windows-1253 leaves 0xAA undefined; "Καλή" and that byte.
    Put("musik/a.mp3", Song("\xca\xe1\xeb\xde\xaa", "Band"));
    Put("musik/b.mp3", Song("B"));
    Start({QString::fromStdString(music)});
    SetID3v1Charset(*FindCharset("windows-1253"));
    window->Panel().DropEditsAndReload();
    EXPECT_EQ(Edit("ETitel")->text(), QString::fromUtf8("Καλή\uFFFD"));
    Activate();
    Type(Edit("ESaenger"), QString::fromUtf8("Ορχήστρα"));
    SelectRows({1});
    EXPECT_EQ(OnDisk("a.mp3").Title, "\xca\xe1\xeb\xde\xaa") << "not turned into \"?\"";
    EXPECT_EQ(OnDisk("a.mp3").Artist, "\xcf\xf1\xf7\xde\xf3\xf4\xf1\xe1");

    // Shift_JIS: 15 characters of two bytes fill a title; the 16th does not go in.
    SetID3v1Charset(*FindCharset("shift_jis"));
    window->Panel().DropEditsAndReload();
    const QString fifteen = QString::fromUtf8("日本語のタイトルはとても長いです");
    Type(Edit("ETitel"), fifteen);
    EXPECT_EQ(Edit("ETitel")->text(), fifteen.left(15));
    Edit("ETitel")->setText(QString());
    Type(Edit("ETitel"), QStringLiteral("a"));
    QApplication::clipboard()->setText(fifteen);
    Edit("ETitel")->paste();
    EXPECT_EQ(Edit("ETitel")->text(), QStringLiteral("a") + fifteen.left(14)) << "a paste is cut, not refused";
    window->Panel().SetFieldAsTyped(Edit("EAlbum"), QStringLiteral("x") + fifteen);
    EXPECT_EQ(Edit("EAlbum")->text(), QStringLiteral("x") + fifteen.left(14));
    SelectRows({0});
    TID3v2Reader reader;
    reader.FileName = music + "b.mp3";
    reader.ReadTags();
    EXPECT_EQ(ID3v1Charset().ToQString(reader.ID3v1.Title), QStringLiteral("a") + fifteen.left(14));
    EXPECT_EQ(reader.ID3v1.Album.size(), 29u) << "cut where a character ends";
}

TEST_F(EditPanel, FieldsLabelsAndLimits)
{
    Songs();
    Start({QString::fromStdString(music)});
    const struct {
        const char* name;
        int tag;
        int limit;
    } fields[] = {{"ETitel", 1, 30}, {"ESaenger", 2, 30}, {"EAlbum", 3, 30}, {"ETitelnr", 4, 3}, {"EJahr", 5, 4}, {"EBemerkung", 7, 29}};
    for (const auto& f : fields) {
        EXPECT_EQ(Edit(f.name)->property("Tag").toInt(), f.tag) << f.name;
        EXPECT_EQ(Edit(f.name)->maxLength(), f.limit) << f.name;
    }
    auto* genre = Child<QComboBox>("EMusikrichtung");
    EXPECT_EQ(genre->property("Tag").toInt(), 6);
    EXPECT_EQ(genre->count(), 149);
    EXPECT_EQ(genre->itemText(0), "(keine)");
    EXPECT_EQ(genre->itemText(1), "A Cappella");
    EXPECT_EQ(Child<TUpDown>("UpDown1")->Maximum(), 256);
    EXPECT_EQ(Child<TUpDown>("UpDown2")->Maximum(), 9999);
    EXPECT_EQ(Child<QCheckBox>("CBVorgabe")->text(), "&Vorgabe");
    EXPECT_EQ(Child<QLabel>("Warnung")->text(),
        " Achtung: Sie haben mehrere Dateien markiert. Änderungen betreffen alle markierten Dateien!");
    QStringList labels;
    for (QLabel* l : Fields()->findChildren<QLabel*>())
        if (l->buddy())
            labels << l->text();
    labels.sort();
    EXPECT_EQ(labels, QStringList({"&Interpret:", "&Jahr:", "&Titel:", "Alb&um:", "Be&merkung:", "Musik&richtung:", "Titel&nummer:"}));

    // The first row is loaded.
    EXPECT_EQ(Edit("ETitel")->text(), "A");
    EXPECT_EQ(Edit("ETitelnr")->text(), "1");
    EXPECT_EQ(genre->currentIndex(), 0) << "genre 255";
    EXPECT_EQ(Text("StatusPanel1"), "1 Datei: \"a.mp3\" (Länge: 0:00:00)");
    EXPECT_TRUE(Edit("ETitel")->isEnabled());

    List()->clearSelection();
    EXPECT_FALSE(Edit("ETitel")->isEnabled());
    EXPECT_EQ(Edit("ETitel")->text(), "");
    EXPECT_EQ(Text("StatusPanel1"), "");
}

TEST_F(EditPanel, OneFileIsSavedWhenTheSelectionMoves)
{
    Songs();
    Start({QString::fromStdString(music)});
    const std::string path = music + "a.mp3";
    SetMTime(path, 1'500'000'000);
    const std::int64_t before = MTime(path);
    Activate();
    Type(Edit("ETitel"), QString::fromUtf8("  Grüße € Привет  "));
    EXPECT_TRUE(window->Panel().ApplyFlags()[TEditPanel::FlagTitel]);
    EXPECT_EQ(OnDisk("a.mp3").Title, "A") << "nothing is written while typing";

    QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, List()->visualRect(Model().index(1, 1)).center());
    EXPECT_EQ(OnDisk("a.mp3").Title, "Gr\xfc\xdf" "e \x80 ??????") << "Windows-1252, trimmed";
    EXPECT_EQ(OnDisk("a.mp3").Album, "Platte");
    EXPECT_EQ(MTime(path), before) << "the file date is kept by default";
    ASSERT_EQ(window->Saver().Undo().Count(), 1u);
    EXPECT_EQ(FieldText(window->Saver().Undo().Top()->Tag.Titel), "A");
    EXPECT_EQ(window->Saver().Undo().Top()->Path, path);
    EXPECT_EQ(Model().data(Model().index(RowOf("a.mp3"), 2), Qt::DisplayRole).toString(), QString::fromUtf8("Grüße € ??????"));

    // Moving on without edits writes nothing.
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, List()->visualRect(Model().index(2, 1)).center());
    EXPECT_EQ(window->Saver().Undo().Count(), 1u);

    // An edit goes to its file even when the rows moved under it (a sort).
    Type(Edit("ETitel"), QStringLiteral("Neu"));
    const std::string edited = Model().Entry(2)->FileName;
    Action("SortAbsteigend")->trigger();
    ASSERT_NE(Model().Entry(2)->FileName, edited);
    SelectRows({1});
    EXPECT_EQ(OnDisk(edited).Title, "Neu");
    EXPECT_EQ(window->Saver().Undo().Count(), 2u);
}

// A field holding an edit not stored yet says so: its label is bold and the
// status line ends in " – geändert", until the edit is stored or dropped.
// Differing fields of a multi-selection are no edits.
TEST_F(EditPanel, PendingEditsAreMarkedUntilStoredOrDropped)
{
    Songs();
    Start({QString::fromStdString(music)});
    const auto bold = [&](QWidget* field) { return Fields()->LabelOf(field)->font().bold(); };
    const auto anyBold = [&] {
        const auto fields = Fields()->InFlagOrder();
        return std::any_of(fields.begin(), fields.end(), bold);
    };
    SelectRows({RowOf("a.mp3")});
    const QString status = Text("StatusPanel1");
    ASSERT_TRUE(status.startsWith("1 Datei: \"a.mp3\""));
    EXPECT_FALSE(anyBold());

    Type(Edit("ETitel"), "Neu");
    EXPECT_TRUE(bold(Edit("ETitel")));
    EXPECT_FALSE(bold(Edit("ESaenger")));
    EXPECT_EQ(Text("StatusPanel1"), status + QString::fromUtf8(" \u2013 geändert"));
    Trigger("ActRueckgaengig");
    EXPECT_FALSE(anyBold()) << "dropped";
    EXPECT_EQ(Text("StatusPanel1"), status);

    window->Panel().SetGenreAsChosen(3, false);
    window->Panel().SetFieldAsTyped(Edit("EJahr"), "2024");
    EXPECT_TRUE(bold(Fields()->EMusikrichtung));
    EXPECT_TRUE(bold(Edit("EJahr")));
    SelectRows({RowOf("b.mp3")});
    EXPECT_EQ(OnDisk("a.mp3").Year, "2024");
    EXPECT_FALSE(anyBold()) << "stored";
    EXPECT_FALSE(Text("StatusPanel1").contains(QString::fromUtf8("geändert")));

    SelectRows({RowOf("a.mp3"), RowOf("c.mp3")});
    EXPECT_FALSE(window->Panel().ApplyFlags()[TEditPanel::FlagTitel]) << "A and C differ";
    EXPECT_FALSE(anyBold());
    EXPECT_FALSE(Text("StatusPanel1").contains(QString::fromUtf8("geändert")));
}

TEST_F(EditPanel, SeveralFilesTakeOnlyTheFieldsTyped)
{
    Songs();
    Start({QString::fromStdString(music)});
    SelectRows({0, 1, 2});
    EXPECT_TRUE(Child<QLabel>("Warnung")->isVisible());
    EXPECT_EQ(Text("StatusPanel1"), "3 Dateien (Länge: 0:00:00)");
    EXPECT_EQ(Edit("ETitel")->text(), "") << "A, a and C differ; case counts";
    EXPECT_EQ(Edit("EAlbum")->text(), "");
    EXPECT_EQ(Edit("EBemerkung")->text(), "") << "all empty: the same";
    const auto flags = window->Panel().ApplyFlags();
    EXPECT_FALSE(flags[TEditPanel::FlagTitel]);
    EXPECT_FALSE(flags[TEditPanel::FlagInterpret]);
    EXPECT_TRUE(flags[TEditPanel::FlagBemerkung]);
    EXPECT_TRUE(flags[TEditPanel::FlagMusikrichtung]);
    const QColor grey = QApplication::palette().color(QPalette::Button);
    EXPECT_EQ(Edit("ETitel")->palette().color(QPalette::Base), grey);
    EXPECT_NE(Edit("EBemerkung")->palette().color(QPalette::Base), grey);

    // Rows a and b share the artist: it shows.
    SelectRows({0, 1});
    EXPECT_EQ(Edit("ESaenger")->text(), "Band");
    EXPECT_EQ(Edit("ETitel")->text(), "");

    // Focused, a differing field shows the first file's value; left alone it empties again.
    Activate();
    Edit("ETitel")->setFocus();
    EXPECT_EQ(Edit("ETitel")->text(), "A");
    EXPECT_NE(Edit("ETitel")->palette().color(QPalette::Base), grey);
    Edit("EAlbum")->setFocus();
    EXPECT_EQ(Edit("ETitel")->text(), "");
    EXPECT_EQ(Edit("ETitel")->palette().color(QPalette::Base), grey);

    // Only the album is typed; a file whose album is already that is not written.
    Type(Edit("EAlbum"), "Platte");
    SelectRows({2});
    EXPECT_EQ(OnDisk("a.mp3").Album, "Platte");
    EXPECT_EQ(OnDisk("b.mp3").Album, "Platte");
    EXPECT_EQ(OnDisk("a.mp3").Title, "A");
    EXPECT_EQ(OnDisk("b.mp3").Title, "a");
    EXPECT_EQ(OnDisk("b.mp3").Year, "2001");
    ASSERT_EQ(window->Saver().Undo().Count(), 1u) << "a.mp3 had that album already";
    EXPECT_EQ(window->Saver().Undo().Top()->Path, music + "b.mp3");
}

TEST_F(EditPanel, TrackYearAndTheJKey)
{
    Songs();
    Start({QString::fromStdString(music)});
    window->Panel().SetToday([] { return QDate(2026, 12, 8); });
    Activate();
    QLineEdit* track = Edit("ETitelnr");
    QLineEdit* year = Edit("EJahr");
    Type(track, "256");
    Edit("ETitel")->setFocus();
    EXPECT_TRUE(dialogs.calls.empty()) << "256 passes";

    Type(track, "25x7");
    EXPECT_EQ(track->text(), "257") << "letters are swallowed";
    Edit("ETitel")->setFocus();
    EXPECT_EQ(dialogs.TextsOf("Message"), QStringList({"Die Titelnummer muss zwischen 0 und 256 liegen."}));
    EXPECT_EQ(QApplication::focusWidget(), track) << "the focus goes back";

    Type(track, "256");
    QTest::keyClick(track, Qt::Key_J);
    EXPECT_EQ(year->text(), "2026");
    EXPECT_EQ(track->text(), "256");
    EXPECT_TRUE(window->Panel().ApplyFlags()[TEditPanel::FlagJahr]);

    year->setText("19x9"); // pasted
    year->setFocus();
    Edit("ETitel")->setFocus();
    EXPECT_EQ(dialogs.TextsOf("Message").last(), "\r\"19x9\" ist keine gültige Jahreszahl.");
    EXPECT_EQ(QApplication::focusWidget(), year);

    SelectRows({1});
    EXPECT_EQ(OnDisk("a.mp3").Track, 0) << "256 is stored as 0";
    EXPECT_EQ(OnDisk("a.mp3").Year, "19x9") << "the check only reports";

    // Editing keys and commands still work in the number fields.
    Type(year, "1999");
    year->setCursorPosition(0);
    QTest::keyClick(year, Qt::Key_Delete);
    EXPECT_EQ(year->text(), "999");
    QApplication::clipboard()->setText("42");
    year->selectAll();
    QTest::keyClick(year, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(year->text(), "42");
    QTest::keyClick(year, Qt::Key_Backspace);
    EXPECT_EQ(year->text(), "4");

    // The arrows step the number within their range.
    SelectRows({2});
    Child<TUpDown>("UpDown1")->Step(1);
    EXPECT_EQ(track->text(), "4");
    EXPECT_TRUE(window->Panel().ApplyFlags()[TEditPanel::FlagTitelnr]);
}

TEST_F(EditPanel, ScanCloseAndNextStoreFirst)
{
    Songs();
    Start({QString::fromStdString(music)});
    Activate();
    Type(Edit("EBemerkung"), "vor dem Scan");
    Trigger("ActAktuallisiern");
    EXPECT_EQ(OnDisk("a.mp3").Comment, "vor dem Scan");

    Type(Edit("EBemerkung"), "vor dem Weiter");
    Idle();
    QTest::keyClick(window.get(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(OnDisk("a.mp3").Comment, "vor dem Weiter");
    EXPECT_EQ(QApplication::focusWidget(), Edit("EBemerkung")) << "the cursor stays in the field";
    EXPECT_EQ(SelectedRows(), (std::vector<int> {1}));

    Type(Edit("EBemerkung"), "beim Schliessen");
    window->close();
    EXPECT_EQ(OnDisk("b.mp3").Comment, "beim Schliessen");
}

// Every write fails, as on a write-protected medium.
class TReadOnlyMedium : public TFileLayer {
public:
    long long WriteAt(int, const void*, std::size_t, std::int64_t) override { return -EROFS; }
    int Truncate(int, std::int64_t) override { return -EROFS; }
};

TEST_F(EditPanel, AFailedWriteDropsTheEditAndRecordsNothing)
{
    Songs();
    Start({QString::fromStdString(music)});
    const test::Bytes before = test::ReadFile(music + "a.mp3");
    TReadOnlyMedium medium;
    window->SetFileLayer(medium);
    Type(Edit("ETitel"), "Neu");
    dialogs.QueueResult(TDialogs::Result::Yes);
    dialogs.QueueResult(TDialogs::Result::No);
    SelectRows({1});
    window->SetFileLayer(TFileLayer::Posix());
    EXPECT_EQ(dialogs.TextsOf("Message"), QStringList({QString::fromUtf8(kRetryWriteText), QString::fromUtf8(kRetryWriteText)}))
        << "asked again after Yes";
    EXPECT_TRUE(window->Saver().Undo().Empty());
    EXPECT_EQ(test::ReadFile(music + "a.mp3"), before);
    EXPECT_EQ(FieldText(Model().Entry(RowOf("a.mp3"))->Tag.Titel), "A");
    EXPECT_EQ(Edit("ETitel")->text(), "a") << "the next selection is loaded";
}

// Writes go through; reading the file back afterwards fails.
class TUnreadableAfterWrite : public TFileLayer {
public:
    bool wrote = false;
    int Open(const std::string& path, int flags) override
    {
        if (wrote && (flags & O_ACCMODE) == O_RDONLY)
            return -EACCES;
        return TFileLayer::Open(path, flags);
    }
    long long WriteAt(int fd, const void* buf, std::size_t n, std::int64_t off) override
    {
        const long long r = TFileLayer::WriteAt(fd, buf, n, off);
        wrote = wrote || r == static_cast<long long>(n);
        return r;
    }
};

TEST_F(EditPanel, AFileThatCannotBeReadBackIsReportedAndKeepsWhatWasWritten)
{
    Songs();
    Start({QString::fromStdString(music)});
    TUnreadableAfterWrite layer;
    window->SetFileLayer(layer);
    Type(Edit("ETitel"), "Neu");
    SelectRows({1});
    window->SetFileLayer(TFileLayer::Posix());
    EXPECT_EQ(dialogs.TextsOf("ShowError"),
        QStringList({QString::fromStdString("Datei " + music + "a.mp3 kann nicht geöffnet werden")}));
    EXPECT_EQ(OnDisk("a.mp3").Title, "Neu");
    EXPECT_EQ(FieldText(Model().Entry(RowOf("a.mp3"))->Tag.Titel), "Neu");
    EXPECT_EQ(window->Saver().Undo().Count(), 1u);
    EXPECT_EQ(Edit("ETitel")->text(), "a") << "the next row is loaded all the same";
}

TEST_F(EditPanel, TheWarningFollowsTheSelectionWhileThePanelIsHidden)
{
    Songs();
    Start({QString::fromStdString(music)});
    Trigger("ActEingabefeldAusblenden");
    SelectRows({0, 1});
    SelectRows({1});
    Trigger("ActEingabeFeldUnten");
    EXPECT_FALSE(Child<QLabel>("Warnung")->isVisible());
    SelectRows({0, 2});
    EXPECT_TRUE(Child<QLabel>("Warnung")->isVisible());
}

TEST_F(EditPanel, EditCommandsActOnTheFocusedField)
{
    Songs();
    Start({QString::fromStdString(music)});
    Activate();
    QLineEdit* title = Edit("ETitel");
    title->setFocus();
    title->selectAll();
    window->Commands().Refresh();
    ASSERT_TRUE(Action("ActKopieren")->isEnabled());
    Trigger("ActKopieren");
    EXPECT_EQ(QApplication::clipboard()->text(), "A");
    Edit("EBemerkung")->setFocus();
    Trigger("actEinfuegen");
    EXPECT_EQ(Edit("EBemerkung")->text(), "A");
    EXPECT_TRUE(window->Panel().ApplyFlags()[TEditPanel::FlagBemerkung]);
    Trigger("ActEditUndo1");
    EXPECT_EQ(Edit("EBemerkung")->text(), "");

    // A field's context menu is the program's own.
    QMetaObject::invokeMethod(Edit("EAlbum"), "customContextMenuRequested", Q_ARG(QPoint, QPoint(5, 5)));
    auto* menu = Child<QMenu>("PopEdit");
    EXPECT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 1000));
    EXPECT_EQ(QApplication::focusWidget() == Edit("EAlbum") || QApplication::focusWidget() == menu, true);
    menu->hide();
    QTest::qWait(10); // the focus comes back from the menu
    // Ctrl+A: in the list every row, in a field its text.
    Activate();
    List()->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == List(); }, 1000));
    Trigger("EditSelectAll1");
    EXPECT_EQ(SelectedRows(), (std::vector<int> {0, 1, 2}));
    EXPECT_TRUE(Child<QLabel>("Warnung")->isVisible());
}

TEST_F(EditPanel, GenreBytesChangeOnlyByAnEditOfTheBox)
{
    // 200 has no name: the box shows "(keine)", which stands for 255.
    Put("musik/a.mp3", test::Cat({test::Header(), test::Fill(4000, 0x11), test::V1("A", "", "", "", "", 1, 200)}));
    Put("musik/b.mp3", test::Cat({test::Header(), test::Fill(4000, 0x11), test::V1("B", "", "", "", "", 2, 17)}));
    Put("musik/c.mp3", test::Cat({test::Header(), test::Fill(4000, 0x11), test::V1("C", "", "", "", "", 3, 200)}));
    Start({QString::fromStdString(music)});
    auto* genre = Child<QComboBox>("EMusikrichtung");
    EXPECT_EQ(genre->currentIndex(), 0);
    SelectRows({1});
    SelectRows({0, 2});
    SelectRows({1});
    EXPECT_EQ(OnDisk("a.mp3").GenreIndex, 200) << "selected and left without an edit";
    EXPECT_EQ(OnDisk("c.mp3").GenreIndex, 200);
    EXPECT_TRUE(window->Saver().Undo().Empty());

    // A wheel turn over the grey box of a multi-selection changes nothing.
    SelectRows({0, 1});
    Activate();
    List()->setFocus();
    const QPoint centre = genre->rect().center();
    QWheelEvent wheel(centre, genre->mapToGlobal(centre), {}, QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
        Qt::NoScrollPhase, false);
    QApplication::sendEvent(genre, &wheel);
    EXPECT_EQ(genre->currentIndex(), 0);
    EXPECT_FALSE(window->Panel().ApplyFlags()[TEditPanel::FlagMusikrichtung]);
    EXPECT_NE(QApplication::focusWidget(), genre);

    // Choosing the item already shown applies it to every selected file.
    SelectRows({1, 2});
    genre->setFocus();
    ASSERT_EQ(genre->currentText(), "Rock") << "the first selected file's genre";
    genre->showPopup();
    ASSERT_TRUE(QTest::qWaitFor([&] { return genre->view()->isVisible(); }, 1000));
    QTest::keyClick(genre->view(), Qt::Key_Return);
    EXPECT_TRUE(window->Panel().ApplyFlags()[TEditPanel::FlagMusikrichtung]);
    List()->setFocus();
    SelectRows({0});
    EXPECT_EQ(OnDisk("c.mp3").GenreIndex, 17);
    EXPECT_EQ(OnDisk("a.mp3").GenreIndex, 200);
}

TEST_F(EditPanel, AFileTooSmallForATagIsToldAndLeftAlone)
{
    Songs();
    const std::string small = Put("musik/leer.mp3", test::Fill(100, 0x11));
    Start({QString::fromStdString(music)});
    SelectRows({RowOf("leer.mp3")});
    Type(Edit("ETitel"), "Neu");
    SelectRows({RowOf("a.mp3")});
    EXPECT_EQ(dialogs.TextsOf("Message"),
        QStringList({"Die Datei \"leer.mp3\" ist zu klein, um Titelinformationen aufzunehmen.\r"
                     "Die Änderungen wurden nicht gespeichert."}));
    EXPECT_TRUE(window->Saver().Undo().Empty());
    EXPECT_EQ(std::filesystem::file_size(small), 100u);
    EXPECT_EQ(FieldText(Model().Entry(RowOf("leer.mp3"))->Tag.Titel), "");

    // Several at once: one message.
    Put("musik/leer2.mp3", test::Fill(130, 0x11));
    Trigger("ActAktuallisiern");
    WaitScans(2);
    SelectRows({RowOf("leer.mp3"), RowOf("leer2.mp3"), RowOf("b.mp3")});
    Type(Edit("EAlbum"), "X");
    SelectRows({RowOf("a.mp3")});
    EXPECT_EQ(dialogs.TextsOf("Message").size(), 2);
    EXPECT_TRUE(dialogs.TextsOf("Message").back().startsWith("2 Dateien sind zu klein"));
    EXPECT_EQ(OnDisk("b.mp3").Album, "X");
    EXPECT_EQ(window->Saver().Undo().Count(), 1u) << "only b.mp3 was written";
}

TEST_F(EditPanel, NextFileFromAFieldSelectsItsValueAndMenusSeeTheField)
{
    Songs();
    Start({QString::fromStdString(music)});
    Activate();
    QLineEdit* title = Edit("ETitel");
    title->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return title->hasFocus(); }, 1000));
    window->Commands().Refresh();
    QTest::keyClick(title, Qt::Key_N, Qt::ControlModifier);
    ASSERT_EQ(SelectedRows(), (std::vector<int> {1}));
    EXPECT_EQ(QApplication::focusWidget(), title);
    QTest::keyClick(title, Qt::Key_Q);
    EXPECT_EQ(title->text(), "q") << "typing replaces the next file's value";

    // "Bearbeiten" opened from the keyboard offers the commands for the field's selection.
    title->selectAll();
    QTest::keyClick(title, Qt::Key_B, Qt::AltModifier);
    QMenu* menu = nullptr;
    for (QObject* o : Action("ActAussschneiden")->associatedObjects())
        if (auto* m = qobject_cast<QMenu*>(o); m && m->title() == "&Bearbeiten")
            menu = m;
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 1000));
    window->Commands().Refresh(); // as the idle refresh does while the menu is open
    EXPECT_TRUE(Action("ActAussschneiden")->isEnabled());
    EXPECT_TRUE(Action("ActKopieren")->isEnabled());
    EXPECT_TRUE(Action("EditSelectAll1")->isEnabled());
    QTest::keyClick(menu, Qt::Key_Escape);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !menu->isVisible(); }, 1000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == title; }, 1000));
    EXPECT_EQ(title->selectedText(), "q");
}

TEST_F(EditPanel, ToolsTypeIntoFieldsOrDropWhatWasTyped)
{
    Songs();
    Start({QString::fromStdString(music)});
    SelectRows({0, 2});
    ASSERT_FALSE(window->Panel().ApplyFlags()[TEditPanel::FlagTitel]) << "A and C differ";
    window->Panel().SetFieldAsTyped(Edit("ETitel"), "Neu");
    EXPECT_TRUE(window->Panel().ApplyFlags()[TEditPanel::FlagTitel]);

    // Dropped: nothing is stored, and the fields show the files again.
    window->Panel().DropEditsAndReload();
    EXPECT_EQ(Edit("ETitel")->text(), "");
    EXPECT_FALSE(window->Panel().ApplyFlags()[TEditPanel::FlagTitel]);
    SelectRows({1});
    EXPECT_EQ(OnDisk("a.mp3").Title, "A");
    EXPECT_EQ(OnDisk("c.mp3").Title, "C");

    window->Panel().SetFieldAsTyped(Edit("EAlbum"), "Typed");
    window->Panel().FlushPendingEdits();
    EXPECT_EQ(OnDisk("b.mp3").Album, "Typed");
}

TEST_F(EditPanel, ScreenReadersHearTheLabelsAndUpDownStepTheNumbers)
{
    Songs();
    Start({QString::fromStdString(music)});
    // Track and year sit in boxes with their arrows, away from their labels;
    // Qt's genre box would take its value for its name.
    const std::pair<const char*, const char*> named[] = {{"ETitel", "Titel"}, {"ESaenger", "Interpret"},
        {"EAlbum", "Album"}, {"ETitelnr", "Titelnummer"}, {"EJahr", "Jahr"}, {"EMusikrichtung", "Musikrichtung"},
        {"EBemerkung", "Bemerkung"}, {"CBVorgabe", "Vorgabe"}};
    for (const auto& [object, name] : named)
        EXPECT_EQ(QAccessible::queryAccessibleInterface(Child<QWidget>(object))->text(QAccessible::Name), name) << object;

    // Up and Down step the number as the arrows beside it do, within the same range.
    Activate();
    QLineEdit* track = Edit("ETitelnr");
    QLineEdit* year = Edit("EJahr");
    track->setFocus();
    QTest::keyClick(track, Qt::Key_Up);
    EXPECT_EQ(track->text(), "2");
    for (int k = 0; k < 3; ++k)
        QTest::keyClick(track, Qt::Key_Down);
    EXPECT_EQ(track->text(), "0");
    year->setFocus();
    QTest::keyClick(year, Qt::Key_Up);
    EXPECT_EQ(year->text(), "2000");
    SelectRows({1});
    EXPECT_EQ(OnDisk("a.mp3").Track, 0);
    EXPECT_EQ(OnDisk("a.mp3").Year, "2000");
}

TEST_F(EditPanel, DifferingFieldsSaySoAndTheColoursFollowThePalette)
{
    Songs();
    Put("musik/d.mp3", test::Cat({test::Header(), test::Fill(4000, 0x11), test::V1("D", "Band", "", "", "", 0, 17)}));
    Start({QString::fromStdString(music)});
    SelectRows({0, 1, RowOf("d.mp3")});
    auto* genre = Child<QComboBox>("EMusikrichtung");
    const QString differ = "(verschieden)";
    EXPECT_EQ(Edit("ETitel")->placeholderText(), differ);
    EXPECT_EQ(Edit("EAlbum")->placeholderText(), differ);
    EXPECT_EQ(Edit("ESaenger")->placeholderText(), "") << "the same for all three";
    EXPECT_EQ(genre->placeholderText(), differ);
    EXPECT_EQ(genre->currentIndex(), 0) << "the box keeps its item";
    EXPECT_EQ(QAccessible::queryAccessibleInterface(genre)->text(QAccessible::Value), differ);
    Activate();
    Type(Edit("ETitel"), "Neu");
    EXPECT_EQ(Edit("ETitel")->placeholderText(), "") << "typed: it applies to all";

    // The grey stays where the palette puts it, also when the palette changes.
    const auto base = [this](const char* name, QPalette::ColorGroup group = QPalette::Active) {
        return Child<QWidget>(name)->palette().color(group, QPalette::Base);
    };
    const auto strip = [this] { return Child<QLabel>("Warnung")->grab().toImage().pixelColor(2, 2); };
    const QPalette light = test::LightPalette();
    EXPECT_EQ(base("EAlbum"), light.color(QPalette::Button));
    EXPECT_GE(test::ContrastRatio(strip(), light.color(QPalette::WindowText)), 4.5);
    EXPECT_NE(strip(), light.color(QPalette::Window)) << "the strip stands out";
    {
        const test::TPaletteScope scope(test::DarkPalette());
        const QPalette dark = test::DarkPalette();
        EXPECT_EQ(base("EAlbum"), dark.color(QPalette::Button));
        EXPECT_EQ(base("ESaenger"), dark.color(QPalette::Base));
        EXPECT_EQ(Child<QLabel>("Warnung")->palette().color(QPalette::WindowText), dark.color(QPalette::WindowText));
        EXPECT_GE(test::ContrastRatio(strip(), dark.color(QPalette::WindowText)), 4.5);
        EXPECT_NE(strip(), dark.color(QPalette::Window));
    }

    // Without a row the fields look disabled, also one that was grey.
    List()->clearSelection();
    ASSERT_FALSE(Edit("EAlbum")->isEnabled());
    EXPECT_EQ(base("EAlbum", QPalette::Disabled), light.color(QPalette::Disabled, QPalette::Base));
    EXPECT_EQ(base("ETitel", QPalette::Disabled), light.color(QPalette::Disabled, QPalette::Base));

    // A placeholder is no text: nothing of it was stored.
    EXPECT_EQ(OnDisk("a.mp3").Title, "Neu");
    EXPECT_EQ(OnDisk("b.mp3").Album, "Andere");
    EXPECT_EQ(OnDisk("d.mp3").Album, "");
    EXPECT_EQ(OnDisk("d.mp3").GenreIndex, 17);
}

} // namespace
} // namespace km
