#include "web/server/RequestTarget.h"

#include <QStringDecoder>

namespace pelmor::web::server {
namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// `text` with its %XX escapes decoded (and '+' read as a blank when
// `plusIsBlank`); none when an escape is cut short or not hexadecimal.
std::optional<QByteArray> percentDecoded(const QByteArray& text, bool plusIsBlank)
{
    QByteArray decoded;
    decoded.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size())
                return std::nullopt;
            const int high = hexValue(text[i + 1]);
            const int low = hexValue(text[i + 2]);
            if (high < 0 || low < 0)
                return std::nullopt;
            decoded += char(high * 16 + low);
            i += 2;
        } else {
            decoded += plusIsBlank && c == '+' ? ' ' : c;
        }
    }
    return decoded;
}

bool isControl(QChar c, bool allowLineBreaks)
{
    if (allowLineBreaks && (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t')))
        return false;
    return c.unicode() < 0x20 || c.unicode() == 0x7f || (c.unicode() >= 0x80 && c.unicode() < 0xa0);
}

// A query string's or a form's name=value pairs, decoded and checked.
std::optional<std::vector<std::pair<QString, QString>>> readPairs(const QByteArray& text,
                                                                  bool allowLineBreaks, QString& refusal)
{
    std::vector<std::pair<QString, QString>> pairs;
    for (const QByteArray& pair : text.split('&')) {
        if (pair.isEmpty())
            continue;
        const qsizetype equals = pair.indexOf('=');
        const auto name = percentDecoded(equals < 0 ? pair : pair.left(equals), true);
        const auto value = percentDecoded(equals < 0 ? QByteArray() : pair.mid(equals + 1), true);
        const auto nameText = name ? strictText(*name, false) : std::nullopt;
        const auto valueText = value ? strictText(*value, allowLineBreaks) : std::nullopt;
        if (!nameText || !valueText) {
            refusal =
                QStringLiteral("A parameter is not valid percent-encoded UTF-8 text, or holds a control "
                               "character: send it encoded as a browser would.");
            return std::nullopt;
        }
        pairs.emplace_back(*nameText, *valueText);
    }
    return pairs;
}

} // namespace

std::optional<QString> strictText(const QByteArray& text, bool allowLineBreaks)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString decoded = decoder(text);
    if (decoder.hasError() || text.contains('\0'))
        return std::nullopt;
    for (const QChar c : decoded) {
        if (isControl(c, allowLineBreaks))
            return std::nullopt;
    }
    return decoded;
}

std::optional<RequestTarget> readTarget(const QByteArray& raw, QString& refusal)
{
    for (const char c : raw) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7f) {
            refusal = QStringLiteral("The address holds a character that must be percent-encoded.");
            return std::nullopt;
        }
    }
    const qsizetype mark = raw.indexOf('?');
    const QByteArray rawPath = mark < 0 ? raw : raw.left(mark);
    RequestTarget target;
    target.rawQuery = mark < 0 ? QByteArray() : raw.mid(mark + 1);
    if (!rawPath.startsWith('/')) {
        refusal = QStringLiteral("The address must start with a slash.");
        return std::nullopt;
    }
    // Each segment is decoded on its own, so that an encoded slash stays in
    // its segment; there it is refused, as are "." and ".." however written.
    const QList<QByteArray> parts = rawPath.mid(1).split('/');
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const auto decoded = percentDecoded(parts[i], false);
        const auto text = decoded ? strictText(*decoded, false) : std::nullopt;
        if (!text) {
            refusal =
                QStringLiteral("The address is not valid percent-encoded UTF-8 text, or holds a control "
                               "character.");
            return std::nullopt;
        }
        // Encoded twice ("%252e%252e") still reads as a step up once decoded
        // again by whatever the path is handed to.
        const auto twice = percentDecoded(*decoded, false);
        const QByteArray again = twice ? *twice : *decoded;
        if (*text == QLatin1String(".") || *text == QLatin1String("..") || again == "." || again == ".." ||
            text->contains(QLatin1Char('/')) || text->contains(QLatin1Char('\\')) || again.contains('/') ||
            again.contains('\\')) {
            refusal = QStringLiteral("The address steps out of its folder (a \".\" or \"..\" segment, or a "
                                     "slash inside a name).");
            return std::nullopt;
        }
        // An empty segment other than the last ("/sites/") is refused too.
        if (text->isEmpty() && i + 1 < parts.size()) {
            refusal = QStringLiteral("The address holds an empty segment (\"//\").");
            return std::nullopt;
        }
        target.segments << *text;
    }
    if (target.segments.size() == 1 && target.segments.first().isEmpty())
        target.segments.clear();
    target.path = QLatin1Char('/') + target.segments.join(QLatin1Char('/'));
    if (rawPath.endsWith('/') && rawPath.size() > 1)
        target.path += QLatin1Char('/');
    const auto pairs = readPairs(target.rawQuery, false, refusal);
    if (!pairs)
        return std::nullopt;
    QList<std::pair<QString, QString>> items;
    for (const auto& [name, value] : *pairs) {
        // Stored encoded, as QUrlQuery keeps its items, so that a "%" or "&"
        // in a value is read back as it was sent.
        items.append({QString::fromLatin1(QUrl::toPercentEncoding(name)),
                      QString::fromLatin1(QUrl::toPercentEncoding(value))});
    }
    target.query.setQueryItems(items);
    return target;
}

std::optional<std::map<QString, QString>> readUrlEncodedForm(const QByteArray& body, QString& refusal)
{
    const auto pairs = readPairs(body, true, refusal);
    if (!pairs)
        return std::nullopt;
    std::map<QString, QString> form;
    for (const auto& [name, value] : *pairs)
        form.emplace(name, value);
    return form;
}

QByteArray printablePath(const QByteArray& raw)
{
    QByteArray shown;
    for (const char c : raw) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7f || c == '"' || c == '\\')
            shown += '%' + QByteArray::number(byte, 16).rightJustified(2, '0').toUpper();
        else
            shown += c;
    }
    return shown;
}

} // namespace pelmor::web::server
