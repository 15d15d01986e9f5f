#include "platform/http.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace km {
namespace {

using namespace std::chrono_literals;

// A server on 127.0.0.1 in the test's own event loop: `reply` answers the request head.
class TServer {
public:
    using Reply = std::function<void(QTcpSocket*)>;
    explicit TServer(Reply reply)
    {
        EXPECT_TRUE(m_server.listen(QHostAddress::LocalHost));
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this, reply] {
            QTcpSocket* socket = m_server.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, reply] {
                request += socket->readAll();
                if (request.endsWith("\r\n\r\n"))
                    reply(socket);
            });
        });
    }
    THttpServer Address() const { return {QStringLiteral("127.0.0.1"), m_server.serverPort()}; }
    QByteArray request;

private:
    QTcpServer m_server;
};

TServer::Reply Answer(QByteArray bytes, bool close = true)
{
    return [bytes, close](QTcpSocket* socket) {
        socket->write(bytes);
        if (close)
            socket->disconnectFromHost();
    };
}

class Http : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "core_tests";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
    }

    // Runs the event loop (core_tests has no QtTest) until the answer is in.
    THttpResult Fetch(const THttpServer& server, qsizetype maxBody = 4096, std::chrono::milliseconds timeout = 5s)
    {
        THttpGet get;
        get.SetTimeout(timeout);
        std::optional<THttpResult> result;
        QObject::connect(&get, &THttpGet::Finished, [&](const THttpResult& r) { result = r; });
        QElapsedTimer clock;
        clock.start();
        get.Start(server, QStringLiteral("/Klangmappe/Version.txt"), maxBody);
        EXPECT_FALSE(result) << "never from inside Start";
        while (!result && clock.elapsed() < 10000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(1);
        }
        elapsed = clock.elapsed();
        return result.value_or(THttpResult {});
    }

    qint64 elapsed = 0;
};

TEST_F(Http, AsksWithAPlainHttp10RequestAndReadsTheBody)
{
    TServer closing(Answer("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n2\r\n6\r\n"));
    const THttpResult r = Fetch(closing.Address());
    EXPECT_TRUE(r.Ok) << r.Error.toStdString();
    EXPECT_EQ(r.Body, "2\r\n6\r\n");
    EXPECT_EQ(r.ContentType, "text/plain");
    EXPECT_EQ(closing.request, "GET /Klangmappe/Version.txt HTTP/1.0\r\nHost: 127.0.0.1:"
            + QByteArray::number(closing.Address().Port) + "\r\n\r\n");

    // With a length the body ends there, even when the server keeps the line open.
    TServer open(Answer("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\n3\n0\nmore", false));
    const THttpResult sized = Fetch(open.Address());
    EXPECT_TRUE(sized.Ok);
    EXPECT_EQ(sized.Body, "3\n0\n");
    EXPECT_LT(elapsed, 3000);
}

TEST_F(Http, AnythingButACompleteSuccessfulHttpAnswerFailsAtOnce)
{
    const QByteArray flood(5 * 1024 * 1024, 'x');
    const std::pair<const char*, TServer::Reply> bad[] = {
        {"not HTTP", Answer("SSH-2.0-OpenSSH_9.2\r\n\r\n2\r\n6\r\n")},
        {"404", Answer("HTTP/1.0 404 Not Found\r\n\r\n2\r\n6\r\n")},
        {"cut short", Answer("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n2\r\n6\r\n")},
        {"chunked", Answer("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n6\r\n2\r\n6\r\n\r\n0\r\n\r\n")},
        {"announced too large", Answer("HTTP/1.0 200 OK\r\nContent-Length: 5000000\r\n\r\n", false)},
        {"megabytes without a length", Answer("HTTP/1.0 200 OK\r\n\r\n" + flood, false)},
        {"endless head", Answer(flood, false)},
    };
    for (const auto& [what, reply] : bad) {
        TServer server(reply);
        const THttpResult r = Fetch(server.Address());
        EXPECT_FALSE(r.Ok) << what;
        EXPECT_LT(elapsed, 3000) << what << ": found out without waiting for the deadline";
    }
    quint16 closedPort = 0;
    {
        QTcpServer gone;
        ASSERT_TRUE(gone.listen(QHostAddress::LocalHost));
        closedPort = gone.serverPort();
    }
    EXPECT_FALSE(Fetch({QStringLiteral("127.0.0.1"), closedPort}).Ok) << "nobody listening";
}

TEST_F(Http, TheDeadlineCoversTheWholeExchange)
{
    // A byte every 100 ms would keep a time-out per read happy forever.
    TServer dripping([](QTcpSocket* socket) {
        socket->write("HTTP/1.0 200 OK\r\n\r\n");
        auto* timer = new QTimer(socket);
        QObject::connect(timer, &QTimer::timeout, socket, [socket] { socket->write("x"); });
        timer->start(100);
    });
    EXPECT_FALSE(Fetch(dripping.Address(), 1024 * 1024, 600ms).Ok);
    EXPECT_GE(elapsed, 550);
    EXPECT_LT(elapsed, 2000);

    // An aborted request reports nothing.
    THttpGet get;
    bool reported = false;
    QObject::connect(&get, &THttpGet::Finished, [&] { reported = true; });
    get.SetTimeout(1ms);
    get.Start(dripping.Address(), QStringLiteral("/"), 10);
    get.Abort();
    QThread::msleep(20);
    QCoreApplication::processEvents();
    EXPECT_FALSE(reported);
}

TEST(HttpAddress, OnlyHttpWithHostAndPort)
{
    const std::optional<THttpServer> local = ReadServerAddress(QStringLiteral("http://127.0.0.1:8080"));
    ASSERT_TRUE(local);
    EXPECT_EQ(local->Host, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(local->Port, 8080);
    EXPECT_EQ(ReadServerAddress(QStringLiteral("http://updates.example"))->Port, 80);
    for (const char* bad : {"https://updates.example", "http://updates.example/Klangmappe", "updates.example:80", ""})
        EXPECT_FALSE(ReadServerAddress(QString::fromLatin1(bad))) << bad;
}

} // namespace
} // namespace km
