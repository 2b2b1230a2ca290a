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

// Version 2: a Header row is not deleted while vehicle rows of its batch
// number remain, checked once per statement as the insert side is. A
// deletion of a whole survey removes its vehicles first and passes.
QStringList versionTwo()
{
    return {
        QStringLiteral(
            "CREATE FUNCTION \"Header_Keeps_Vehicles\"() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
            "IF EXISTS (SELECT 1 FROM removed r WHERE EXISTS (SELECT 1 FROM \"Veh_Data\" v "
            "WHERE v.\"Batch_Number\" = r.\"Batch_Number\")) THEN "
            "RAISE EXCEPTION 'a Header row is deleted only after the vehicle rows of its batch number' "
            "USING ERRCODE = 'foreign_key_violation'; END IF; RETURN NULL; END $$"),
        QStringLiteral("CREATE TRIGGER \"Header_Keeps_Vehicles\" AFTER DELETE ON \"Header\" "
                       "REFERENCING OLD TABLE AS removed FOR EACH STATEMENT "
                       "EXECUTE FUNCTION \"Header_Keeps_Vehicles\"()"),
    };
}

// Version 3: each survey's vehicles counted as they are added and deleted,
// so that the survey list reads a thousand counts instead of counting
// millions of rows. The server keeps the counts itself, once per
// statement, whoever adds or deletes vehicles; the functions run with
// the rights of the role that set the server up, so officers need no
// right to change the counts.
QStringList versionThree()
{
    return {
        QStringLiteral("CREATE TABLE \"Survey_Vehicles\" (\"Batch_Number\" text PRIMARY KEY, "
                       "\"Vehicles\" bigint NOT NULL)"),
        QStringLiteral(
            "CREATE FUNCTION \"Count_Added_Vehicles\"() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER "
            "SET search_path FROM CURRENT AS $$ BEGIN "
            "INSERT INTO \"Survey_Vehicles\" AS s (\"Batch_Number\", \"Vehicles\") "
            "SELECT \"Batch_Number\", count(*) FROM added GROUP BY \"Batch_Number\" "
            "ON CONFLICT (\"Batch_Number\") DO UPDATE SET \"Vehicles\" = s.\"Vehicles\" + "
            "EXCLUDED.\"Vehicles\"; RETURN NULL; END $$"),
        QStringLiteral("CREATE TRIGGER \"Count_Added_Vehicles\" AFTER INSERT ON \"Veh_Data\" "
                       "REFERENCING NEW TABLE AS added FOR EACH STATEMENT "
                       "EXECUTE FUNCTION \"Count_Added_Vehicles\"()"),
        QStringLiteral(
            "CREATE FUNCTION \"Count_Removed_Vehicles\"() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER "
            "SET search_path FROM CURRENT AS $$ BEGIN "
            "UPDATE \"Survey_Vehicles\" s SET \"Vehicles\" = s.\"Vehicles\" - r.n FROM "
            "(SELECT \"Batch_Number\", count(*) AS n FROM removed GROUP BY \"Batch_Number\") r "
            "WHERE s.\"Batch_Number\" = r.\"Batch_Number\"; "
            "DELETE FROM \"Survey_Vehicles\" WHERE \"Vehicles\" <= 0; RETURN NULL; END $$"),
        QStringLiteral("CREATE TRIGGER \"Count_Removed_Vehicles\" AFTER DELETE ON \"Veh_Data\" "
                       "REFERENCING OLD TABLE AS removed FOR EACH STATEMENT "
                       "EXECUTE FUNCTION \"Count_Removed_Vehicles\"()"),
        // Emptying the vehicle table at once (as an administrator may, to
        // start afresh) fires no deletion trigger: the counts go with it.
        QStringLiteral("CREATE FUNCTION \"Forget_Vehicle_Counts\"() RETURNS trigger LANGUAGE plpgsql "
                       "SECURITY DEFINER SET search_path FROM CURRENT AS $$ BEGIN "
                       "DELETE FROM \"Survey_Vehicles\"; RETURN NULL; END $$"),
        QStringLiteral("CREATE TRIGGER \"Forget_Vehicle_Counts\" AFTER TRUNCATE ON \"Veh_Data\" "
                       "FOR EACH STATEMENT EXECUTE FUNCTION \"Forget_Vehicle_Counts\"()"),
        QStringLiteral("INSERT INTO \"Survey_Vehicles\" (\"Batch_Number\", \"Vehicles\") "
                       "SELECT \"Batch_Number\", count(*) FROM \"Veh_Data\" GROUP BY \"Batch_Number\""),
    };
}

// Version 4: the vehicles an insert adds are checked against Header and
// counted for the survey list by one trigger that reads them once, in
// place of one trigger for each: a survey of a million vehicles is read
// once after its COPY instead of twice. A session takes the vehicles' Ids
// a thousand at a time rather than one by one, which makes a large COPY
// faster; the Ids one survey gets (one transaction, one session) still
// rise in the order its vehicles were stored, with gaps between sessions.
QStringList versionFour()
{
    return {
        QStringLiteral("ALTER TABLE \"Veh_Data\" ALTER COLUMN \"Id\" SET CACHE 1000"),
        QStringLiteral("DROP TRIGGER IF EXISTS \"Vehicles_Need_Header\" ON \"Veh_Data\""),
        QStringLiteral("DROP FUNCTION IF EXISTS \"Vehicles_Need_Header\"()"),
        QStringLiteral("DROP TRIGGER IF EXISTS \"Count_Added_Vehicles\" ON \"Veh_Data\""),
        QStringLiteral("DROP FUNCTION IF EXISTS \"Count_Added_Vehicles\"()"),
        // A batch number without its Header row fails the whole statement,
        // the counts added with it included.
        QStringLiteral(
            "CREATE FUNCTION \"Check_And_Count_Added_Vehicles\"() RETURNS trigger LANGUAGE plpgsql "
            "SECURITY DEFINER SET search_path FROM CURRENT AS $$ DECLARE orphaned boolean; BEGIN "
            "WITH a AS MATERIALIZED (SELECT \"Batch_Number\", count(*) AS n FROM added "
            "GROUP BY \"Batch_Number\"), "
            "counted AS (INSERT INTO \"Survey_Vehicles\" AS s (\"Batch_Number\", \"Vehicles\") "
            "SELECT \"Batch_Number\", n FROM a ON CONFLICT (\"Batch_Number\") DO UPDATE SET "
            "\"Vehicles\" = s.\"Vehicles\" + EXCLUDED.\"Vehicles\") "
            "SELECT EXISTS (SELECT 1 FROM a WHERE NOT EXISTS (SELECT 1 FROM \"Header\" h "
            "WHERE h.\"Batch_Number\" = a.\"Batch_Number\")) INTO orphaned; "
            "IF orphaned THEN RAISE EXCEPTION 'vehicle rows need the Header row of their batch number' "
            "USING ERRCODE = 'foreign_key_violation'; END IF; RETURN NULL; END $$"),
        QStringLiteral("CREATE TRIGGER \"Check_And_Count_Added_Vehicles\" AFTER INSERT ON \"Veh_Data\" "
                       "REFERENCING NEW TABLE AS added FOR EACH STATEMENT "
                       "EXECUTE FUNCTION \"Check_And_Count_Added_Vehicles\"()"),
    };
}

// Version 5: the sites the surveys are taken at, the location keys that
// lead to each, and each survey's site with its figures, bound to its
// Header row.
QStringList versionFive()
{
    return {
        QStringLiteral("CREATE TABLE \"Site\" (\"Site_Id\" bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY, "
                       "\"Name\" text NOT NULL, \"Direction\" text NOT NULL, \"Latitude\" double precision, "
                       "\"Longitude\" double precision)"),
        QStringLiteral("CREATE TABLE \"Site_Name\" (\"Key\" text PRIMARY KEY, \"Site_Id\" bigint NOT NULL "
                       "REFERENCES \"Site\")"),
        QStringLiteral(
            "CREATE TABLE \"Site_Survey\" (\"Id\" bigint GENERATED ALWAYS AS IDENTITY, "
            "\"Batch_Number\" text PRIMARY KEY REFERENCES \"Header\" (\"Batch_Number\") ON DELETE CASCADE, "
            "\"Site_Id\" bigint NOT NULL REFERENCES \"Site\", \"Method\" integer NOT NULL, "
            "\"Figures\" text NOT NULL)"),
    };
}

// The message for a set-up the role's rights do not allow.
db::DbError missingRight(const PgConnection& connection, const QString& right)
{
    return db::DbError(QStringLiteral("The survey database %1 cannot be set up by this user: it needs %2. "
                                      "Run 'pelmor-cli --server URL server init' as such a role (for "
                                      "example the database's owner with CREATEROLE).")
                           .arg(connection.name(), right),
                       db::Failure::Refused);
}

// What each group role may do; granted again on every run, which changes
// nothing the second time.
const char* const kGrants[] = {
    ("GRANT SELECT ON \"Schema_Version\", \"Header\", \"Summary\", \"Veh_Data\", \"Survey_Vehicles\", "
     "\"Agency\", \"Officer\" TO pelmor_officer, pelmor_admin"),
    "GRANT INSERT ON \"Header\", \"Summary\", \"Veh_Data\" TO pelmor_officer, pelmor_admin",
    "GRANT DELETE ON \"Header\", \"Summary\", \"Veh_Data\" TO pelmor_admin",
    "GRANT INSERT, UPDATE, DELETE ON \"Agency\", \"Officer\" TO pelmor_admin",
    // Officers put their surveys at sites, merge and split sites and place
    // them; a survey's entry goes with the survey, which only an
    // administrator deletes.
    "GRANT SELECT, INSERT, UPDATE ON \"Site\", \"Site_Name\", \"Site_Survey\" TO pelmor_officer, "
    "pelmor_admin",
    "GRANT DELETE ON \"Site\" TO pelmor_officer, pelmor_admin",
    "GRANT DELETE ON \"Site_Survey\" TO pelmor_admin",
};

} // namespace

ServerSetup initServer(const db::Database& database)
{
    ServerSetup setup;
    PgConnection connection(database.server);
    PgTransaction transaction(connection);
    // Two set-ups of the same database at once take turns.
    connection.exec("SELECT pg_advisory_xact_lock(7041968)");
    const PgResult missing = connection.exec(
        "SELECT count(*) FILTER (WHERE NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = r.name)), "
        "(SELECT rolcreaterole OR rolsuper FROM pg_roles WHERE rolname = current_user) "
        "FROM (VALUES ('pelmor_officer'), ('pelmor_admin')) AS r(name)");
    // Checked even when both roles exist, so that a set-up that works once
    // works again on a server whose roles were dropped.
    if (missing.bytes(0, 1) != "t")
        throw missingRight(connection, QStringLiteral("the right to create roles (CREATEROLE), for the group "
                                                      "roles pelmor_officer and pelmor_admin"));
    if (missing.integer(0, 0) > 0) {
        connection.exec("DO $$ BEGIN "
                        "IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'pelmor_officer') THEN "
                        "CREATE ROLE pelmor_officer NOLOGIN; END IF; "
                        "IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'pelmor_admin') THEN "
                        "CREATE ROLE pelmor_admin NOLOGIN; END IF; END $$");
        setup.createdRoles = true;
    }
    try {
        connection.exec("CREATE TABLE IF NOT EXISTS \"Schema_Version\" (\"Version\" integer NOT NULL, "
                        "\"One_Row\" boolean PRIMARY KEY DEFAULT true CHECK (\"One_Row\"))");
        const PgResult stored = connection.exec("SELECT \"Version\" FROM \"Schema_Version\"");
        setup.previousVersion = stored.rows() == 0 ? 0 : int(stored.integer(0, 0));
        if (setup.previousVersion > kServerSchemaVersion)
            throw db::DbError(
                QStringLiteral("The survey database %1 is of version %2, newer than this program's (%3): "
                               "update the program to use it.")
                    .arg(connection.name())
                    .arg(setup.previousVersion)
                    .arg(kServerSchemaVersion),
                db::Failure::Other);
        if (setup.previousVersion < 1) {
            for (const QString& statement : versionOne())
                connection.exec(statement.toUtf8().constData());
        }
        if (setup.previousVersion < 2) {
            for (const QString& statement : versionTwo())
                connection.exec(statement.toUtf8().constData());
        }
        if (setup.previousVersion < 3) {
            for (const QString& statement : versionThree())
                connection.exec(statement.toUtf8().constData());
        }
        if (setup.previousVersion < 4) {
            for (const QString& statement : versionFour())
                connection.exec(statement.toUtf8().constData());
        }
        if (setup.previousVersion < 5) {
            for (const QString& statement : versionFive())
                connection.exec(statement.toUtf8().constData());
        }
        connection.exec("INSERT INTO \"Schema_Version\" (\"Version\") VALUES ($1) "
                        "ON CONFLICT (\"One_Row\") DO UPDATE SET \"Version\" = EXCLUDED.\"Version\"",
                        {QByteArray::number(kServerSchemaVersion)});
        for (const char* grant : kGrants)
            connection.exec(grant);
    } catch (const db::DbError&) {
        if (connection.lastFailureState() == "42501")
            throw missingRight(
                connection, QStringLiteral("the right to create tables in the database's schema and to "
                                           "grant rights on them (the owner of the schema and its tables)"));
        throw;
    }
    transaction.commit();
    return setup;
}

} // namespace pelmor::store
