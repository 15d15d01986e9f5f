#include "files/fileprogress.h"

#include "platform/qtdialogs.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace km {

namespace {
constexpr int kDelay = 500; // ms at work before the window shows
} // namespace

TFileProgress::TFileProgress(QWidget* window, TDialogs& dialogs, QString label)
    : m_window(window)
    , m_dialogs(dialogs)
    , m_label(std::move(label))
{
    m_clock.start();
}

TFileProgress::~TFileProgress() { delete m_dialog; }

void TFileProgress::Show()
{
    if (!m_dialog) {
        // Our own window rather than QProgressDialog, whose timer shows it
        // whenever it likes, over a question too.
        m_dialog = new QDialog(m_window);
        m_dialog->setObjectName(QStringLiteral("FileProgress"));
        m_dialog->setWindowTitle(MessageBoxTitle());
        m_dialog->setWindowModality(Qt::WindowModal);
        m_text = new QLabel(m_dialog);
        m_text->setTextFormat(Qt::PlainText);
        m_text->setMinimumWidth(360);
        m_bar = new QProgressBar(m_dialog);
        auto* buttons = new QDialogButtonBox(m_dialog);
        QPushButton* cancel = buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
        cancel->setObjectName(QStringLiteral("Abbrechen"));
        // Esc and the window's close button cancel as well.
        QObject::connect(m_dialog, &QDialog::rejected, m_dialog, [this] { m_cancelled = true; });
        QObject::connect(buttons, &QDialogButtonBox::rejected, m_dialog, &QDialog::reject);
        auto* layout = new QVBoxLayout(m_dialog);
        layout->addWidget(m_text);
        layout->addWidget(m_bar);
        layout->addWidget(buttons);
    }
    m_text->setText(m_file.isEmpty() ? QString() : m_label.arg(m_file));
    m_bar->setRange(0, std::max(m_total, 1));
    m_bar->setValue(m_done);
    m_dialog->show();
}

bool TFileProgress::Report(int done, int total, const QString& file)
{
    m_done = done;
    m_total = total;
    if (!file.isEmpty())
        m_file = file.mid(file.lastIndexOf(QLatin1Char('/')) + 1);
    const bool visible = m_dialog && m_dialog->isVisible();
    // Also while one large file is copied, where the count stands still.
    if (visible || m_clock.elapsed() >= kDelay)
        Show();
    // Until the window shields the main window, the user's input waits.
    QCoreApplication::processEvents(
        m_dialog && m_dialog->isVisible() ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    return !m_cancelled;
}

template <typename F>
auto TFileProgress::Asking(F ask)
{
    const bool wasVisible = m_dialog && m_dialog->isVisible();
    if (wasVisible)
        m_dialog->hide();
    auto answer = ask();
    // The time spent reading is no time at work.
    m_clock.restart();
    if (wasVisible && !m_cancelled)
        Show();
    return answer;
}

TDialogs::Result TFileProgress::Message(const QString& text, Kind kind, unsigned buttons, unsigned defaultButton)
{
    return Asking([&] { return m_dialogs.Message(text, kind, buttons, defaultButton); });
}

void TFileProgress::ShowError(const QString& text)
{
    Asking([&] {
        m_dialogs.ShowError(text);
        return 0;
    });
}

bool TFileProgress::InputQuery(const QString& caption, const QString& prompt, QString& value)
{
    return Asking([&] { return m_dialogs.InputQuery(caption, prompt, value); });
}

QString TFileProgress::SaveFileName(const QString& caption, const QString& startPath, const QString& filter)
{
    return Asking([&] { return m_dialogs.SaveFileName(caption, startPath, filter); });
}

QString TFileProgress::FolderName(const QString& caption, const QString& startFolder)
{
    return Asking([&] { return m_dialogs.FolderName(caption, startFolder); });
}

void TFileProgress::Beep() { m_dialogs.Beep(); }

} // namespace km
