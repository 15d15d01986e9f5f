#pragma once

#include "platform/http.h"

#include <QDialog>
#include <QObject>

#include <chrono>
#include <optional>

class QLabel;
class QPushButton;
class QTextBrowser;

namespace km {

struct TCommandContext;
class TDialogs;
class TShell;

// Where the version check asks, and how long it waits for each answer.
struct TUpdateSource {
    THttpServer Server; // no host: the configured address was unusable
    std::chrono::milliseconds Timeout {10000};
};
// KLANGMAPPE_UPDATE_URL when set, else the maker's server.
TUpdateSource DefaultUpdateSource();

// "Update-Informationen": the own version, the newest one from the maker's
// server and the maker's version page. The check starts once the window shows
// and runs beside the event loop; closing the window ends it.
class TFormUpdate : public QDialog {
    Q_OBJECT
public:
    TFormUpdate(const TUpdateSource& source, TDialogs& dialogs, TShell& shell, QWidget* parent = nullptr);

    void done(int result) override;

signals:
    // The check has ended, with or without a newer version.
    void CheckFinished();
    // The version page is in the panel, or what went wrong in its place.
    void PageFinished();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RunCheck();
    void VersionFileArrived(const THttpResult& result);
    void PageArrived(const THttpResult& result);
    void AskRetry();
    void Label4Click();
    void Link(const QUrl& url);

    TUpdateSource m_source;
    TDialogs& m_dialogs;
    TShell& m_shell;
    THttpGet* m_check;
    THttpGet* m_page;
    bool m_started = false;

    QLabel* Label1;
    QLabel* Label5;
    QLabel* Label2;
    QLabel* Label6;
    QLabel* Label7;
    QTextBrowser* WebBrowser1;
    QLabel* Label3;
    QLabel* Label4;
    QPushButton* Button1;
};

// The command ActUpdate: a fresh window and a fresh check each time.
class TUpdateCommand : public QObject {
    Q_OBJECT
public:
    explicit TUpdateCommand(const TCommandContext& context);

    // Tests wait less than a user would.
    void SetTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }

private:
    void ActUpdateExecute();

    TDialogs& m_dialogs;
    TShell& m_shell;
    QWidget* m_window;
    std::optional<std::chrono::milliseconds> m_timeout;
};

} // namespace km
