#include "db/HiddenPasswords.h"

#include <QRegularExpression>
#include <QStringList>
#include <QUrl>

#include <algorithm>
#include <vector>

namespace pelmor::db {
namespace {

const QString kHidden = QStringLiteral("****");

// Where a password stands in a text.
struct Span {
    qsizetype start;
    qsizetype end;
};

bool isPortList(QStringView port)
{
    return std::all_of(port.begin(), port.end(), [](QChar c) { return c.isDigit() || c == u','; });
}

// The password of each URI in `text`. A URI runs to the first blank; its
// user and password are what comes before the last "@" ahead of the query,
// so that a password holding "@" or "/" (which a URI must percent-encode,
// and which the user may not have) is hidden whole.
void findUriPasswords(const QString& text, std::vector<Span>& spans)
{
    static const QRegularExpression scheme(QStringLiteral("postgres(?:ql)?://"),
                                           QRegularExpression::CaseInsensitiveOption);
    for (auto matches = scheme.globalMatch(text); matches.hasNext();) {
        const qsizetype start = matches.next().capturedEnd();
        qsizetype end = start;
        while (end < text.size() && !text[end].isSpace())
            ++end;
        QStringView authority = QStringView(text).sliced(start, end - start);
        if (const qsizetype query = authority.indexOf(u'?'); query >= 0)
            authority = authority.first(query);
        if (const qsizetype at = authority.lastIndexOf(u'@'); at >= 0) {
            if (const qsizetype colon = authority.first(at).indexOf(u':'); colon >= 0)
                spans.push_back({start + colon + 1, start + at});
            continue;
        }
        const qsizetype slash = authority.indexOf(u'/');
        const QStringView hosts = slash >= 0 ? authority.first(slash) : authority;
        const qsizetype colon = hosts.lastIndexOf(u':');
        if (colon >= 0 && hosts.indexOf(u']', colon) < 0 && !isPortList(hosts.sliced(colon + 1)))
            spans.push_back({start + colon + 1, start + hosts.size()});
    }
}

// The value of each password keyword in `text`: quoted (to the closing
// quote that no backslash escapes) or up to the next blank, or in a URI's
// query up to the next "&".
void findKeywordPasswords(const QString& text, std::vector<Span>& spans)
{
    static const QRegularExpression keyword(QStringLiteral("(^|[\\s?&\"'])password\\s*=\\s*"),
                                            QRegularExpression::CaseInsensitiveOption);
    for (auto matches = keyword.globalMatch(text); matches.hasNext();) {
        const QRegularExpressionMatch match = matches.next();
        const bool inQuery =
            match.captured(1) == QLatin1String("?") || match.captured(1) == QLatin1String("&");
        const qsizetype start = match.capturedEnd();
        qsizetype end = start;
        if (end < text.size() && text[end] == u'\'') {
            for (++end; end < text.size() && text[end] != u'\''; ++end) {
                if (text[end] == u'\\')
                    ++end;
            }
            end = std::min(end + 1, text.size());
        } else {
            while (end < text.size() && !text[end].isSpace() && !(inQuery && text[end] == u'&'))
                ++end;
        }
        spans.push_back({start, end});
    }
}

std::vector<Span> passwordSpans(const QString& text)
{
    std::vector<Span> spans;
    findUriPasswords(text, spans);
    findKeywordPasswords(text, spans);
    return spans;
}

// The forms in which libpq may quote a password: as written, without its
// quotes and escapes, percent-decoded, and the pieces a malformed URI is cut
// into at "/", "@", ":" and "?" (but for single characters, which would
// hide every such letter standing alone and tell little).
void addSecrets(QStringView written, QStringList& secrets)
{
    QString plain = written.toString();
    if (plain.size() >= 2 && plain.startsWith(u'\'') && plain.endsWith(u'\'')) {
        plain = plain.mid(1, plain.size() - 2);
        secrets << plain;
        plain.replace(QRegularExpression(QStringLiteral("\\\\(.)")), QStringLiteral("\\1"));
    }
    secrets << written.toString() << plain << QUrl::fromPercentEncoding(plain.toUtf8());
    static const QRegularExpression cuts(QStringLiteral("[/@:?]"));
    for (const QString& piece : plain.split(cuts, Qt::SkipEmptyParts)) {
        if (piece.size() > 1)
            secrets << piece;
    }
}

} // namespace

QString hidePasswords(const QString& text, const QString& connection)
{
    std::vector<Span> spans = passwordSpans(text);
    QStringList secrets;
    for (const Span& span : spans)
        addSecrets(QStringView(text).sliced(span.start, span.end - span.start), secrets);
    for (const Span& span : passwordSpans(connection))
        addSecrets(QStringView(connection).sliced(span.start, span.end - span.start), secrets);
    // Where the text itself carries a password, it goes first: the spans
    // joined where they overlap, then replaced from the end so that the
    // positions before stay right.
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.start < b.start; });
    std::vector<Span> joined;
    for (const Span& span : spans) {
        if (!joined.empty() && span.start <= joined.back().end)
            joined.back().end = std::max(joined.back().end, span.end);
        else if (span.end > span.start)
            joined.push_back(span);
    }
    QString hidden = text;
    for (auto span = joined.rbegin(); span != joined.rend(); ++span)
        hidden.replace(span->start, span->end - span->start, kHidden);
    // Then each secret wherever else it stands on its own: not as a part of
    // a longer word, so that a short password does not cut words apart.
    secrets.removeDuplicates();
    secrets.removeIf([](const QString& secret) { return secret.isEmpty() || kHidden.contains(secret); });
    std::sort(secrets.begin(), secrets.end(),
              [](const QString& a, const QString& b) { return a.size() > b.size(); });
    for (const QString& secret : secrets) {
        for (qsizetype at = hidden.indexOf(secret); at >= 0; at = hidden.indexOf(secret, at)) {
            const qsizetype end = at + secret.size();
            const bool alone = (at == 0 || !hidden[at - 1].isLetterOrNumber()) &&
                               (end == hidden.size() || !hidden[end].isLetterOrNumber());
            if (alone) {
                hidden.replace(at, secret.size(), kHidden);
                at += kHidden.size();
            } else {
                at = end;
            }
        }
    }
    return hidden;
}

} // namespace pelmor::db
