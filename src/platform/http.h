#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>
#include <optional>

class QTcpSocket;
class QTimer;

namespace km {

struct THttpServer {
    QString Host;
    quint16 Port = 80;
};

// "http://HOST[:PORT]" without a path; nothing for any other form.
std::optional<THttpServer> ReadServerAddress(const QString& address);

struct THttpResult {
    bool Ok = false;
    QByteArray Body;
    QByteArray ContentType;
    QString Error; // why it failed, for the log and the page panel
};

// One HTTP/1.0 GET at a time over a plain TCP socket: no proxy, no redirects,
// no user agent. It never blocks: the caller's event loop keeps running and
// Finished arrives from it, never from inside Start().
class THttpGet : public QObject {
    Q_OBJECT
public:
    explicit THttpGet(QObject* parent = nullptr);
    ~THttpGet() override;

    // For the whole exchange, from the host lookup to the last byte.
    void SetTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }
    // Drops a request still running. A body larger than `maxBody` is a failure,
    // found out without reading the rest.
    void Start(const THttpServer& server, const QString& path, qsizetype maxBody);
    // Ends a running request without Finished.
    void Abort();
    bool Running() const { return m_socket != nullptr; }

signals:
    void Finished(const km::THttpResult& result);

private:
    void Received();
    void Closed();
    bool ReadHead();
    void Fail(const QString& why);
    void Finish(THttpResult result);
    void Drop();

    std::chrono::milliseconds m_timeout {10000};
    QTcpSocket* m_socket = nullptr;
    QTimer* m_deadline;
    unsigned m_run = 0; // a result of an earlier run is never delivered
    qsizetype m_maxBody = 0;
    QByteArray m_request;
    QByteArray m_data; // the head until it is complete, then the body
    bool m_headRead = false;
    qint64 m_length = -1; // Content-Length, when given
    QByteArray m_contentType;
};

} // namespace km
