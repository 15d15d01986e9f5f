#pragma once

#include "platform/dialogs.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QString>

class QDialog;
class QLabel;
class QProgressBar;
class QWidget;

namespace km {

// The progress window of a copy, move or delete, and the way its questions
// reach the user. The window shows itself only after a delay and never over
// a question: while one is open it is hidden, however long the user reads.
class TFileProgress : public TDialogs {
public:
    // `label`: the text before each file, with %1 for the file's name.
    TFileProgress(QWidget* window, TDialogs& dialogs, QString label);
    ~TFileProgress() override;
    TFileProgress(const TFileProgress&) = delete;
    TFileProgress& operator=(const TFileProgress&) = delete;

    // Tells how far the operation is and lets the window breathe; false once the user cancelled.
    bool Report(int done, int total, const QString& file);

    // Questions pass through to the real dialogs with the progress window out of the way.
    Result Message(const QString& text, Kind kind, unsigned buttons, unsigned defaultButton = 0) override;
    void ShowError(const QString& text) override;
    bool InputQuery(const QString& caption, const QString& prompt, QString& value) override;
    QString SaveFileName(const QString& caption, const QString& startPath, const QString& filter) override;
    QString FolderName(const QString& caption, const QString& startFolder) override;
    void Beep() override;

private:
    template <typename F>
    auto Asking(F ask);
    void Show();

    QWidget* m_window;
    TDialogs& m_dialogs;
    QString m_label;
    QPointer<QDialog> m_dialog; // made when first shown
    QLabel* m_text = nullptr;
    QProgressBar* m_bar = nullptr;
    QElapsedTimer m_clock; // time at work since the start or the last answer
    QString m_file;
    int m_done = 0;
    int m_total = 0;
    bool m_cancelled = false;
};

} // namespace km
