#include "store/SurveyStore.h"

#include "db/HiddenPasswords.h"
#include "db/ServerChoice.h"

#include <QStringList>

#include <libpq-fe.h>

#include <memory>

namespace pelmor::store {

db::Database serverAs(const db::Database& database, const QString& login, const QString& password)
{
    const QString& server = database.server;
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
        parts << QString::fromLatin1(keyword) + QLatin1Char('=') +
                     db::quotedConnectionValue(QString::fromUtf8(option->val));
    }
    parts << QStringLiteral("user=") + db::quotedConnectionValue(login)
          << QStringLiteral("password=") + db::quotedConnectionValue(password)
          << QStringLiteral("passfile='/dev/null'");
    return db::Database::ofServer(parts.join(QLatin1Char(' ')));
}

} // namespace pelmor::store
