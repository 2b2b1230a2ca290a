#include "db/ServerChoice.h"

#include "db/DbError.h"
#include "db/Files.h"
#include "db/HiddenPasswords.h"

#include <QSettings>

namespace pelmor::db {

namespace {

constexpr const char* kGroup = "AgencyServer";
constexpr const char* kSendGroup = "SendServer";
// How long a connection attempt waits for a server that does not answer.
constexpr int kConnectSeconds = 8;

} // namespace

QString quotedConnectionValue(const QString& value)
{
    QString escaped = value;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

QStringList tlsModes()
{
    return {QStringLiteral("disable"), QStringLiteral("allow"),     QStringLiteral("prefer"),
            QStringLiteral("require"), QStringLiteral("verify-ca"), QStringLiteral("verify-full")};
}

namespace {

// The choice remembered in the settings' `group`.
ServerChoice rememberedChoice(const char* group)
{
    QSettings settings;
    settings.beginGroup(QLatin1String(group));
    ServerChoice choice;
    choice.useServer = settings.value(QStringLiteral("UseServer"), false).toBool();
    choice.host = settings.value(QStringLiteral("Host")).toString();
    choice.port = settings.value(QStringLiteral("Port"), 5432).toInt();
    if (choice.port <= 0 || choice.port > 65535)
        choice.port = 5432;
    choice.database = settings.value(QStringLiteral("Database")).toString();
    choice.user = settings.value(QStringLiteral("User")).toString();
    const QString mode = settings.value(QStringLiteral("TlsMode")).toString();
    if (tlsModes().contains(mode))
        choice.tlsMode = mode;
    return choice;
}

// Writes `choice` into the settings' `group`, never a password.
void rememberChoice(const char* group, const ServerChoice& choice)
{
    QSettings settings;
    settings.beginGroup(QLatin1String(group));
    settings.setValue(QStringLiteral("UseServer"), choice.useServer);
    // A URI typed into a box may carry a password; none is written.
    settings.setValue(QStringLiteral("Host"), hidePasswords(choice.host));
    settings.setValue(QStringLiteral("Port"), choice.port);
    settings.setValue(QStringLiteral("Database"), hidePasswords(choice.database));
    settings.setValue(QStringLiteral("User"), hidePasswords(choice.user));
    settings.setValue(QStringLiteral("TlsMode"), choice.tlsMode);
    settings.endGroup();
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw DbError(QStringLiteral("Cannot write the setting file %1. Make sure you may write there, and "
                                     "choose the database again.")
                          .arg(displayPath(settings.fileName())));
}

} // namespace

ServerChoice rememberedServerChoice()
{
    return rememberedChoice(kGroup);
}

void rememberServerChoice(const ServerChoice& choice)
{
    rememberChoice(kGroup, choice);
}

ServerChoice rememberedSendServer()
{
    ServerChoice choice = QSettings().contains(QStringLiteral("%1/Host").arg(QLatin1String(kSendGroup)))
                              ? rememberedChoice(kSendGroup)
                              : rememberedServerChoice();
    choice.useServer = true;
    return choice;
}

void rememberSendServer(const ServerChoice& choice)
{
    ServerChoice sent = choice;
    sent.useServer = true;
    rememberChoice(kSendGroup, sent);
}

bool sameServer(const ServerChoice& one, const ServerChoice& other)
{
    return one.host == other.host && one.port == other.port && one.database == other.database &&
           one.user == other.user;
}

QString connectionString(const ServerChoice& choice, const QString& password)
{
    QStringList parts;
    const auto add = [&parts](const char* keyword, const QString& value) {
        if (!value.isEmpty())
            parts << QLatin1String(keyword) + QLatin1Char('=') + quotedConnectionValue(value);
    };
    add("host", choice.host);
    add("port", QString::number(choice.port));
    add("dbname", choice.database);
    add("user", choice.user);
    add("sslmode", choice.tlsMode);
    add("password", password);
    add("connect_timeout", QString::number(kConnectSeconds));
    return parts.join(QLatin1Char(' '));
}

QString serverName(const ServerChoice& choice)
{
    const QString host = choice.host.isEmpty() ? QStringLiteral("localhost") : choice.host;
    QString name = host;
    if (choice.port != 5432)
        name += QLatin1Char(':') + QString::number(choice.port);
    name += QLatin1Char('/') +
            (choice.database.isEmpty() ? QStringLiteral("(your user's database)") : choice.database);
    if (!choice.user.isEmpty())
        name += QStringLiteral(" as ") + choice.user;
    return hidePasswords(name);
}

} // namespace pelmor::db
