#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrlQuery>

#include <map>
#include <optional>

// The target of a request ("/surveys/050326-A?threshold=40") read strictly,
// before any route sees it: every escape decoded once, the result UTF-8,
// no control character, no "." or ".." segment and no slash hidden in one.
namespace pelmor::web::server {

struct RequestTarget {
    QString path;         // decoded
    QStringList segments; // the decoded segments of the path, without the empty first one
    QUrlQuery query;      // the parameters, decoded on reading
    QByteArray rawQuery;  // the query string as sent
};

// The target read from the request line's `raw` text; none, with `refusal`
// saying why, when it is refused.
std::optional<RequestTarget> readTarget(const QByteArray& raw, QString& refusal);

// A form sent as application/x-www-form-urlencoded, its fields decoded; none,
// with `refusal` saying why, when a field is not UTF-8 or holds a control
// character other than a line break or tab.
std::optional<std::map<QString, QString>> readUrlEncodedForm(const QByteArray& body, QString& refusal);

// `text` decoded as UTF-8; none when it is not UTF-8, or, with
// `allowLineBreaks` false, when it holds any control character.
std::optional<QString> strictText(const QByteArray& text, bool allowLineBreaks);

// A path made safe for a log line or a Location header: every byte outside
// printable ASCII percent-encoded.
QByteArray printablePath(const QByteArray& raw);

} // namespace pelmor::web::server
