#include "app/update.h"

#include "app/addresses.h"

#include "support/windowfixture.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextBrowser>

#include <map>
#include <tuple>

namespace km {
namespace {

using namespace std::chrono_literals;
using Result = TDialogs::Result;

const QString kRetry = QString::fromUtf8(
    "Die aktuellen Programminformationen konnten nicht aus dem Internet geladen werden.\n\r"
    "Wahrscheinlich besteht keine Verbindung zum Internet. Bitte stellen Sie diese zuerst her!\n\r"
    "Möchten Sie noch einmal versuchen die Informationen aus dem Internet zu laden?");

// The maker's server on 127.0.0.1: one answer per path; a path without one is never answered.
class TUpdateServer {
public:
    TUpdateServer()
    {
        EXPECT_TRUE(m_server.listen(QHostAddress::LocalHost));
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                if (onConnect)
                    onConnect();
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    QByteArray& request = m_pending[socket];
                    request += socket->readAll();
                    if (!request.contains("\r\n\r\n"))
                        return;
                    const QByteArray path = request.split(' ').value(1);
                    paths << path;
                    request.clear();
                    const auto it = answers.find(path);
                    if (it == answers.end())
                        return;
                    socket->write(it->second);
                    socket->disconnectFromHost();
                });
            }
        });
    }
    QString Url() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }
    TUpdateSource Source(std::chrono::milliseconds timeout = 5s) const
    {
        return {{QStringLiteral("127.0.0.1"), m_server.serverPort()}, timeout};
    }
    void Serve(const QByteArray& path, const QByteArray& body, const QByteArray& status = "200 OK")
    {
        answers[path] = "HTTP/1.0 " + status + "\r\nContent-Type: text/html; charset=utf-8\r\n\r\n" + body;
    }

    std::map<QByteArray, QByteArray> answers;
    QList<QByteArray> paths;
    std::function<void()> onConnect;

private:
    QTcpServer m_server;
    std::map<QTcpSocket*, QByteArray> m_pending;
};

class Update : public test::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        ::setenv("KLANGMAPPE_UPDATE_URL", server.Url().toLatin1().constData(), 1);
    }
    void TearDown() override
    {
        ::unsetenv("KLANGMAPPE_UPDATE_URL");
        WindowTest::TearDown();
    }

    // A window of its own, shown, until its check has ended.
    std::unique_ptr<TFormUpdate> Check(std::chrono::milliseconds timeout = 5s)
    {
        auto form = std::make_unique<TFormUpdate>(server.Source(timeout), dialogs, shell);
        QSignalSpy done(form.get(), &TFormUpdate::CheckFinished);
        form->show();
        EXPECT_TRUE(done.wait(5000));
        return form;
    }
    static QString Label(QWidget* form, const char* name) { return form->findChild<QLabel*>(name)->text(); }
    static bool Marked(QWidget* form) { return form->findChild<QLabel*>("Label7")->isVisibleTo(form); }

    TUpdateServer server;
};

TEST_F(Update, ActUpdateShowsTheWindowFirstThenTheNewestVersionAndItsPage)
{
    server.Serve("/Klangmappe/Version.txt", "2\r\n7\r\n");
    server.Serve("/Klangmappe/version.htm",
        "<html><body><p>Neu in Version 2.07: schnellere Suche.</p>"
        "<img src=\"bild.png\"></body></html>");
    Start({QString::fromStdString(music)});

    // When the request reaches the server, the window is up in its first state.
    QStringList firstState;
    server.onConnect = [&] {
        QWidget* form = QApplication::activeModalWidget();
        if (form && firstState.isEmpty())
            firstState << form->windowTitle() << Label(form, "Label5") << Label(form, "Label6")
                       << (Marked(form) ? "mark" : "no mark")
                       << form->findChild<QTextBrowser*>("WebBrowser1")->toPlainText();
    };
    QPointer<QDialog> shown;
    WhenDialogShows([&](QDialog* form) {
        shown = form;
        ASSERT_TRUE(QTest::qWaitFor([&] { return form->findChild<QTextBrowser*>("WebBrowser1")
                                                     ->toPlainText().contains("schnellere Suche"); },
            5000));
        EXPECT_EQ(Label(form, "Label6"), "2.07");
        EXPECT_TRUE(Marked(form));
        QLabel* link = form->findChild<QLabel*>("Label4");
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseClick(link, Qt::LeftButton);
        form->findChild<QPushButton*>("Button1")->click();
    });
    Trigger("ActUpdate");
    EXPECT_EQ(firstState, QStringList({"Update-Informationen", "2.06", "?", "no mark", ""}));
    EXPECT_EQ(shell.addresses, QStringList({QString::fromLatin1(kHomepageAddress)}));
    EXPECT_EQ(server.paths, QList<QByteArray>({"/Klangmappe/Version.txt", "/Klangmappe/version.htm"}))
        << "the page panel fetches nothing of its own";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(shown.isNull()) << "freed when closed";
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(Update, WhatTheVersionFileSays)
{
    const QString incomplete = QStringLiteral("Versionsinformationen sind unvollständig.");
    const std::tuple<QByteArray, QByteArray, QString, QString> cases[] = {
        {"2\r\n6\r\n", "200 OK", "2.06", {}},
        {"2\r\n", "200 OK", "?", incomplete},
        {"2\r\n6 \r\n", "200 OK", "?", kRetry},
        {"<html>Hier ist nichts.</html>\r\n\r\n", "200 OK", "?", kRetry},
        {"2\r\n7\r\n", "404 Not Found", "?", kRetry},
    };
    for (const auto& [body, status, shown, message] : cases) {
        dialogs.calls.clear();
        if (message == kRetry)
            dialogs.QueueResult(Result::No);
        server.Serve("/Klangmappe/Version.txt", body, status);
        const auto form = Check();
        EXPECT_EQ(Label(form.get(), "Label6"), shown) << body.data();
        EXPECT_FALSE(Marked(form.get())) << body.data();
        EXPECT_EQ(dialogs.TextsOf("Message"), message.isEmpty() ? QStringList() : QStringList({message}))
            << body.data();
        if (!message.isEmpty()) {
            EXPECT_EQ(dialogs.calls.back().Kind, TDialogs::Kind::Error);
            EXPECT_EQ(dialogs.calls.back().Buttons,
                unsigned(message == kRetry ? TDialogs::Yes | TDialogs::No : TDialogs::Ok));
        }
    }
    EXPECT_TRUE(dialogs.AllAnswersUsed());
}

TEST_F(Update, YesAsksTheServerAgainUntilNo)
{
    server.Serve("/Klangmappe/Version.txt", "", "503 Service Unavailable");
    for (Result r : {Result::Yes, Result::Yes, Result::Yes, Result::No})
        dialogs.QueueResult(r);
    const auto form = Check();
    EXPECT_EQ(dialogs.TextsOf("Message"), QStringList(4, kRetry));
    EXPECT_EQ(server.paths.size(), 4);
    EXPECT_EQ(Label(form.get(), "Label6"), "?");

    // Once the server is back, a Yes finds the version.
    dialogs.calls.clear();
    server.paths.clear();
    dialogs.QueueResult(Result::Yes);
    int connections = 0;
    server.onConnect = [&] {
        if (++connections == 2)
            server.Serve("/Klangmappe/Version.txt", "2\r\n6\r\n");
    };
    const auto again = Check();
    EXPECT_EQ(Label(again.get(), "Label6"), "2.06");
    EXPECT_EQ(dialogs.TextsOf("Message"), QStringList({kRetry}));
    EXPECT_TRUE(dialogs.AllAnswersUsed());
}

TEST_F(Update, ASilentServerNeitherHangsTheWindowNorOutlivesIt)
{
    // No answer at all: the question comes once the time is up.
    dialogs.QueueResult(Result::No);
    QElapsedTimer clock;
    clock.start();
    const auto form = Check(300ms);
    EXPECT_GE(clock.elapsed(), 280);
    EXPECT_EQ(dialogs.TextsOf("Message"), QStringList({kRetry}));

    // OK while the check waits closes the window at once; nothing is asked afterwards.
    dialogs.calls.clear();
    Start({QString::fromStdString(music)});
    QPointer<QDialog> shown;
    WhenDialogShows([&](QDialog* f) {
        shown = f;
        EXPECT_TRUE(QTest::qWaitFor([&] { return !server.paths.isEmpty(); }, 5000));
        QTest::qWait(100);
        f->findChild<QPushButton*>("Button1")->click();
    });
    clock.restart();
    Trigger("ActUpdate");
    EXPECT_LT(clock.elapsed(), 3000) << "the ten seconds were not waited out";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(shown.isNull());
    QTest::qWait(200);
    EXPECT_TRUE(dialogs.calls.empty());
}

} // namespace
} // namespace km
