#include "store/PgServerSchema.h"

#include "store/PgConnection.h"
#include "survey/FieldLimits.h"
#include "survey/SurveyRecord.h"

#include <QStringList>

#include <algorithm>
#include <iterator>

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

// The function that finishes a survey being stored (see versionSix), with
// more parameters and the statements that keep them, as later versions add.
QString finishSurvey(const char* moreParameters, const char* keepMore)
{
    return QStringLiteral(
               R"sql(CREATE FUNCTION @S@."Finish_Survey"(header jsonb, summary jsonb, fingerprint bytea,
    site_key text, figures text@MORE_PARAMETERS@) RETURNS bigint LANGUAGE plpgsql SECURITY DEFINER @PATH@ AS $$
DECLARE
    this_xact xid8 := pg_catalog.pg_current_xact_id();
    h @S@."Header" := pg_catalog.jsonb_populate_record(NULL::@S@."Header", header);
    s @S@."Summary" := pg_catalog.jsonb_populate_record(NULL::@S@."Summary", summary);
    total bigint; approaching bigint; receding bigint; unknown bigint;
    lowest bigint; highest bigint; longest bigint; speeds jsonb;
    site bigint := 0;
BEGIN
    DELETE FROM @S@."Open_Survey" o WHERE o."Xact" = this_xact AND o."Batch_Number" = h."Batch_Number";
    IF NOT FOUND THEN
        RAISE EXCEPTION 'survey % was not begun in this transaction', h."Batch_Number"
            USING ERRCODE = 'object_not_in_prerequisite_state';
    END IF;
    INSERT INTO @S@."Header" (@HEADER_COLUMNS@) SELECT @HEADER_VALUES@;
    SELECT coalesce(pg_catalog.sum(t."Vehicles"), 0),
           coalesce(pg_catalog.sum(t."Vehicles") FILTER (WHERE t."Veh_Direction" = '+'), 0),
           coalesce(pg_catalog.sum(t."Vehicles") FILTER (WHERE t."Veh_Direction" = '-'), 0),
           coalesce(pg_catalog.sum(t."Vehicles") FILTER (WHERE t."Veh_Direction" = '?'), 0),
           pg_catalog.min(t."Speed"), pg_catalog.max(t."Speed"),
           GREATEST(0, coalesce(pg_catalog.max(t."Largest_Offset"), 0))
    INTO total, approaching, receding, unknown, lowest, highest, longest
    FROM @S@."Open_Tally" t WHERE t."Xact" = this_xact AND t."Batch_Number" = h."Batch_Number";
    IF s."Batch_Number" IS DISTINCT FROM h."Batch_Number"
       OR s."Total_Vehicles" IS DISTINCT FROM total::text
       OR s."Total_Approach" IS DISTINCT FROM approaching::text
       OR s."Total_Receeding" IS DISTINCT FROM receding::text
       OR s."Total_Unknown" IS DISTINCT FROM unknown::text
       OR coalesce(s."Min_Speed", '') <> coalesce(lowest::text, '')
       OR coalesce(s."Max_Speed", '') <> coalesce(highest::text, '') THEN
        RAISE EXCEPTION 'the statistics of survey % do not count the vehicles stored with it', h."Batch_Number"
            USING ERRCODE = 'check_violation';
    END IF;
    INSERT INTO @S@."Summary" SELECT (s).*;
    IF total > 0 THEN
        INSERT INTO @S@."Survey_Vehicles" ("Batch_Number", "Vehicles") VALUES (h."Batch_Number", total);
    END IF;
    IF fingerprint IS NOT NULL THEN
        INSERT INTO @S@."Survey_Download" ("Batch_Number", "Fingerprint", "Date", "Time")
        VALUES (h."Batch_Number", fingerprint, h."Date", h."Time");
    END IF;
    IF site_key IS NOT NULL THEN
        SELECT coalesce(pg_catalog.jsonb_agg(pg_catalog.jsonb_build_array(c.speed::text, c.n::text)
                                             ORDER BY c.speed), '[]')
        INTO speeds
        FROM (SELECT t."Speed" AS speed, pg_catalog.sum(t."Vehicles") AS n FROM @S@."Open_Tally" t
              WHERE t."Xact" = this_xact AND t."Batch_Number" = h."Batch_Number" GROUP BY t."Speed") c;
        IF NOT @S@."Figures_Agree"(figures::jsonb, h, s, speeds, total, longest) THEN
            RAISE EXCEPTION 'the figures given for survey % are not its own', h."Batch_Number"
                USING ERRCODE = 'check_violation';
        END IF;
        site := @S@."Site_Of_Key"(site_key, h."Location", h."Direction");
        INSERT INTO @S@."Site_Survey" ("Batch_Number", "Site_Id", "Method", "Figures")
        VALUES (h."Batch_Number", site, 1, figures);
    END IF;
@KEEP_MORE@
    DELETE FROM @S@."Open_Tally" t WHERE t."Xact" = this_xact AND t."Batch_Number" = h."Batch_Number";
    RETURN site;
END $$)sql")
        .replace(QStringLiteral("@MORE_PARAMETERS@"), QLatin1String(moreParameters))
        .replace(QStringLiteral("@KEEP_MORE@"), QLatin1String(keepMore));
}

// The search path of every function that runs with the rights of the
// schema's owner: the system's own functions and operators first, the
// caller's temporary tables last, so that nothing a caller makes can stand
// in for what the function means. Every name in them is qualified as well.
const char* const kSafePath = "SET search_path = pg_catalog, @S@, pg_temp";

// Version 6: the server keeps every stored survey whole against its own
// users. Officers and administrators change it only through the functions
// below, which run with the rights of the schema's owner; their own rights
// are reading, adding vehicles (which the bulk path needs, and which a
// trigger accepts only for a survey its own transaction is storing) and,
// for administrators, the name lists.
//
// A survey is stored in one transaction: Begin_Survey opens it, the
// vehicles come in by COPY and are tallied per speed and direction by the
// statement trigger, and Finish_Survey claims the batch number, checks the
// statistics and the figures against that tally, and puts the survey at its
// site. Nothing another writer needs is held until Finish_Survey, a moment
// before the commit, so surveys of different batch numbers are stored side
// by side and a writer that stops half way holds nothing anyone waits for.
// A transaction that opens a survey and does not finish it cannot commit.
QStringList versionSix()
{
    return {
        QStringLiteral("ALTER TABLE @S@.\"Veh_Data\" ALTER COLUMN \"Speed\" TYPE bigint"),
        QStringLiteral("CREATE UNLOGGED TABLE @S@.\"Open_Survey\" (\"Xact\" xid8 NOT NULL, "
                       "\"Batch_Number\" text NOT NULL, PRIMARY KEY (\"Xact\", \"Batch_Number\"))"),
        QStringLiteral(
            "CREATE UNLOGGED TABLE @S@.\"Open_Tally\" (\"Xact\" xid8 NOT NULL, "
            "\"Batch_Number\" text NOT NULL, \"Speed\" bigint NOT NULL, \"Veh_Direction\" text NOT "
            "NULL, \"Vehicles\" bigint NOT NULL, \"Largest_Offset\" bigint NOT NULL, PRIMARY KEY "
            "(\"Xact\", \"Batch_Number\", \"Speed\", \"Veh_Direction\"))"),
        // The download a survey was stored from, stored once whoever stores
        // it, decided by this key (by its start as well, up to version 7).
        QStringLiteral("CREATE TABLE @S@.\"Survey_Download\" (\"Batch_Number\" text PRIMARY KEY REFERENCES "
                       "@S@.\"Header\" (\"Batch_Number\") ON DELETE CASCADE, \"Fingerprint\" bytea NOT NULL, "
                       "\"Date\" text NOT NULL, \"Time\" text NOT NULL, CONSTRAINT \"Survey_Download_Once\" "
                       "UNIQUE (\"Fingerprint\", \"Date\", \"Time\"))"),

        QStringLiteral("DROP TRIGGER IF EXISTS \"Check_And_Count_Added_Vehicles\" ON @S@.\"Veh_Data\""),
        QStringLiteral("DROP FUNCTION IF EXISTS @S@.\"Check_And_Count_Added_Vehicles\"()"),
        QStringLiteral(R"sql(CREATE FUNCTION @S@."Tally_Added_Vehicles"() RETURNS trigger LANGUAGE plpgsql
SECURITY DEFINER @PATH@ AS $$
DECLARE
    this_xact xid8 := pg_catalog.pg_current_xact_id();
    stray text;
BEGIN
    WITH tally AS MATERIALIZED (
        SELECT a."Batch_Number", a."Speed", a."Veh_Direction", pg_catalog.count(*) AS n,
               pg_catalog.max(a."Offset") AS o
        FROM added a GROUP BY 1, 2, 3),
    kept AS (
        INSERT INTO @S@."Open_Tally" AS t ("Xact", "Batch_Number", "Speed", "Veh_Direction", "Vehicles",
                                           "Largest_Offset")
        SELECT this_xact, "Batch_Number", "Speed", "Veh_Direction", n, o FROM tally
        ON CONFLICT ("Xact", "Batch_Number", "Speed", "Veh_Direction") DO UPDATE
        SET "Vehicles" = t."Vehicles" + EXCLUDED."Vehicles",
            "Largest_Offset" = GREATEST(t."Largest_Offset", EXCLUDED."Largest_Offset"))
    SELECT pg_catalog.min(tally."Batch_Number") INTO stray FROM tally
    WHERE NOT EXISTS (SELECT 1 FROM @S@."Open_Survey" s
                      WHERE s."Xact" = this_xact AND s."Batch_Number" = tally."Batch_Number");
    IF stray IS NOT NULL THEN
        RAISE EXCEPTION 'vehicle rows are added only with their survey, while it is being stored: survey % is not being stored in this transaction', stray
            USING ERRCODE = 'foreign_key_violation';
    END IF;
    RETURN NULL;
END $$)sql"),
        QStringLiteral("CREATE TRIGGER \"Tally_Added_Vehicles\" AFTER INSERT ON @S@.\"Veh_Data\" "
                       "REFERENCING NEW TABLE AS added FOR EACH STATEMENT "
                       "EXECUTE FUNCTION @S@.\"Tally_Added_Vehicles\"()"),
        // The counts of the survey list follow a deletion, whoever deletes.
        QStringLiteral(R"sql(CREATE OR REPLACE FUNCTION @S@."Count_Removed_Vehicles"() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER @PATH@ AS $$
BEGIN
    UPDATE @S@."Survey_Vehicles" s SET "Vehicles" = s."Vehicles" - r.n
    FROM (SELECT "Batch_Number", pg_catalog.count(*) AS n FROM removed GROUP BY "Batch_Number") r
    WHERE s."Batch_Number" = r."Batch_Number";
    DELETE FROM @S@."Survey_Vehicles" WHERE "Vehicles" <= 0;
    RETURN NULL;
END $$)sql"),
        QStringLiteral(R"sql(CREATE OR REPLACE FUNCTION @S@."Forget_Vehicle_Counts"() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER @PATH@ AS $$
BEGIN
    DELETE FROM @S@."Survey_Vehicles";
    RETURN NULL;
END $$)sql"),
        QStringLiteral(R"sql(CREATE OR REPLACE FUNCTION @S@."Header_Keeps_Vehicles"() RETURNS trigger
LANGUAGE plpgsql @PATH@ AS $$
BEGIN
    IF EXISTS (SELECT 1 FROM removed r WHERE EXISTS (SELECT 1 FROM @S@."Veh_Data" v
               WHERE v."Batch_Number" = r."Batch_Number")) THEN
        RAISE EXCEPTION 'a Header row is deleted only after the vehicle rows of its batch number'
            USING ERRCODE = 'foreign_key_violation';
    END IF;
    RETURN NULL;
END $$)sql"),

        // A survey opened and not finished fails its transaction's commit.
        QStringLiteral(R"sql(CREATE FUNCTION @S@."Survey_Must_Be_Finished"() RETURNS trigger LANGUAGE plpgsql
SECURITY DEFINER @PATH@ AS $$
BEGIN
    IF EXISTS (SELECT 1 FROM @S@."Open_Survey" s
               WHERE s."Xact" = NEW."Xact" AND s."Batch_Number" = NEW."Batch_Number") THEN
        RAISE EXCEPTION 'survey % was begun but not finished: nothing of it is stored', NEW."Batch_Number"
            USING ERRCODE = 'integrity_constraint_violation';
    END IF;
    RETURN NULL;
END $$)sql"),
        QStringLiteral("CREATE CONSTRAINT TRIGGER \"Survey_Must_Be_Finished\" AFTER INSERT ON "
                       "@S@.\"Open_Survey\" DEFERRABLE INITIALLY DEFERRED FOR EACH ROW "
                       "EXECUTE FUNCTION @S@.\"Survey_Must_Be_Finished\"()"),

        QStringLiteral(R"sql(CREATE FUNCTION @S@."Begin_Survey"(batch text) RETURNS void LANGUAGE plpgsql
SECURITY DEFINER @PATH@ AS $$
BEGIN
    IF EXISTS (SELECT 1 FROM @S@."Header" h WHERE h."Batch_Number" = batch) THEN
        RAISE EXCEPTION 'the batch number % is held already', batch
            USING ERRCODE = 'unique_violation', CONSTRAINT = 'Header_Batch_Number_key';
    END IF;
    INSERT INTO @S@."Open_Survey" ("Xact", "Batch_Number") VALUES (pg_catalog.pg_current_xact_id(), batch);
END $$)sql"),

        // Whether figures are the survey's own: the counts per speed, the
        // vehicles and the duration are those the server holds, the unit,
        // the limit and the dates those of the survey's header and
        // statistics. Whatever else the figures say is worked out from
        // these when they are read.
        QStringLiteral(R"sql(CREATE FUNCTION @S@."Figures_Agree"(f jsonb, h @S@."Header", s @S@."Summary",
    speeds jsonb, vehicles bigint, seconds bigint) RETURNS boolean LANGUAGE sql STABLE @PATH@ AS $$
SELECT coalesce(f->>'method' = '1'
    AND f->>'vehicles' = vehicles::text
    AND f->>'seconds' = seconds::text
    AND f->'speeds' = speeds
    AND f->>'unit' = CASE WHEN h."Radar_Mode" = 'KPH' THEN 'KPH' ELSE 'MPH' END
    AND f->>'start_date' = coalesce(s."Start_Date", '') AND f->>'start_time' = coalesce(s."Start_Time", '')
    AND f->>'stop_date' = coalesce(s."Stop_Date", '') AND f->>'stop_time' = coalesce(s."Stop_Time", '')
    AND CASE WHEN pg_catalog.btrim(h."Violation_Alert") ~ '^[0-9]{1,9}$'
             THEN f->>'limit' = (CASE WHEN pg_catalog.btrim(h."Violation_Alert")::bigint BETWEEN 1 AND 10000
                                      THEN pg_catalog.btrim(h."Violation_Alert")::bigint ELSE 0 END)::text
             ELSE true END, false)
$$)sql"),

        // The site that a location key leads to, made when there is none. A
        // site being merged away meanwhile is waited for and looked up again.
        QStringLiteral(
            R"sql(CREATE FUNCTION @S@."Site_Of_Key"(site_key text, site_name text, site_direction text)
RETURNS bigint LANGUAGE plpgsql SECURITY DEFINER @PATH@ AS $$
DECLARE
    site bigint;
BEGIN
    LOOP
        SELECT n."Site_Id" INTO site FROM @S@."Site_Name" n WHERE n."Key" = site_key;
        IF NOT FOUND THEN
            INSERT INTO @S@."Site" ("Name", "Direction") VALUES (site_name, site_direction)
            RETURNING "Site_Id" INTO site;
            INSERT INTO @S@."Site_Name" ("Key", "Site_Id") VALUES (site_key, site) ON CONFLICT ("Key") DO NOTHING;
            IF FOUND THEN
                RETURN site;
            END IF;
            DELETE FROM @S@."Site" WHERE "Site_Id" = site;
        ELSE
            PERFORM 1 FROM @S@."Site" s WHERE s."Site_Id" = site FOR KEY SHARE;
            IF FOUND AND EXISTS (SELECT 1 FROM @S@."Site_Name" n WHERE n."Key" = site_key AND n."Site_Id" = site) THEN
                RETURN site;
            END IF;
        END IF;
    END LOOP;
END $$)sql"),

        finishSurvey("", ""),

        // A stored survey without a site, or with figures of an earlier way
        // of working them out, is put at a site with figures the server
        // checks against its vehicles. One that has its figures keeps them.
        QStringLiteral(R"sql(CREATE FUNCTION @S@."Place_Survey"(batch text, site_key text, figures text)
RETURNS bigint LANGUAGE plpgsql SECURITY DEFINER @PATH@ AS $$
DECLARE
    h @S@."Header";
    s @S@."Summary";
    placed @S@."Site_Survey";
    speeds jsonb; total bigint; longest bigint;
    site bigint;
BEGIN
    SELECT * INTO h FROM @S@."Header" x WHERE x."Batch_Number" = batch;
    IF NOT FOUND THEN
        RETURN 0;
    END IF;
    SELECT * INTO s FROM @S@."Summary" x WHERE x."Batch_Number" = batch;
    SELECT * INTO placed FROM @S@."Site_Survey" x WHERE x."Batch_Number" = batch FOR UPDATE;
    IF FOUND AND placed."Method" = 1 THEN
        RETURN placed."Site_Id";
    END IF;
    SELECT coalesce(pg_catalog.jsonb_agg(pg_catalog.jsonb_build_array(c.speed::text, c.n::text)
                                         ORDER BY c.speed), '[]'),
           coalesce(pg_catalog.sum(c.n), 0), GREATEST(0, coalesce(pg_catalog.max(c.o), 0))
    INTO speeds, total, longest
    FROM (SELECT v."Speed" AS speed, pg_catalog.count(*) AS n, pg_catalog.max(v."Offset") AS o
          FROM @S@."Veh_Data" v WHERE v."Batch_Number" = batch GROUP BY v."Speed") c;
    IF NOT @S@."Figures_Agree"(figures::jsonb, h, s, speeds, total, longest) THEN
        RAISE EXCEPTION 'the figures given for survey % are not its own', batch USING ERRCODE = 'check_violation';
    END IF;
    IF placed."Batch_Number" IS NOT NULL THEN
        UPDATE @S@."Site_Survey" x SET "Method" = 1, "Figures" = figures WHERE x."Batch_Number" = batch;
        RETURN placed."Site_Id";
    END IF;
    site := @S@."Site_Of_Key"(site_key, h."Location", h."Direction");
    INSERT INTO @S@."Site_Survey" ("Batch_Number", "Site_Id", "Method", "Figures") VALUES (batch, site, 1, figures);
    RETURN site;
END $$)sql"),

        QStringLiteral(R"sql(CREATE FUNCTION @S@."Delete_Survey"(batch text, OUT header boolean,
    OUT statistics boolean, OUT vehicles bigint) LANGUAGE plpgsql SECURITY DEFINER @PATH@ AS $$
BEGIN
    DELETE FROM @S@."Site_Survey" x WHERE x."Batch_Number" = batch;
    DELETE FROM @S@."Summary" x WHERE x."Batch_Number" = batch;
    statistics := FOUND;
    DELETE FROM @S@."Veh_Data" x WHERE x."Batch_Number" = batch;
    GET DIAGNOSTICS vehicles = ROW_COUNT;
    DELETE FROM @S@."Header" x WHERE x."Batch_Number" = batch;
    header := FOUND;
END $$)sql"),

        // The sites' rows are locked in the order of their ids, as every
        // change of sites takes them, so that two changes never wait for
        // each other in a circle.
        QStringLiteral(
            R"sql(CREATE FUNCTION @S@."Merge_Sites"(site_from bigint, site_into bigint) RETURNS boolean
LANGUAGE plpgsql SECURITY DEFINER @PATH@ AS $$
DECLARE
    found_sites integer;
BEGIN
    SELECT pg_catalog.count(*) INTO found_sites FROM (SELECT 1 FROM @S@."Site" s
        WHERE s."Site_Id" IN (site_from, site_into) ORDER BY s."Site_Id" FOR UPDATE) locked;
    IF found_sites < 2 - (site_from = site_into)::integer THEN
        RETURN false;
    END IF;
    IF site_from = site_into THEN
        RETURN true;
    END IF;
    UPDATE @S@."Site_Name" SET "Site_Id" = site_into WHERE "Site_Id" = site_from;
    UPDATE @S@."Site_Survey" SET "Site_Id" = site_into WHERE "Site_Id" = site_from;
    DELETE FROM @S@."Site" WHERE "Site_Id" = site_from;
    RETURN true;
END $$)sql"),
        // A survey split off gets a site of its own, named after its location
        // and direction as its header has them.
        QStringLiteral(R"sql(CREATE FUNCTION @S@."Split_Survey"(batch text) RETURNS bigint LANGUAGE plpgsql
SECURITY DEFINER @PATH@ AS $$
DECLARE
    site bigint;
BEGIN
    PERFORM 1 FROM @S@."Site_Survey" x WHERE x."Batch_Number" = batch FOR UPDATE;
    IF NOT FOUND THEN
        RETURN 0;
    END IF;
    INSERT INTO @S@."Site" ("Name", "Direction")
    SELECT h."Location", h."Direction" FROM @S@."Header" h WHERE h."Batch_Number" = batch
    RETURNING "Site_Id" INTO site;
    UPDATE @S@."Site_Survey" x SET "Site_Id" = site WHERE x."Batch_Number" = batch;
    RETURN site;
END $$)sql"),
        QStringLiteral(
            R"sql(CREATE FUNCTION @S@."Set_Site_Coordinates"(site bigint, latitude double precision,
    longitude double precision) RETURNS boolean LANGUAGE plpgsql SECURITY DEFINER @PATH@ AS $$
BEGIN
    IF NOT (latitude BETWEEN -90 AND 90 AND longitude BETWEEN -180 AND 180) THEN
        RAISE EXCEPTION 'the coordinates % % are not a place on Earth', latitude, longitude
            USING ERRCODE = 'numeric_value_out_of_range';
    END IF;
    UPDATE @S@."Site" s SET "Latitude" = latitude, "Longitude" = longitude WHERE s."Site_Id" = site;
    RETURN FOUND;
END $$)sql"),
    };
}

// Version 7: a download is the same download by its vehicles alone,
// whatever start its header gives, so the key on the downloads holds the
// fingerprint alone. Surveys that were stored of one download under
// different starts before keep their rows: the first of them (by when it
// was stored) is the download's own, with the number 0 that every new
// survey gets, the others are numbered as copies 1, 2, ... beside it. So
// none of those downloads is stored again, and nothing stored is lost.
QStringList versionSeven()
{
    return {
        QStringLiteral("ALTER TABLE @S@.\"Survey_Download\" ADD COLUMN \"Copy\" integer NOT NULL DEFAULT 0"),
        QStringLiteral(
            "UPDATE @S@.\"Survey_Download\" d SET \"Copy\" = n.copy FROM (SELECT s.\"Batch_Number\", "
            "pg_catalog.row_number() OVER (PARTITION BY s.\"Fingerprint\" ORDER BY h.\"Id\") - 1 AS copy "
            "FROM @S@.\"Survey_Download\" s JOIN @S@.\"Header\" h ON h.\"Batch_Number\" = "
            "s.\"Batch_Number\") n WHERE n.\"Batch_Number\" = d.\"Batch_Number\" AND n.copy > 0"),
        QStringLiteral("ALTER TABLE @S@.\"Survey_Download\" DROP CONSTRAINT \"Survey_Download_Once\""),
        QStringLiteral("ALTER TABLE @S@.\"Survey_Download\" ADD CONSTRAINT \"Survey_Download_Once\" "
                       "UNIQUE (\"Fingerprint\", \"Copy\")"),
    };
}

// Version 8: each vehicle's length, when the log it was read from gives
// one, and the device and log layout a survey's vehicles were read with,
// kept by Finish_Survey with the survey. The vehicles stored before have
// no length, so the check on lengths holds for new rows without reading
// the old ones.
QStringList versionEight()
{
    return {
        QStringLiteral("ALTER TABLE @S@.\"Veh_Data\" ADD COLUMN \"Length\" double precision"),
        QStringLiteral("ALTER TABLE @S@.\"Veh_Data\" ADD CONSTRAINT \"Veh_Data_Length\" CHECK "
                       "(\"Length\" >= 0 AND \"Length\" < 1000) NOT VALID"),
        QStringLiteral(
            "CREATE TABLE @S@.\"Survey_Source\" (\"Batch_Number\" text PRIMARY KEY REFERENCES "
            "@S@.\"Header\" (\"Batch_Number\") ON DELETE CASCADE, \"Source\" text NOT NULL "
            "CONSTRAINT \"Survey_Source_Text\" CHECK (pg_catalog.char_length(\"Source\") BETWEEN 1 "
            "AND 200 AND \"Source\" !~ '[\\x01-\\x1f\\x7f-\\x9f]'))"),
        QStringLiteral("DROP FUNCTION IF EXISTS @S@.\"Finish_Survey\"(jsonb, jsonb, bytea, text, text)"),
        finishSurvey(", source text DEFAULT NULL", R"sql(    IF source IS NOT NULL THEN
        INSERT INTO @S@."Survey_Source" ("Batch_Number", "Source") VALUES (h."Batch_Number", source);
    END IF;)sql"),
    };
}

// The batch numbers of the surveys that hold one download between them,
// each group in the order they were stored.
std::vector<QStringList> sharedDownloads(PgConnection& connection)
{
    const PgResult groups = connection.exec(
        "SELECT string_agg(d.\"Batch_Number\", E'\\n' ORDER BY h.\"Id\") FROM \"Survey_Download\" d "
        "JOIN \"Header\" h ON h.\"Batch_Number\" = d.\"Batch_Number\" GROUP BY d.\"Fingerprint\" "
        "HAVING count(*) > 1 ORDER BY min(h.\"Id\")");
    std::vector<QStringList> shared;
    for (int row = 0; row < groups.rows(); ++row)
        shared.push_back(groups.text(row, 0).split(QLatin1Char('\n')));
    return shared;
}

// A check a table's rows must pass, named and worded for the server's own
// refusal. Rows stored before the check existed are looked at first: when
// some fail it, it holds for new rows only and those rows are named.
struct RowCheck {
    const char* table;
    const char* name;
    QString condition;
    const char* key; // the column that names a failing row
};

// The SQL that a text field passes: within its longest length, without a
// control character or a mark that turns the text around, and, when it is
// one the user must fill in, not blank.
QString textCheck(const char* column, bool required)
{
    const QString quoted = QStringLiteral("\"%1\"").arg(QLatin1String(column));
    QString check = QStringLiteral("pg_catalog.char_length(%1) <= %2 AND %1 !~ "
                                   "'[\\x01-\\x1f\\x7f-\\x9f\\u061c\\u200e\\u200f\\u2028-\\u202e"
                                   "\\u2066-\\u2069]'")
                        .arg(quoted)
                        .arg(survey::maximumLength(column));
    if (required)
        return QStringLiteral("(%1 IS NOT NULL AND pg_catalog.btrim(%1) <> '' AND %2)").arg(quoted, check);
    return QStringLiteral("(%1 IS NULL OR (%2))").arg(quoted, check);
}

std::vector<RowCheck> rowChecks()
{
    // The fields a survey cannot be shown, placed or printed without.
    static const char* const kRequired[] = {"Batch_Number",    "Location",   "Date",      "Time",
                                            "Violation_Alert", "Radar_Mode", "Direction", "Zone"};
    QStringList header;
    survey::HeaderRow row;
    survey::HeaderRow::forEachField(row, [&](const char* name, const QString&) {
        const bool required = std::any_of(std::begin(kRequired), std::end(kRequired),
                                          [name](const char* field) { return qstrcmp(field, name) == 0; });
        header << textCheck(name, required);
    });
    header << QStringLiteral("\"Radar_Mode\" IN ('MPH', 'KPH')");
    return {
        {"Header", "Header_Fields", header.join(QStringLiteral(" AND ")), "Batch_Number"},
        {"Agency", "Agency_Name", textCheck("Admin_Agency", true), "Admin_Agency"},
        {"Officer", "Officer_Name", textCheck("Admin_Officer", true), "Admin_Officer"},
        {"Site", "Site_Name_Direction",
         QStringLiteral(
             "pg_catalog.char_length(\"Name\") <= %1 AND pg_catalog.char_length(\"Direction\") <= %2")
             .arg(survey::maximumLength("Location"))
             .arg(survey::maximumLength("Direction")),
         "Name"},
    };
}

// Adds the checks to the tables; the key texts of the rows stored before
// that fail them.
QStringList addRowChecks(PgConnection& connection, const QString& schema)
{
    QStringList failing;
    for (const RowCheck& check : rowChecks()) {
        const QString table = QStringLiteral("%1.\"%2\"").arg(schema, QLatin1String(check.table));
        const PgResult rows =
            connection.exec(QStringLiteral("SELECT \"%1\" FROM %2 WHERE NOT coalesce(%3, false) LIMIT 20")
                                .arg(QLatin1String(check.key), table, check.condition)
                                .toUtf8());
        for (int row = 0; row < rows.rows(); ++row)
            failing << rows.text(row, 0);
        connection.exec(QStringLiteral("ALTER TABLE %1 ADD CONSTRAINT \"%2\" CHECK (%3)%4")
                            .arg(table, QLatin1String(check.name), check.condition,
                                 rows.rows() > 0 ? QStringLiteral(" NOT VALID") : QString())
                            .toUtf8());
    }
    return failing;
}

// The message for a set-up the role's rights do not allow.
db::DbError missingRight(const PgConnection& connection, const QString& right)
{
    return db::DbError(QStringLiteral("The survey database %1 cannot be set up by this user: it needs %2. "
                                      "Run 'pelmor-cli --server URL server init' as such a role (for "
                                      "example the database's owner with CREATEROLE).")
                           .arg(connection.name(), right),
                       db::Failure::NotAllowed);
}

// What each group role may do, set anew on every run: reading every table
// of the surveys, the sites and the name lists; adding vehicles, which the
// trigger on them accepts only for a survey being stored; calling the
// checked functions; and, for administrators, deleting surveys and editing
// the name lists. Everything else is the schema owner's.
QStringList grants()
{
    return {
        QStringLiteral("REVOKE ALL ON ALL TABLES IN SCHEMA @S@ FROM pelmor_officer, pelmor_admin"),
        // A function may be called by anyone unless that right is taken
        // away; every one of the program's is, then given back to the
        // roles that call it.
        QStringLiteral(
            "REVOKE ALL ON FUNCTION @S@.\"Begin_Survey\", @S@.\"Finish_Survey\", @S@.\"Place_Survey\", "
            "@S@.\"Figures_Agree\", @S@.\"Site_Of_Key\", @S@.\"Delete_Survey\", @S@.\"Merge_Sites\", "
            "@S@.\"Split_Survey\", @S@.\"Set_Site_Coordinates\", @S@.\"Tally_Added_Vehicles\", "
            "@S@.\"Count_Removed_Vehicles\", @S@.\"Forget_Vehicle_Counts\", "
            "@S@.\"Header_Keeps_Vehicles\", @S@.\"Survey_Must_Be_Finished\" "
            "FROM PUBLIC, pelmor_officer, pelmor_admin"),
        QStringLiteral("GRANT SELECT ON @S@.\"Schema_Version\", @S@.\"Header\", @S@.\"Summary\", "
                       "@S@.\"Veh_Data\", @S@.\"Survey_Vehicles\", @S@.\"Survey_Download\", "
                       "@S@.\"Survey_Source\", @S@.\"Agency\", "
                       "@S@.\"Officer\", @S@.\"Site\", @S@.\"Site_Name\", @S@.\"Site_Survey\" "
                       "TO pelmor_officer, pelmor_admin"),
        QStringLiteral("GRANT INSERT ON @S@.\"Veh_Data\" TO pelmor_officer, pelmor_admin"),
        QStringLiteral("GRANT INSERT, UPDATE, DELETE ON @S@.\"Agency\", @S@.\"Officer\" TO pelmor_admin"),
        QStringLiteral("GRANT EXECUTE ON FUNCTION @S@.\"Begin_Survey\"(text), "
                       "@S@.\"Finish_Survey\"(jsonb, jsonb, bytea, text, text, text), "
                       "@S@.\"Place_Survey\"(text, text, text), @S@.\"Merge_Sites\"(bigint, bigint), "
                       "@S@.\"Split_Survey\"(text), "
                       "@S@.\"Set_Site_Coordinates\"(bigint, double precision, double precision) "
                       "TO pelmor_officer, pelmor_admin"),
        QStringLiteral("GRANT EXECUTE ON FUNCTION @S@.\"Delete_Survey\"(text) TO pelmor_admin"),
    };
}

// The database's own limits on every session: a session that sits in an
// unfinished transaction (a laptop suspended in the middle of storing a
// survey) is ended, and so is one whose computer stops answering (a pulled
// cable); a statement waits a bounded time for what another session holds.
QStringList sessionLimits()
{
    QStringList limits;
    for (const char* setting :
         {"idle_in_transaction_session_timeout = '60s'", "lock_timeout = '30s'", "tcp_keepalives_idle = 60",
          "tcp_keepalives_interval = 10", "tcp_keepalives_count = 3"})
        limits
            << QStringLiteral("ALTER DATABASE %1 SET %2").arg(QStringLiteral("@DB@"), QLatin1String(setting));
    return limits;
}

// Runs statements with the schema, its safe search path, the column lists
// and the database filled in.
void run(PgConnection& connection, const QStringList& statements, const QString& schema,
         const QString& database)
{
    const QString path = QString::fromLatin1(kSafePath).replace(QStringLiteral("@S@"), schema);
    QStringList headerColumns, headerValues;
    survey::HeaderRow row;
    survey::HeaderRow::forEachField(row, [&](const char* name, const QString&) {
        headerColumns << QStringLiteral("\"%1\"").arg(QLatin1String(name));
        headerValues << QStringLiteral("h.\"%1\"").arg(QLatin1String(name));
    });
    for (QString statement : statements) {
        statement.replace(QStringLiteral("@PATH@"), path)
            .replace(QStringLiteral("@HEADER_COLUMNS@"), headerColumns.join(QStringLiteral(", ")))
            .replace(QStringLiteral("@HEADER_VALUES@"), headerValues.join(QStringLiteral(", ")))
            .replace(QStringLiteral("@DB@"), database)
            .replace(QStringLiteral("@S@"), schema);
        connection.exec(statement.toUtf8());
    }
}

} // namespace

ServerSetup initServer(const db::Database& database)
{
    ServerSetup setup;
    PgConnection connection(database.server);
    PgTransaction transaction(connection);
    const PgResult missing = connection.exec(
        "SELECT count(*) FILTER (WHERE NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = r.name)), "
        "(SELECT rolcreaterole OR rolsuper FROM pg_roles WHERE rolname = current_user), "
        "quote_ident(current_schema()), quote_ident(current_database()) "
        "FROM (VALUES ('pelmor_officer'), ('pelmor_admin')) AS r(name)");
    // Checked even when both roles exist, so that a set-up that works once
    // works again on a server whose roles were dropped.
    if (missing.bytes(0, 1) != "t")
        throw missingRight(connection, QStringLiteral("the right to create roles (CREATEROLE), for the group "
                                                      "roles pelmor_officer and pelmor_admin"));
    const QString schema = missing.text(0, 2);
    const QString databaseName = missing.text(0, 3);
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
        // Two set-ups of the same database at once take turns; only a role
        // that may change the table can take this lock.
        connection.exec("LOCK TABLE \"Schema_Version\" IN EXCLUSIVE MODE");
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
        const std::pair<int, QStringList (*)()> versions[] = {
            {1, versionOne},  {2, versionTwo}, {3, versionThree}, {4, versionFour},
            {5, versionFive}, {6, versionSix}, {7, versionSeven}, {8, versionEight}};
        for (const auto& [version, statements] : versions) {
            if (setup.previousVersion < version)
                run(connection, statements(), schema, databaseName);
        }
        if (setup.previousVersion < 6)
            setup.refusedRows = addRowChecks(connection, schema);
        if (setup.previousVersion < 7)
            setup.sharedDownloads = sharedDownloads(connection);
        connection.exec("INSERT INTO \"Schema_Version\" (\"Version\") VALUES ($1) "
                        "ON CONFLICT (\"One_Row\") DO UPDATE SET \"Version\" = EXCLUDED.\"Version\"",
                        {QByteArray::number(kServerSchemaVersion)});
        run(connection, grants(), schema, databaseName);
    } catch (const db::DbError&) {
        if (connection.lastFailureState() == "42501")
            throw missingRight(
                connection, QStringLiteral("the right to create tables in the database's schema and to "
                                           "grant rights on them (the owner of the schema and its tables)"));
        throw;
    }
    try {
        run(connection, sessionLimits(), schema, databaseName);
    } catch (const db::DbError&) {
        if (connection.lastFailureState() == "42501")
            throw missingRight(connection, QStringLiteral("the right to set the database's limits on "
                                                          "sessions (the owner of the database)"));
        throw;
    }
    transaction.commit();
    return setup;
}

} // namespace pelmor::store
