#include "support/scripteddialogs.h"

namespace km::test {

namespace {
// The next queued answer; without one, `fallback`, and the call counts as unanswered.
template <typename T> T TakeOr(std::deque<T>& queue, T fallback, int& unanswered)
{
    if (queue.empty()) {
        ++unanswered;
        return fallback;
    }
    T front = std::move(queue.front());
    queue.pop_front();
    return front;
}
} // namespace

TDialogs::Result TScriptedDialogs::Message(const QString& text, Kind kind, unsigned buttons, unsigned defaultButton)
{
    calls.push_back({QStringLiteral("Message"), text, {}, kind, buttons, defaultButton, {}, {}});
    if (WhileAsked)
        WhileAsked();
    return TakeOr(m_results, Result::None, unanswered);
}

void TScriptedDialogs::ShowError(const QString& text)
{
    calls.push_back({QStringLiteral("ShowError"), text, {}, Kind::Error, Ok, 0, {}, {}});
}

bool TScriptedDialogs::InputQuery(const QString& caption, const QString& prompt, QString& value)
{
    calls.push_back({QStringLiteral("InputQuery"), prompt, caption, Kind::Information, Ok | Cancel, 0, value, {}});
    const auto [ok, answer] = TakeOr(m_inputs, std::pair<bool, QString>(false, QString()), unanswered);
    if (ok)
        value = answer;
    return ok;
}

QString TScriptedDialogs::SaveFileName(const QString& caption, const QString& startPath, const QString& filter)
{
    calls.push_back({QStringLiteral("SaveFileName"), {}, caption, Kind::Information, 0, 0, startPath, filter});
    return TakeOr(m_paths, QString(), unanswered);
}

QString TScriptedDialogs::FolderName(const QString& caption, const QString& startFolder)
{
    calls.push_back({QStringLiteral("FolderName"), {}, caption, Kind::Information, 0, 0, startFolder, {}});
    return TakeOr(m_folders, QString(), unanswered);
}

QStringList TScriptedDialogs::TextsOf(const QString& what) const
{
    QStringList texts;
    for (const TDialogCall& call : calls)
        if (call.What == what)
            texts << call.Text;
    return texts;
}

bool TScriptedDialogs::AllAnswersUsed() const
{
    return m_results.empty() && m_inputs.empty() && m_paths.empty() && m_folders.empty();
}

} // namespace km::test
