#include "help/formupdate.h"

#include "model/addresses.h"

#include "support/commandfixture.h"

#include <QSignalSpy>
#include <QTest>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextBrowser>
#include <QTextDocument>

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

class Update : public test::CommandTest {
protected:
    void SetUp() override
    {
        CommandTest::SetUp();
        ::setenv("KLANGMAPPE_UPDATE_URL", server.Url().toLatin1().constData(), 1);
    }
    void TearDown() override { ::unsetenv("KLANGMAPPE_UPDATE_URL"); }

    // A window of its own, shown, until its check has ended.
    std::unique_ptr<TFormUpdate> Check(std::chrono::milliseconds timeout = 5s)
    {
        auto form = std::make_unique<TFormUpdate>(server.Source(timeout), dialogs, shell);
        QSignalSpy done(form.get(), &TFormUpdate::CheckFinished);
        form->show();
        EXPECT_TRUE(done.wait(5000));
        return form;
    }
    // A window of its own with the server's page in its panel; how long the page took.
    std::unique_ptr<TFormUpdate> ShowPage(const QByteArray& page, qint64* elapsed = nullptr)
    {
        server.Serve("/Klangmappe/Version.txt", "2\r\n7\r\n");
        server.Serve("/Klangmappe/version.htm", page);
        auto form = std::make_unique<TFormUpdate>(server.Source(), dialogs, shell);
        QSignalSpy shown(form.get(), &TFormUpdate::PageFinished);
        QElapsedTimer clock;
        clock.start();
        form->show();
        EXPECT_TRUE(shown.wait(20000));
        if (elapsed)
            *elapsed = clock.elapsed();
        return form;
    }
    static QTextBrowser* Panel(QWidget* form) { return form->findChild<QTextBrowser*>("WebBrowser1"); }
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
    new TUpdateCommand(context);

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
    new TUpdateCommand(context);
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

TEST_F(Update, AHostilePageShowsAtOnceAndAnOrdinaryOneAsItIs)
{
    // Nested tables take exponential time in the panel, nested blocks quadratic.
    const QByteArray tables = QByteArray("<table><tr><td>").repeated(30) + "ganz innen";
    ASSERT_LT(tables.size(), 500);
    const QByteArray divs = QByteArray("<div>").repeated(200000) + "ganz innen";
    ASSERT_LT(divs.size(), 1024 * 1024);
    for (const QByteArray& page : {tables, divs}) {
        qint64 elapsed = 0;
        const auto form = ShowPage(page, &elapsed);
        EXPECT_LT(elapsed, 20000) << "well under a second on an ordinary machine";
        EXPECT_EQ(Panel(form.get())->toPlainText().simplified(), "ganz innen");
    }

    // An ordinary page looks exactly as before, its links included.
    const QByteArray ordinary
        = "<html><body><h1>Klangmappe 2.07</h1>\n"
          "<p>Schneller: <b>Suche</b> und <i>Liste</i> &amp; mehr.</p>\n"
          "<ul><li>eins</li><li>zwei</li></ul>\n"
          "<table border=\"1\"><tr><th>Version</th><th>Datum</th></tr>"
          "<tr><td>2.07</td><td>1.2.2025</td></tr></table>\n"
          "<p><a href=\"neu.htm\">Mehr</a> &middot; <a href=\"mailto:info@fennwick.example\">Post</a></p>"
          "</body></html>";
    QTextDocument asItIs;
    asItIs.setHtml(QString::fromUtf8(ordinary));
    const auto form = ShowPage(ordinary);
    EXPECT_EQ(Panel(form.get())->toHtml(), asItIs.toHtml());
}

TEST_F(Update, MailLinksReachTheMailProgramWithAddressSubjectAndBodyOnly)
{
    const auto form = ShowPage("<p>Neu</p>");
    const std::pair<QString, QString> links[] = {
        {"mailto:info@fennwick.example?subject=Klangmappe%202.07&body=Hallo&attach=/home/nutzer/.ssh/id_rsa"
         "&cc=a@b.example&bcc=c@d.example&to=e@f.example",
            "mailto:info@fennwick.example?subject=Klangmappe%202.07&body=Hallo"},
        {"MAILTO:a@b.example,c@d.example?Attach=%2Fetc%2Fpasswd&SUBJECT=x%0D%0AAttach:%20y",
            "mailto:a@b.example,c@d.example?subject=x%20%20Attach%3A%20y"},
        {"mailto:?body=Zeile%201%0D%0A%26attach%3D%2Fetc%2Fpasswd",
            "mailto:?body=Zeile%201%0D%0A%26attach%3D%2Fetc%2Fpasswd"},
        {"mailto:--attach=/etc/passwd,x%3Fattach%3D%2Fetc%2Fpasswd@y.example,ok@fennwick.example",
            "mailto:ok@fennwick.example"},
        {"neu.htm", server.Url() + "/Klangmappe/neu.htm"},
        {"https://fennwick.example/", "https://fennwick.example/"},
        {"file:///etc/passwd", {}},
        {"javascript:alert(1)", {}},
    };
    for (const auto& [link, opened] : links) {
        shell.addresses.clear();
        emit Panel(form.get())->anchorClicked(QUrl(link));
        EXPECT_EQ(shell.addresses.join(' ').toStdString(), opened.toStdString()) << link.toStdString();
    }
}

TEST_F(Update, TheLongestVersionIsShownWhole)
{
    for (const QByteArray& file :
        {QByteArray("2147483647\r\n2147483647\r\n"), QByteArray("-2147483648\r\n-2147483648\r\n")}) {
        server.Serve("/Klangmappe/Version.txt", file);
        const auto form = Check();
        QCoreApplication::sendPostedEvents();
        const QString version = QString::fromLatin1(file).split("\r\n").join('.').chopped(1);
        EXPECT_EQ(Label(form.get(), "Label6"), version);
        for (const char* name : {"Label5", "Label6", "Label7"}) {
            const QLabel* label = form->findChild<QLabel*>(name);
            if (!label->isVisibleTo(form.get()))
                continue;
            EXPECT_GE(label->width(), label->sizeHint().width()) << name << " " << version.toStdString();
            EXPECT_TRUE(form->rect().contains(label->geometry())) << name << " " << version.toStdString();
        }
        EXPECT_EQ(Marked(form.get()), file.startsWith('2'));
        EXPECT_GE(Panel(form.get())->width(), 480);
    }
}

} // namespace
} // namespace km
