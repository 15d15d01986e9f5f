#include "browse/formspalten.h"

#include "support/scripteddialogs.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace km {
namespace {

using Pairs = std::vector<TColumnPair>;

// A shown chooser with its controls, reached by object name.
struct TChooser {
    explicit TChooser(const Pairs& shown)
        : Form(std::make_unique<TFormSpalten>(shown, Dialogs))
    {
        Form->show();
        List = Form->findChild<QListWidget*>(QStringLiteral("CheckListBox1"));
        Edit = Form->findChild<QLineEdit*>(QStringLiteral("Edit1"));
        EXPECT_NE(List, nullptr);
        EXPECT_NE(Edit, nullptr);
    }

    QPushButton* Button(const char* name) const
    {
        auto* button = Form->findChild<QPushButton*>(QString::fromLatin1(name));
        EXPECT_NE(button, nullptr) << name;
        return button;
    }
    void Click(const char* name) const { QTest::mouseClick(Button(name), Qt::LeftButton); }

    void Select(int row) const
    {
        QListWidgetItem* item = List->item(row);
        List->scrollToItem(item);
        QTest::mouseClick(List->viewport(), Qt::LeftButton, {}, List->visualItemRect(item).center());
    }

    // Empties the width field with the keys a user may use, then types `text`.
    void TypeWidth(const QString& text) const
    {
        QTest::keyClick(Edit, Qt::Key_Home);
        QTest::keyClick(Edit, Qt::Key_End, Qt::ShiftModifier);
        QTest::keyClick(Edit, Qt::Key_Delete);
        QTest::keyClicks(Edit, text);
    }

    QStringList Captions() const
    {
        QStringList captions;
        for (int row = 0; row < List->count(); ++row)
            captions << List->item(row)->text();
        return captions;
    }
    QStringList Checked() const
    {
        QStringList captions;
        for (int row = 0; row < List->count(); ++row)
            if (List->item(row)->checkState() == Qt::Checked)
                captions << List->item(row)->text();
        return captions;
    }

    test::TScriptedDialogs Dialogs;
    std::unique_ptr<TFormSpalten> Form;
    QListWidget* List = nullptr;
    QLineEdit* Edit = nullptr;
};

TEST(FormSpalten, OpensWithShownColumnsFirstThenTheRestInIdOrder)
{
    // Titel twice: the list holds each column once, at its first place and width.
    TChooser c({{ColTitel, 120}, {ColDateiname, 200}, {ColLaenge, 61}, {ColTitel, 77}});

    EXPECT_EQ(c.Form->windowTitle(), QStringLiteral("Spalteneinstellungen"));
    EXPECT_EQ(c.Captions(),
        QStringList({"Titel", "Dateiname", "Länge", "Interpret", "Album", "Titelnr", "Jahr", "Bemerkung",
            "Musikrichtung", "Ordner", "Größe", "Attribute", "MPEG-Version", "Bitrate", "Frequenz", "Stereo/Mono",
            "Dateidatum", "ID3v2"}));
    EXPECT_EQ(c.Checked(), QStringList({"Titel", "Dateiname", "Länge"}));
    EXPECT_EQ(c.List->currentRow(), 0);
    EXPECT_EQ(c.Edit->text(), QStringLiteral("120"));

    c.Select(1);
    EXPECT_EQ(c.Edit->text(), QStringLiteral("200"));
    c.Select(16);
    EXPECT_EQ(c.Edit->text(), QStringLiteral("110"));
    c.Select(3);
    EXPECT_EQ(c.Edit->text(), QStringLiteral("100"));

    // Browsing alone changes no width.
    c.Click("BtnOK");
    EXPECT_EQ(c.Form->result(), QDialog::Accepted);
    EXPECT_EQ(c.Form->Result(), (Pairs {{ColTitel, 120}, {ColDateiname, 200}, {ColLaenge, 61}}));
    EXPECT_EQ(c.Dialogs.beeps, 0);

    QLabel* widthLabel = nullptr;
    bool hintShown = false;
    for (QLabel* label : c.Form->findChildren<QLabel*>()) {
        if (label->text() == QStringLiteral("&Spaltenbreite:"))
            widthLabel = label;
        hintShown |= label->text() == QStringLiteral("Setzen Sie einen Haken vor die Spalten, die Sie anzeigen möchten.");
    }
    EXPECT_TRUE(hintShown);
    ASSERT_NE(widthLabel, nullptr);
    EXPECT_EQ(widthLabel->buddy(), c.Edit);
    EXPECT_TRUE(c.Button("BtnOK")->isDefault());
}

TEST(FormSpalten, TypedWidthIsStoredAtSelectionChangeAndAtOk)
{
    {
        TChooser c(DefaultColumnLayout());
        c.TypeWidth(QStringLiteral("999"));
        c.Click("BtnOK");
        ASSERT_FALSE(c.Form->Result().empty());
        EXPECT_EQ(c.Form->Result()[0], (TColumnPair {ColDateiname, 500}));
    }
    {
        TChooser c(DefaultColumnLayout());
        c.TypeWidth(QString());
        c.Click("BtnOK");
        EXPECT_EQ(c.Form->Result()[0], (TColumnPair {ColDateiname, 100}));
    }
    {
        TChooser c(DefaultColumnLayout());
        c.Select(1);
        c.TypeWidth(QStringLiteral("250"));
        c.Select(2);
        EXPECT_EQ(c.Edit->text(), QStringLiteral("100"));
        c.TypeWidth(QStringLiteral("0"));
        c.Select(1);
        EXPECT_EQ(c.Edit->text(), QStringLiteral("250"));
        // Return in the field presses the default button.
        QTest::keyClick(c.Edit, Qt::Key_Return);
        EXPECT_EQ(c.Form->result(), QDialog::Accepted);
        const Pairs result = c.Form->Result();
        ASSERT_EQ(result.size(), 9u);
        EXPECT_EQ(result[1], (TColumnPair {ColTitel, 250}));
        EXPECT_EQ(result[2], (TColumnPair {ColInterpret, 0}));
        EXPECT_EQ(c.Dialogs.beeps, 0);
    }
}

TEST(FormSpalten, WidthFieldRefusesEveryTypedCharacterButDigits)
{
    TChooser c(DefaultColumnLayout());
    QTest::keyClick(c.Edit, Qt::Key_End);
    QTest::keyClicks(c.Edit, QStringLiteral("a-, "));
    EXPECT_EQ(c.Dialogs.beeps, 4);
    QTest::keyClick(c.Edit, Qt::Key_Backspace);
    EXPECT_EQ(c.Dialogs.beeps, 5);
    QTest::keyClick(c.Edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(c.Dialogs.beeps, 6);
    EXPECT_EQ(c.Edit->text(), QStringLiteral("150"));

    // Digits, cursor keys and Delete are no reason to beep.
    QTest::keyClicks(c.Edit, QStringLiteral("7"));
    QTest::keyClick(c.Edit, Qt::Key_Left);
    QTest::keyClick(c.Edit, Qt::Key_Delete);
    EXPECT_EQ(c.Edit->text(), QStringLiteral("150"));
    EXPECT_EQ(c.Dialogs.beeps, 6);

    // Escape in the field still cancels the dialog.
    QTest::keyClick(c.Edit, Qt::Key_Escape);
    EXPECT_EQ(c.Form->result(), QDialog::Rejected);
    EXPECT_FALSE(c.Form->isVisible());
}

TEST(FormSpalten, MovingSwapsWithTheNeighbourAndBeepsAtTheEnds)
{
    TChooser c(DefaultColumnLayout());
    const QStringList before = c.Captions();
    c.Click("BtnNachOben");
    EXPECT_EQ(c.Dialogs.beeps, 1);
    c.Select(17);
    c.Click("BtnNachUnten");
    EXPECT_EQ(c.Dialogs.beeps, 2);
    EXPECT_EQ(c.Captions(), before);
    EXPECT_EQ(c.List->currentRow(), 17);

    // Titelnr (checked) down past Länge (checked) and Ordner (unchecked).
    c.Select(4);
    c.Click("BtnNachUnten");
    c.Click("BtnNachUnten");
    c.Click("BtnNachUnten");
    c.Click("BtnNachUnten");
    c.Click("BtnNachUnten");
    EXPECT_EQ(c.List->currentRow(), 9);
    EXPECT_EQ(c.Captions().mid(3, 7),
        QStringList({"Album", "Jahr", "Bemerkung", "Musikrichtung", "Länge", "Ordner", "Titelnr"}));
    EXPECT_EQ(c.Checked(),
        QStringList({"Dateiname", "Titel", "Interpret", "Album", "Jahr", "Bemerkung", "Musikrichtung", "Länge",
            "Titelnr"}));
    EXPECT_EQ(c.Edit->text(), QStringLiteral("45"));
    c.Click("BtnNachOben");
    EXPECT_EQ(c.List->currentRow(), 8);
    EXPECT_EQ(c.Dialogs.beeps, 2);
}

TEST(FormSpalten, TypedWidthFollowsTheMovedItem)
{
    {
        TChooser c(DefaultColumnLayout());
        c.Select(2); // Interpret
        c.TypeWidth(QStringLiteral("333"));
        c.Click("BtnNachUnten");
        EXPECT_EQ(c.List->currentItem()->text(), QStringLiteral("Interpret"));
        EXPECT_EQ(c.Edit->text(), QStringLiteral("333"));
        c.Click("BtnOK");
        const Pairs result = c.Form->Result();
        ASSERT_EQ(result.size(), 9u);
        EXPECT_EQ(result[2], (TColumnPair {ColAlbum, 100}));
        EXPECT_EQ(result[3], (TColumnPair {ColInterpret, 333}));
    }
    {
        TChooser c(DefaultColumnLayout());
        c.Select(1); // Titel
        c.TypeWidth(QStringLiteral("222"));
        c.Click("BtnNachOben");
        c.Select(1); // Dateiname, now below it
        EXPECT_EQ(c.Edit->text(), QStringLiteral("150"));
        c.Select(0);
        EXPECT_EQ(c.Edit->text(), QStringLiteral("222"));
        c.Click("BtnOK");
        EXPECT_EQ(c.Form->Result()[0], (TColumnPair {ColTitel, 222}));
        EXPECT_EQ(c.Form->Result()[1], (TColumnPair {ColDateiname, 150}));
    }
}

TEST(FormSpalten, ResetRestoresTheDefaultLayoutAndWidths)
{
    TChooser c({{ColOrdner, 300}, {ColGroesse, 70}});
    c.TypeWidth(QStringLiteral("444"));
    c.Select(5);
    c.Click("BtnNachOben");
    c.Click("BtnZuruecksetzen");

    EXPECT_EQ(c.Captions(),
        QStringList({"Dateiname", "Titel", "Interpret", "Album", "Titelnr", "Jahr", "Bemerkung", "Musikrichtung",
            "Länge", "Ordner", "Größe", "Attribute", "MPEG-Version", "Bitrate", "Frequenz", "Stereo/Mono",
            "Dateidatum", "ID3v2"}));
    EXPECT_EQ(c.Checked(), c.Captions().mid(0, 9));
    EXPECT_EQ(c.List->currentRow(), 0);
    EXPECT_EQ(c.Edit->text(), QStringLiteral("150"));
    c.Select(9);
    EXPECT_EQ(c.Edit->text(), QStringLiteral("150")); // Ordner's default, not the 300 it had

    c.Click("BtnOK");
    EXPECT_EQ(c.Form->Result(), DefaultColumnLayout());
}

TEST(FormSpalten, NothingCheckedGivesNoColumnsAndCancelGivesNothing)
{
    {
        TChooser c({{ColTitel, 100}, {ColJahr, 40}});
        c.Select(0);
        QTest::keyClick(c.List, Qt::Key_Space);
        c.Select(1);
        QTest::keyClick(c.List, Qt::Key_Space);
        EXPECT_TRUE(c.Checked().isEmpty());
        c.Click("BtnOK");
        EXPECT_EQ(c.Form->result(), QDialog::Accepted);
        EXPECT_TRUE(c.Form->Result().empty());
    }
    {
        TChooser c({{ColTitel, 100}});
        c.TypeWidth(QStringLiteral("300"));
        c.Click("BtnAbbrechen");
        EXPECT_EQ(c.Form->result(), QDialog::Rejected);
        EXPECT_FALSE(c.Form->isVisible());
        EXPECT_TRUE(c.Form->Result().empty());
    }
}

TEST(FormSpalten, WidthOfText)
{
    EXPECT_EQ(ColumnWidthOfText(QString()), 100);
    EXPECT_EQ(ColumnWidthOfText(QStringLiteral("12a")), 100);
    EXPECT_EQ(ColumnWidthOfText(QStringLiteral(" 12")), 100);
    EXPECT_EQ(ColumnWidthOfText(QStringLiteral("0")), 0);
    EXPECT_EQ(ColumnWidthOfText(QStringLiteral("500")), 500);
    EXPECT_EQ(ColumnWidthOfText(QStringLiteral("501")), 500);
    EXPECT_EQ(ColumnWidthOfText(QStringLiteral("123456789012345678901234567890")), 500);
}

} // namespace
} // namespace km
