#include "platform/qtdialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

#include <array>

namespace km {

namespace {

struct TButtonText {
    TDialogs::Button Button;
    TDialogs::Result Result;
    const char* Text; // UTF-8
};

// The order in which the buttons appear, left to right.
constexpr std::array<TButtonText, 7> kButtons = {{
    {TDialogs::Yes, TDialogs::Result::Yes, "&Ja"},
    {TDialogs::No, TDialogs::Result::No, "&Nein"},
    {TDialogs::Ok, TDialogs::Result::Ok, "OK"},
    {TDialogs::Cancel, TDialogs::Result::Cancel, "Abbrechen"},
    {TDialogs::YesToAll, TDialogs::Result::YesToAll, "Ja, &alle"},
    {TDialogs::NoToAll, TDialogs::Result::NoToAll, "Nein, a&lle"},
    {TDialogs::All, TDialogs::Result::All, "&Alle"},
}};

QMessageBox::Icon IconOfKind(TDialogs::Kind kind)
{
    switch (kind) {
    case TDialogs::Kind::Information:
        return QMessageBox::Information;
    case TDialogs::Kind::Warning:
        return QMessageBox::Warning;
    case TDialogs::Kind::Error:
        return QMessageBox::Critical;
    case TDialogs::Kind::Confirmation:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QString WithLineBreaks(QString text)
{
    // CR LF, LF CR and a lone CR are one break each.
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace

QString MessageBoxTitle()
{
    const QString name = QGuiApplication::applicationDisplayName();
    return name.isEmpty() ? QStringLiteral("Klangmappe") : name;
}

TQtDialogs::TQtDialogs(QWidget* parent)
    : m_parent(parent)
{
}

void TQtDialogs::SetParent(QWidget* parent) { m_parent = parent; }

TDialogs::Result TQtDialogs::Message(const QString& text, Kind kind, unsigned buttons, unsigned defaultButton)
{
    if ((buttons & (Yes | No | Ok | Cancel | YesToAll | NoToAll | All)) == 0)
        buttons = Ok;

    QMessageBox box(m_parent);
    box.setWindowTitle(MessageBoxTitle());
    box.setIcon(IconOfKind(kind));
    box.setTextFormat(Qt::PlainText);
    box.setText(WithLineBreaks(text));

    // One role for all buttons: the button box then keeps our order instead
    // of sorting by role after the desktop's habits.
    std::array<QPushButton*, kButtons.size()> added {};
    QPushButton* first = nullptr;
    QPushButton* preferred = nullptr;
    for (std::size_t i = 0; i < kButtons.size(); ++i) {
        if ((buttons & kButtons[i].Button) == 0)
            continue;
        added[i] = box.addButton(QString::fromUtf8(kButtons[i].Text), QMessageBox::ActionRole);
        if (!first)
            first = added[i];
        if (defaultButton == kButtons[i].Button)
            preferred = added[i];
    }
    box.setDefaultButton(preferred ? preferred : first);

    const auto buttonOf = [&](Button b) -> QPushButton* {
        for (std::size_t i = 0; i < kButtons.size(); ++i)
            if (kButtons[i].Button == b)
                return added[i];
        return nullptr;
    };
    for (const Button b : {Cancel, No, Ok}) {
        if (QPushButton* escape = buttonOf(b)) {
            box.setEscapeButton(escape);
            break;
        }
    }

    box.exec();
    const QAbstractButton* clicked = box.clickedButton();
    for (std::size_t i = 0; i < kButtons.size(); ++i)
        if (clicked && clicked == added[i])
            return kButtons[i].Result;
    return Result::None;
}

void TQtDialogs::ShowError(const QString& text) { Message(text, Kind::Error, Ok); }

bool TQtDialogs::InputQuery(const QString& caption, const QString& prompt, QString& value)
{
    QInputDialog dialog(m_parent);
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextValue(value);
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("Abbrechen"));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    value = dialog.textValue();
    return true;
}

QString TQtDialogs::SaveFileName(const QString& caption, const QString& startPath, const QString& filter)
{
    // The program asks about an existing file in its own words.
    return QFileDialog::getSaveFileName(m_parent, caption, startPath, filter, nullptr, QFileDialog::DontConfirmOverwrite);
}

QString TQtDialogs::FolderName(const QString& caption, const QString& startFolder)
{
    QString folder = QFileDialog::getExistingDirectory(m_parent, caption, startFolder);
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

void TQtDialogs::Beep() { QApplication::beep(); }

} // namespace km
