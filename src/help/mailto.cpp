#include "help/mailto.h"

#include <QStringList>
#include <QUrlQuery>

namespace km {

namespace {

// The characters of everyday addresses, none that a mail program or a shell
// could read as something else.
bool IsAddressCharacter(QChar c, bool domain)
{
    return c.isLetterOrNumber() || c == u'.' || c == u'-' || (!domain && (c == u'_' || c == u'+'));
}

// user@host, and no option either.
bool IsPlainAddress(QStringView address)
{
    const qsizetype at = address.indexOf(u'@');
    if (at <= 0 || at == address.size() - 1 || address.size() > 254)
        return false;
    for (qsizetype i = 0; i < address.size(); ++i)
        if (i != at && !IsAddressCharacter(address[i], i > at))
            return false;
    return !address.startsWith(u'-');
}

QString Encoded(const QString& value) { return QString::fromLatin1(QUrl::toPercentEncoding(value)); }

} // namespace

QUrl SafeMailAddress(const QUrl& mailto)
{
    if (mailto.scheme().compare(QLatin1StringView("mailto"), Qt::CaseInsensitive) != 0)
        return {};
    QStringList addresses;
    for (const QString& address : mailto.path(QUrl::FullyDecoded).split(u','))
        if (IsPlainAddress(address.trimmed()))
            addresses << address.trimmed();
    QString subject;
    QString body;
    bool hasSubject = false;
    bool hasBody = false;
    for (const auto& [key, value] : QUrlQuery(mailto).queryItems(QUrl::FullyDecoded)) {
        if (!hasSubject && key.compare(QLatin1StringView("subject"), Qt::CaseInsensitive) == 0) {
            hasSubject = true;
            // A subject is one line.
            subject = value;
            for (QChar& c : subject)
                if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                    c = u' ';
        } else if (!hasBody && key.compare(QLatin1StringView("body"), Qt::CaseInsensitive) == 0) {
            hasBody = true;
            body = value;
        }
    }
    QUrl safe;
    safe.setScheme(QStringLiteral("mailto"));
    safe.setPath(addresses.join(u','));
    QStringList query;
    if (hasSubject)
        query << QStringLiteral("subject=") + Encoded(subject);
    if (hasBody)
        query << QStringLiteral("body=") + Encoded(body);
    if (!query.isEmpty())
        safe.setQuery(query.join(u'&'), QUrl::StrictMode);
    return safe;
}

} // namespace km
