#include "platform/qtdialogs.h"

#include "support/scripteddialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

namespace km {
namespace {

using Result = TDialogs::Result;
constexpr unsigned kAllButtons = TDialogs::Yes | TDialogs::No | TDialogs::Ok | TDialogs::Cancel | TDialogs::YesToAll
    | TDialogs::NoToAll | TDialogs::All;

// Runs `act` on the next modal dialog of type T once it shows. Whatever `act`
// does, the dialog is closed afterwards, so no test can hang on it.
template <typename T> void OnNextModal(std::function<void(T*)> act)
{
    auto* timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, act] {
        T* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!dialog) {
            if (++*tries > 500) {
                ADD_FAILURE() << "no modal dialog appeared";
                timer->stop();
                timer->deleteLater();
            }
            return;
        }
        timer->stop();
        timer->deleteLater();
        QPointer<T> guard(dialog);
        act(dialog);
        QTimer::singleShot(50, [guard] {
            if (!guard || !guard->isVisible())
                return;
            ADD_FAILURE() << "dialog left open";
            for (QDialog* nested : guard->template findChildren<QDialog*>())
                if (nested->isVisible())
                    nested->reject();
            guard->reject();
        });
    });
    timer->start();
}

// The button texts of a message box, left to right.
QStringList ButtonTexts(QMessageBox* box)
{
    QList<QAbstractButton*> buttons = box->buttons();
    std::sort(buttons.begin(), buttons.end(), [](QAbstractButton* a, QAbstractButton* b) {
        return a->mapToGlobal(QPoint()).x() < b->mapToGlobal(QPoint()).x();
    });
    QStringList texts;
    for (QAbstractButton* b : buttons)
        texts << b->text();
    return texts;
}

QAbstractButton* ButtonWithText(QMessageBox* box, const QString& text)
{
    for (QAbstractButton* b : box->buttons())
        if (b->text() == text)
            return b;
    return nullptr;
}

void Click(QMessageBox* box, const QString& text)
{
    QAbstractButton* b = ButtonWithText(box, text);
    EXPECT_NE(b, nullptr) << text.toStdString();
    if (b)
        QTest::mouseClick(b, Qt::LeftButton);
}

// Shows a box and presses the button with `text`.
Result Press(unsigned buttons, const QString& text, unsigned defaultButton = 0)
{
    TQtDialogs dialogs;
    OnNextModal<QMessageBox>([text](QMessageBox* box) { Click(box, text); });
    return dialogs.Message(QStringLiteral("Frage"), TDialogs::Kind::Confirmation, buttons, defaultButton);
}

// Shows a box and sends it one key.
Result PressKey(unsigned buttons, Qt::Key key, unsigned defaultButton = 0)
{
    TQtDialogs dialogs;
    OnNextModal<QMessageBox>([key](QMessageBox* box) { QTest::keyClick(box, key); });
    return dialogs.Message(QStringLiteral("Frage"), TDialogs::Kind::Confirmation, buttons, defaultButton);
}

TEST(QtDialogs, MessageShowsTitleTextAndGermanButtonsInOrder)
{
    TQtDialogs dialogs;
    QString title, text;
    QStringList buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    OnNextModal<QMessageBox>([&](QMessageBox* box) {
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = ButtonTexts(box);
        Click(box, QStringLiteral("Nein, a&lle"));
    });
    const Result result = dialogs.Message(QStringLiteral("Erste Zeile\rZweite <b>Zeile</b>"), TDialogs::Kind::Warning,
        kAllButtons);

    EXPECT_EQ(result, Result::NoToAll);
    EXPECT_EQ(title, QStringLiteral("Klangmappe"));
    EXPECT_EQ(text, QStringLiteral("Erste Zeile\nZweite <b>Zeile</b>"));
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(buttons,
        QStringList({"&Ja", "&Nein", "OK", "Abbrechen", "Ja, &alle", "Nein, a&lle", "&Alle"}));

    // A subset keeps the same relative order.
    OnNextModal<QMessageBox>([&](QMessageBox* box) {
        buttons = ButtonTexts(box);
        Click(box, QStringLiteral("Abbrechen"));
    });
    EXPECT_EQ(dialogs.Message(QStringLiteral("x"), TDialogs::Kind::Information,
                  TDialogs::NoToAll | TDialogs::Cancel | TDialogs::Yes),
        Result::Cancel);
    EXPECT_EQ(buttons, QStringList({"&Ja", "Abbrechen", "Nein, a&lle"}));
}

TEST(QtDialogs, EveryButtonMapsToItsResultAndKindsToIcons)
{
    const std::pair<const char*, Result> mapping[] = {{"&Ja", Result::Yes}, {"&Nein", Result::No},
        {"OK", Result::Ok}, {"Abbrechen", Result::Cancel}, {"Ja, &alle", Result::YesToAll},
        {"Nein, a&lle", Result::NoToAll}, {"&Alle", Result::All}};
    for (const auto& [text, result] : mapping)
        EXPECT_EQ(Press(kAllButtons, QString::fromUtf8(text)), result) << text;

    const std::pair<TDialogs::Kind, QMessageBox::Icon> icons[] = {
        {TDialogs::Kind::Information, QMessageBox::Information}, {TDialogs::Kind::Warning, QMessageBox::Warning},
        {TDialogs::Kind::Error, QMessageBox::Critical}, {TDialogs::Kind::Confirmation, QMessageBox::Question}};
    TQtDialogs dialogs;
    for (const auto& [kind, icon] : icons) {
        QMessageBox::Icon shown = QMessageBox::NoIcon;
        OnNextModal<QMessageBox>([&shown](QMessageBox* box) {
            shown = box->icon();
            box->buttons().first()->click();
        });
        dialogs.Message(QStringLiteral("x"), kind, TDialogs::Ok);
        EXPECT_EQ(shown, icon);
    }
}

TEST(QtDialogs, EscapePrefersCancelThenNoThenOk)
{
    EXPECT_EQ(PressKey(kAllButtons, Qt::Key_Escape), Result::Cancel);
    EXPECT_EQ(PressKey(TDialogs::Yes | TDialogs::No | TDialogs::Ok, Qt::Key_Escape), Result::No);
    EXPECT_EQ(PressKey(TDialogs::Yes | TDialogs::No, Qt::Key_Escape), Result::No);
    EXPECT_EQ(PressKey(TDialogs::Ok, Qt::Key_Escape), Result::Ok);
    EXPECT_EQ(PressKey(TDialogs::Yes | TDialogs::Ok | TDialogs::YesToAll, Qt::Key_Escape), Result::Ok);

    // Closed without any button.
    TQtDialogs dialogs;
    OnNextModal<QMessageBox>([](QMessageBox* box) { box->reject(); });
    EXPECT_EQ(dialogs.Message(QStringLiteral("x"), TDialogs::Kind::Confirmation, TDialogs::Yes | TDialogs::YesToAll),
        Result::None);
}

TEST(QtDialogs, EnterPressesTheDefaultButton)
{
    const unsigned yesNoCancel = TDialogs::Yes | TDialogs::No | TDialogs::Cancel;
    EXPECT_EQ(PressKey(yesNoCancel, Qt::Key_Return), Result::Yes);
    EXPECT_EQ(PressKey(yesNoCancel, Qt::Key_Return, TDialogs::No), Result::No);
    EXPECT_EQ(PressKey(yesNoCancel, Qt::Key_Enter, TDialogs::Cancel), Result::Cancel);
    // A default the box does not carry falls back to the first button.
    EXPECT_EQ(PressKey(TDialogs::No | TDialogs::Cancel, Qt::Key_Return, TDialogs::YesToAll), Result::No);
}

TEST(QtDialogs, ShowErrorIsAnErrorBoxWithOk)
{
    TQtDialogs dialogs;
    QStringList buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString text;
    OnNextModal<QMessageBox>([&](QMessageBox* box) {
        buttons = ButtonTexts(box);
        icon = box->icon();
        text = box->text();
        QTest::keyClick(box, Qt::Key_Escape);
    });
    dialogs.ShowError(QStringLiteral("Kaputt.\rWirklich."));
    EXPECT_EQ(buttons, QStringList({"OK"}));
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(text, QStringLiteral("Kaputt.\nWirklich."));
}

TEST(QtDialogs, InputQueryGivesTheTextOnlyOnOk)
{
    TQtDialogs dialogs;
    QString title, label, start, okText, cancelText;
    OnNextModal<QInputDialog>([&](QInputDialog* dialog) {
        title = dialog->windowTitle();
        label = dialog->labelText();
        start = dialog->textValue();
        okText = dialog->okButtonText();
        cancelText = dialog->cancelButtonText();
        QLineEdit* edit = dialog->findChild<QLineEdit*>();
        ASSERT_NE(edit, nullptr);
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("Neu"));
        QTest::keyClick(edit, Qt::Key_Return);
    });
    QString value = QStringLiteral("Alt");
    EXPECT_TRUE(dialogs.InputQuery(QStringLiteral("Überschrift"), QStringLiteral("Name:"), value));
    EXPECT_EQ(value, QStringLiteral("Neu"));
    EXPECT_EQ(title, QStringLiteral("Überschrift"));
    EXPECT_EQ(label, QStringLiteral("Name:"));
    EXPECT_EQ(start, QStringLiteral("Alt"));
    EXPECT_EQ(okText, QStringLiteral("OK"));
    EXPECT_EQ(cancelText, QStringLiteral("Abbrechen"));

    OnNextModal<QInputDialog>([](QInputDialog* dialog) {
        dialog->setTextValue(QStringLiteral("Verworfen"));
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    EXPECT_FALSE(dialogs.InputQuery(QStringLiteral("Überschrift"), QStringLiteral("Name:"), value));
    EXPECT_EQ(value, QStringLiteral("Neu"));
}

TEST(QtDialogs, FolderNameDropsTheTrailingSlashButKeepsTheRoot)
{
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const QString sub = temp.path() + QStringLiteral("/Musik");
    ASSERT_TRUE(QDir().mkpath(sub));

    TQtDialogs dialogs;
    QString title;
    const auto choose = [&title](const QString& folder) {
        OnNextModal<QFileDialog>([&title, folder](QFileDialog* dialog) {
            title = dialog->windowTitle();
            dialog->setDirectory(folder);
            static_cast<QDialog*>(dialog)->accept(); // QFileDialog hides it
        });
    };
    choose(sub + QStringLiteral("/"));
    EXPECT_EQ(dialogs.FolderName(QStringLiteral("Zielordner"), temp.path()), sub);
    EXPECT_EQ(title, QStringLiteral("Zielordner"));

    choose(QStringLiteral("/"));
    EXPECT_EQ(dialogs.FolderName(QStringLiteral("Zielordner"), temp.path()), QStringLiteral("/"));

    OnNextModal<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    EXPECT_EQ(dialogs.FolderName(QStringLiteral("Zielordner"), temp.path()), QString());
}

// The test double every other widget test relies on.
TEST(ScriptedDialogs, AnswersPerKindInOrderAndCountsWhatWasNotScripted)
{
    test::TScriptedDialogs dialogs;
    dialogs.QueueResult(Result::No);
    dialogs.QueueResult(Result::Yes);
    dialogs.QueueInput(false, QStringLiteral("ignoriert"));
    dialogs.QueueInput(true, QStringLiteral("Neu"));
    dialogs.QueuePath(QStringLiteral("/tmp/a.htm"));
    dialogs.QueueFolder(QStringLiteral("/musik"));

    QString value = QStringLiteral("Alt");
    EXPECT_EQ(dialogs.FolderName(QStringLiteral("Ziel"), QStringLiteral("/home/")), QStringLiteral("/musik"));
    EXPECT_EQ(dialogs.Message(QStringLiteral("Eins"), TDialogs::Kind::Warning, TDialogs::Yes | TDialogs::No,
                  TDialogs::No),
        Result::No);
    EXPECT_FALSE(dialogs.InputQuery(QStringLiteral("T"), QStringLiteral("P"), value));
    EXPECT_EQ(value, QStringLiteral("Alt"));
    EXPECT_TRUE(dialogs.InputQuery(QStringLiteral("T"), QStringLiteral("P"), value));
    EXPECT_EQ(value, QStringLiteral("Neu"));
    dialogs.ShowError(QStringLiteral("Fehler"));
    EXPECT_EQ(dialogs.Message(QStringLiteral("Zwei"), TDialogs::Kind::Confirmation, TDialogs::Ok), Result::Yes);
    EXPECT_EQ(dialogs.SaveFileName(QStringLiteral("S"), QStringLiteral("/tmp/x"), QStringLiteral("*.htm")),
        QStringLiteral("/tmp/a.htm"));
    dialogs.Beep();
    EXPECT_TRUE(dialogs.AllAnswersUsed());
    EXPECT_EQ(dialogs.unanswered, 0);

    EXPECT_EQ(dialogs.Message(QStringLiteral("Drei"), TDialogs::Kind::Information, TDialogs::Ok), Result::None);
    EXPECT_EQ(dialogs.FolderName(QStringLiteral("Ziel"), QString()), QString());
    EXPECT_EQ(dialogs.unanswered, 2);
    EXPECT_EQ(dialogs.beeps, 1);

    ASSERT_EQ(dialogs.calls.size(), 9u);
    EXPECT_EQ(dialogs.calls[0].What, QStringLiteral("FolderName"));
    EXPECT_EQ(dialogs.calls[0].Value, QStringLiteral("/home/"));
    EXPECT_EQ(dialogs.calls[1].Kind, TDialogs::Kind::Warning);
    EXPECT_EQ(dialogs.calls[1].Buttons, unsigned(TDialogs::Yes | TDialogs::No));
    EXPECT_EQ(dialogs.calls[1].DefaultButton, unsigned(TDialogs::No));
    EXPECT_EQ(dialogs.calls[3].Value, QStringLiteral("Alt"));
    EXPECT_EQ(dialogs.calls[4].What, QStringLiteral("ShowError"));
    EXPECT_EQ(dialogs.calls[4].Kind, TDialogs::Kind::Error);
    EXPECT_EQ(dialogs.calls[6].Filter, QStringLiteral("*.htm"));
    EXPECT_EQ(dialogs.TextsOf(QStringLiteral("Message")), QStringList({"Eins", "Zwei", "Drei"}));
}

} // namespace
} // namespace km
