#include "store/PgServerSchema.h"

#include "store/PgConnection.h"
#include "survey/SurveyRecord.h"

#include <QStringList>

namespace pelmor::store {
namespace {

// The text columns of a row type, as a table's column list.
template <typename Row> QString textColumns()
{
    QStringList columns;
    Row row;
    Row::forEachField(row, [&](const char* name, const QString&) {
        if (qstrcmp(name, "Batch_Number") != 0)
            columns << QStringLiteral("\"%1\" text").arg(QLatin1String(name));
    });
    return columns.join(QStringLiteral(", "));
}

// Version 1: the tables of the file, with the batch number kept once in
// Header and every statistics and vehicle row bound to its Header row. A
// vehicle keeps the order it was stored in (its Id), its date as a date and
// its clock time as the second of the day. The vehicles are checked against
// Header once per statement, not by a foreign key: a key checks each of a
// million rows one by one and makes the import three times slower.
QStringList versionOne()
{
    return {
        QStringLiteral("CREATE TABLE \"Header\" (\"Id\" bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY, "
                       "\"Batch_Number\" text NOT NULL UNIQUE, %1)")
            .arg(textColumns<survey::HeaderRow>()),
        QStringLiteral("CREATE TABLE \"Summary\" (\"Batch_Number\" text PRIMARY KEY REFERENCES \"Header\" "
                       "(\"Batch_Number\"), %1)")
            .arg(textColumns<survey::SummaryRow>()),
        QStringLiteral("CREATE TABLE \"Veh_Data\" (\"Id\" bigint GENERATED ALWAYS AS IDENTITY, "
                       "\"Batch_Number\" text NOT NULL, \"Offset\" bigint NOT NULL, "
                       "\"Veh_Direction\" text NOT NULL, \"Speed\" integer NOT NULL, "
                       "\"Time\" integer NOT NULL CHECK (\"Time\" >= 0 AND \"Time\" < 86400), "
                       "\"Date\" date NOT NULL)"),
        QStringLiteral(
            "CREATE INDEX \"Veh_Data_Batch_Date_Time\" ON \"Veh_Data\" (\"Batch_Number\", \"Date\", "
            "\"Time\")"),
        QStringLiteral(
            "CREATE FUNCTION \"Vehicles_Need_Header\"() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
            "IF EXISTS (SELECT 1 FROM (SELECT DISTINCT \"Batch_Number\" FROM added) a WHERE NOT EXISTS "
            "(SELECT 1 FROM \"Header\" h WHERE h.\"Batch_Number\" = a.\"Batch_Number\")) THEN "
            "RAISE EXCEPTION 'vehicle rows need the Header row of their batch number' "
            "USING ERRCODE = 'foreign_key_violation'; END IF; RETURN NULL; END $$"),
        QStringLiteral("CREATE TRIGGER \"Vehicles_Need_Header\" AFTER INSERT ON \"Veh_Data\" "
                       "REFERENCING NEW TABLE AS added FOR EACH STATEMENT "
                       "EXECUTE FUNCTION \"Vehicles_Need_Header\"()"),
        QStringLiteral("CREATE TABLE \"Agency\" (\"Id\" bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY, "
                       "\"Admin_Agency\" text NOT NULL)"),
        QStringLiteral("CREATE TABLE \"Officer\" (\"Id\" bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY, "
                       "\"Admin_Officer\" text NOT NULL)"),
    };
}

// What each group role may do; granted again on every run, which changes
// nothing the second time.
const char* const kGrants[] = {
    ("GRANT SELECT ON \"Schema_Version\", \"Header\", \"Summary\", \"Veh_Data\", \"Agency\", \"Officer\" "
     "TO pelmor_officer, pelmor_admin"),
    "GRANT INSERT ON \"Header\", \"Summary\", \"Veh_Data\" TO pelmor_officer, pelmor_admin",
    "GRANT DELETE ON \"Header\", \"Summary\", \"Veh_Data\" TO pelmor_admin",
    "GRANT INSERT, UPDATE, DELETE ON \"Agency\", \"Officer\" TO pelmor_admin",
};

} // namespace

void initServer(const db::Database& database)
{
    PgConnection connection(database.server);
    PgTransaction transaction(connection);
    // Two set-ups of the same database at once take turns.
    connection.exec("SELECT pg_advisory_xact_lock(7041968)");
    connection.exec("DO $$ BEGIN "
                    "IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'pelmor_officer') THEN "
                    "CREATE ROLE pelmor_officer NOLOGIN; END IF; "
                    "IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'pelmor_admin') THEN "
                    "CREATE ROLE pelmor_admin NOLOGIN; END IF; END $$");
    connection.exec("CREATE TABLE IF NOT EXISTS \"Schema_Version\" (\"Version\" integer NOT NULL, "
                    "\"One_Row\" boolean PRIMARY KEY DEFAULT true CHECK (\"One_Row\"))");
    const PgResult stored = connection.exec("SELECT \"Version\" FROM \"Schema_Version\"");
    const int version = stored.rows() == 0 ? 0 : int(stored.integer(0, 0));
    if (version > kServerSchemaVersion)
        throw db::DbError(
            QStringLiteral("The survey database %1 is of version %2, newer than this program's (%3): "
                           "update the program to use it.")
                .arg(connection.name())
                .arg(version)
                .arg(kServerSchemaVersion),
            db::Failure::Other);
    if (version < 1) {
        for (const QString& statement : versionOne())
            connection.exec(statement.toUtf8().constData());
    }
    connection.exec("INSERT INTO \"Schema_Version\" (\"Version\") VALUES ($1) "
                    "ON CONFLICT (\"One_Row\") DO UPDATE SET \"Version\" = EXCLUDED.\"Version\"",
                    {QByteArray::number(kServerSchemaVersion)});
    for (const char* grant : kGrants)
        connection.exec(grant);
    transaction.commit();
}

} // namespace pelmor::store
