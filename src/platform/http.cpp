#include "platform/http.h"

#include <QNetworkProxy>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

namespace km {

namespace {

// A server that sends an endless head is as broken as one that sends nothing.
constexpr qsizetype kMaxHead = 16 * 1024;

QByteArray HostHeader(const THttpServer& server)
{
    QByteArray host = server.Host.contains(QLatin1Char(':')) ? '[' + server.Host.toLatin1() + ']'
                                                                : QUrl::toAce(server.Host);
    if (server.Port != 80)
        host += ':' + QByteArray::number(server.Port);
    return host;
}

} // namespace

std::optional<THttpServer> ReadServerAddress(const QString& address)
{
    const QUrl url(address.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QLatin1String("http") || url.host().isEmpty()
        || !url.userInfo().isEmpty() || url.hasQuery() || url.hasFragment()
        || !(url.path().isEmpty() || url.path() == QLatin1String("/")))
        return std::nullopt;
    const int port = url.port(80);
    if (port <= 0)
        return std::nullopt;
    return THttpServer {url.host(), static_cast<quint16>(port)};
}

THttpGet::THttpGet(QObject* parent)
    : QObject(parent)
    , m_deadline(new QTimer(this))
{
    m_deadline->setSingleShot(true);
    connect(m_deadline, &QTimer::timeout, this, [this] { Fail(QStringLiteral("Zeitüberschreitung")); });
}

THttpGet::~THttpGet() { Drop(); }

void THttpGet::Start(const THttpServer& server, const QString& path, qsizetype maxBody)
{
    Abort();
    m_maxBody = maxBody;
    m_data.clear();
    m_headRead = false;
    m_length = -1;
    m_contentType.clear();
    m_request = "GET " + QUrl::toPercentEncoding(path, "/") + " HTTP/1.0\r\nHost: " + HostHeader(server) + "\r\n\r\n";

    m_socket = new QTcpSocket(this);
    m_socket->setProxy(QNetworkProxy::NoProxy);
    // We read whatever arrives at once; the socket need not hoard a flood.
    m_socket->setReadBufferSize(64 * 1024);
    connect(m_socket, &QTcpSocket::connected, this, [this] { m_socket->write(m_request); });
    connect(m_socket, &QTcpSocket::readyRead, this, &THttpGet::Received);
    connect(m_socket, &QTcpSocket::disconnected, this, &THttpGet::Closed);
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::RemoteHostClosedError)
            Closed();
        else
            Fail(m_socket->errorString());
    });
    m_deadline->start(m_timeout);
    if (server.Host.isEmpty())
        Fail(QStringLiteral("Kein Server angegeben"));
    else
        m_socket->connectToHost(server.Host, server.Port);
}

void THttpGet::Abort()
{
    ++m_run;
    Drop();
}

void THttpGet::Drop()
{
    m_deadline->stop();
    if (!m_socket)
        return;
    m_socket->disconnect(this);
    m_socket->abort();
    // We may be inside one of its signals.
    m_socket->deleteLater();
    m_socket = nullptr;
}

void THttpGet::Received()
{
    if (!m_socket)
        return;
    m_data += m_socket->readAll();
    if (!m_headRead) {
        if (!ReadHead())
            return;
    }
    if (m_data.size() > m_maxBody) {
        Fail(QStringLiteral("Die Antwort ist zu groß"));
        return;
    }
    if (m_length >= 0 && m_data.size() >= m_length) {
        m_data.truncate(m_length);
        Finish({true, m_data, m_contentType, {}});
    }
}

// True once the head is read and accepted; m_data then holds the body so far.
bool THttpGet::ReadHead()
{
    qsizetype end = m_data.indexOf("\r\n\r\n");
    qsizetype bodyStart = end + 4;
    const qsizetype bare = m_data.indexOf("\n\n");
    if (bare >= 0 && (end < 0 || bare < end)) {
        end = bare;
        bodyStart = bare + 2;
    }
    if (end < 0) {
        if (m_data.size() > kMaxHead)
            Fail(QStringLiteral("Keine HTTP-Antwort"));
        return false;
    }
    const QList<QByteArray> lines = m_data.left(end).split('\n');
    static const QRegularExpression status(QStringLiteral("^HTTP/\\d\\.\\d +(\\d{3})( .*)?$"));
    const QRegularExpressionMatch m = status.match(QString::fromLatin1(lines.first().trimmed()));
    if (!m.hasMatch()) {
        Fail(QStringLiteral("Keine HTTP-Antwort"));
        return false;
    }
    const int code = m.captured(1).toInt();
    if (code < 200 || code > 299) {
        Fail(QStringLiteral("HTTP-Status %1").arg(code));
        return false;
    }
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon < 0)
            continue;
        const QByteArray name = lines[i].left(colon).trimmed().toLower();
        const QByteArray value = lines[i].mid(colon + 1).trimmed();
        if (name == "content-length") {
            bool ok = false;
            m_length = value.toLongLong(&ok);
            if (!ok || m_length < 0) {
                Fail(QStringLiteral("Ungültige Länge"));
                return false;
            }
        } else if (name == "content-type") {
            m_contentType = value;
        } else if (name == "transfer-encoding" && value.toLower() != "identity") {
            // Not ours to decode: HTTP/1.0 asked for a plain body.
            Fail(QStringLiteral("Unbekannte Übertragungsart"));
            return false;
        }
    }
    if (m_length > m_maxBody) {
        Fail(QStringLiteral("Die Antwort ist zu groß"));
        return false;
    }
    m_data.remove(0, bodyStart);
    m_headRead = true;
    return true;
}

void THttpGet::Closed()
{
    if (!m_socket)
        return;
    Received();
    if (!m_socket)
        return;
    if (!m_headRead)
        Fail(QStringLiteral("Keine HTTP-Antwort"));
    else if (m_length >= 0 && m_data.size() < m_length)
        Fail(QStringLiteral("Die Verbindung brach ab"));
    else
        Finish({true, m_data, m_contentType, {}});
}

void THttpGet::Fail(const QString& why)
{
    THttpResult result;
    result.Error = why;
    Finish(std::move(result));
}

void THttpGet::Finish(THttpResult result)
{
    Drop();
    m_data.clear();
    const unsigned run = m_run;
    // From the event loop: the receiver may start the next request or go away.
    QTimer::singleShot(0, this, [this, run, result = std::move(result)] {
        if (run == m_run)
            emit Finished(result);
    });
}

} // namespace km
