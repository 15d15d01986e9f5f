#pragma once

#include <QUrl>

namespace km {

// A mailto address of the version page carrying only its addresses, subject
// and body: no other header (attach, cc, bcc, a further to...) reaches the
// mail program. Empty when the address is no mailto address.
QUrl SafeMailAddress(const QUrl& mailto);

} // namespace km
