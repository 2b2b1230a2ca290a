#include "web/server/LoginConnection.h"

#include "db/DbError.h"
#include "db/HiddenPasswords.h"

#include <QStringList>

#include <libpq-fe.h>

#include <memory>

namespace pelmor::web::server {
namespace {

QString quoted(const QString& value)
{
    QString escaped = value;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

} // namespace

QString connectionAs(const QString& server, const QString& login, const QString& password)
{
    char* error = nullptr;
    const std::unique_ptr<PQconninfoOption, decltype(&PQconninfoFree)> options(
        PQconninfoParse(server.toUtf8().constData(), &error), &PQconninfoFree);
    const std::unique_ptr<char, decltype(&PQfreemem)> errorText(error, &PQfreemem);
    if (!options) {
        const QString why =
            errorText ? QString::fromUtf8(errorText.get()).trimmed() : QStringLiteral("no memory");
        throw db::DbError(
            db::hidePasswords(
                QStringLiteral("The server's connection %1 cannot be read: %2").arg(server, why), server),
            db::Failure::Other);
    }
    QStringList parts;
    for (const PQconninfoOption* option = options.get(); option->keyword; ++option) {
        const QByteArray keyword(option->keyword);
        if (!option->val || keyword == "user" || keyword == "password" || keyword == "passfile")
            continue;
        parts << QString::fromLatin1(keyword) + QLatin1Char('=') + quoted(QString::fromUtf8(option->val));
    }
    parts << QStringLiteral("user=") + quoted(login) << QStringLiteral("password=") + quoted(password)
          << QStringLiteral("passfile='/dev/null'");
    return parts.join(QLatin1Char(' '));
}

} // namespace pelmor::web::server
