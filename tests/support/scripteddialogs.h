#pragma once

#include "platform/dialogs.h"

#include <deque>
#include <functional>
#include <utility>
#include <vector>

namespace km::test {

// One question the code under test asked.
struct TDialogCall {
    QString What; // "Message", "ShowError", "InputQuery", "SaveFileName", "FolderName"
    QString Text; // message text or input prompt
    QString Caption;
    TDialogs::Kind Kind = TDialogs::Kind::Information;
    unsigned Buttons = 0;
    unsigned DefaultButton = 0;
    QString Value; // start text, start path or start folder
    QString Filter;
};

// Answers every dialog from a script and records what was asked.
class TScriptedDialogs : public TDialogs {
public:
    void QueueResult(Result result) { m_results.push_back(result); }
    void QueueInput(bool ok, QString value) { m_inputs.emplace_back(ok, std::move(value)); }
    void QueuePath(QString path) { m_paths.push_back(std::move(path)); }
    void QueueFolder(QString folder) { m_folders.push_back(std::move(folder)); }

    Result Message(const QString& text, Kind kind, unsigned buttons, unsigned defaultButton = 0) override;
    void ShowError(const QString& text) override;
    bool InputQuery(const QString& caption, const QString& prompt, QString& value) override;
    QString SaveFileName(const QString& caption, const QString& startPath, const QString& filter) override;
    QString FolderName(const QString& caption, const QString& startFolder) override;
    void Beep() override { ++beeps; }

    // The texts of the recorded calls of one kind, in order.
    QStringList TextsOf(const QString& what) const;
    // Answers queued but never asked for.
    bool AllAnswersUsed() const;

    // Runs while a message box is open, before it is answered: the user reading.
    std::function<void()> WhileAsked;

    std::vector<TDialogCall> calls;
    int beeps = 0;
    int unanswered = 0;

private:
    std::deque<Result> m_results;
    std::deque<std::pair<bool, QString>> m_inputs;
    std::deque<QString> m_paths;
    std::deque<QString> m_folders;
};

} // namespace km::test
