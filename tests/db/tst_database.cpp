#include "SurveyFixture.h"
#include "TestSupport.h"
#include "db/Connection.h"
#include "db/DbError.h"
#include "db/RecordView.h"
#include "db/Recordset.h"
#include "db/SqlText.h"
#include "db/StatementLog.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <memory>

using namespace pelmor;
using pelmor::db::Connection;
using pelmor::db::DbError;

class TstDatabase : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_folder = std::make_unique<test::TempProgramFolder>();
        m_folder->statements().clear();
    }
    void unusableFilesAreNamed_data()
    {
        QTest::addColumn<QByteArray>("content"); // empty: no file at all
        QTest::addColumn<bool>("directory");
        test::row("missing", QByteArray(), false);
        test::row("not a database", QByteArray("This is a text file, not a database.\n").repeated(100),
                  false);
        test::row("a folder", QByteArray(), true);
    }
    void unusableFilesAreNamed()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, directory);
        const QString path = m_folder->filePath(QStringLiteral("other.mdb"));
        if (directory)
            QVERIFY(QDir().mkdir(path));
        if (!content.isEmpty()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        try {
            Connection connection({path, nullptr});
            connection.openRecordset(QStringLiteral("select * from Header")).bof();
            QFAIL("an unusable database file was opened");
        } catch (const DbError& error) {
            QVERIFY2(error.message().contains(QDir::toNativeSeparators(path)), qPrintable(error.message()));
        }
    }
    void literalsTranslate_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("translated"); // empty: refused
        const char* const rows[][2] = {
            {"Time >= # 08:00 #", "Time >= '08:00:00'"},
            {"date = # 01/05/03 #", "date = '2003-01-05'"},
            {"Time <= #08:14 PM#", "Time <= '20:14:00'"},
            {"x = # 05/03/2002 13:05 #", "x = '2002-05-03 13:05:00'"},
            {"Location = 'Lot #4' and Time = # 08:00 #", "Location = 'Lot #4' and Time = '08:00:00'"},
            {"[No#] = 1", "[No#] = 1"},
            {"date = # 13/45/2002 #", ""},
            {"date = # 01/05/03", ""},
        };
        for (const auto& row : rows)
            test::row(row[0], QString::fromUtf8(row[0]), QString::fromUtf8(row[1]));
    }
    void literalsTranslate()
    {
        QFETCH(QString, statement);
        QFETCH(QString, translated);
        try {
            QCOMPARE(db::translateStatement(statement), translated);
        } catch (const DbError&) {
            QVERIFY2(translated.isEmpty(), "a valid statement was refused");
        }
    }
    void writesConvert_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVariant>("stored"); // invalid: refused
        test::row("speed with blanks", "Speed", " 35 ", QVariant(35LL));
        test::row("offset with decimals, ties to even", "Offset", "34.5", QVariant(34LL));
        test::row("empty speed", "Speed", "", QVariant());
        test::row("word as speed", "Speed", "fast", QVariant());
        test::row("12-hour time", "Time", "01:05 PM", QVariant(QStringLiteral("13:05:00")));
        test::row("midnight", "Time", "12:05 AM", QVariant(QStringLiteral("00:05:00")));
        test::row("impossible time", "Time", "25:00", QVariant());
        test::row("date", "Date", "01/05/03", QVariant(QStringLiteral("2003-01-05")));
        test::row("impossible date", "Date", "13/45/2002", QVariant());
        test::row("text as typed", "Veh_Direction", " ? ", QVariant(QStringLiteral(" ? ")));
    }
    void writesConvert()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QVariant, stored);
        Connection connection(m_folder->database());
        auto set = connection.openRecordset(QStringLiteral("select * from Veh_Data"));
        set.addNew();
        set.setValue(QStringLiteral("Batch_Number"), QStringLiteral("050302-A"));
        try {
            set.setValue(field, text);
            QVERIFY2(stored.isValid(), "a value that does not convert was taken");
        } catch (const DbError& error) {
            QVERIFY2(!stored.isValid() && error.message().contains(field), qPrintable(error.message()));
            return;
        }
        set.update();
        QCOMPARE(
            connection.scalar(QStringLiteral("select %1 as v from Veh_Data").arg(field), QStringLiteral("V")),
            stored);
    }
    void statementLogKeepsCallerTexts()
    {
        // Times stored from "08:14 AM" texts answer a literal "# 08:14 #".
        test::Survey survey;
        survey.offsets = {0, 14 * 60, 15 * 60, 24 * 3600};
        test::storeSurvey(m_folder->databasePath(), survey);
        survey.batchNumber = QStringLiteral("050302-B");
        survey.offsets = {0};
        test::storeSurvey(m_folder->databasePath(), survey);
        m_folder->statements().clear();

        Connection connection(m_folder->database());
        const QStringList statements = {
            QStringLiteral(
                "select count(speed) as TBlock from [Veh_Data] where  [Batch_Number] = '050302-A' and "
                "Time >= # 08:00 # and Time <= # 08:14 # and date = # 05/03/02 # "),
            QStringLiteral(
                "select count(speed) as TUnder from [Veh_Data] where [Batch_Number] = 'x' and Speed <= 35"),
            QStringLiteral("select distinct [Batch_Number] from  Header"),
        };
        QCOMPARE(connection.scalar(statements[0], QStringLiteral("tBlock")).toInt(), 2);
        connection.scalar(statements[1], QStringLiteral("TUnder"));
        auto set = connection.openRecordset(statements[2]);
        QCOMPARE(set.recordCount(), 2);
        QCOMPARE(m_folder->statements().entries(), statements);
    }
    void apostrophesAreDoubled()
    {
        Connection connection(m_folder->database());
        auto agencies = connection.openRecordset(QStringLiteral("select * from Agency"));
        for (const QString& name : {QStringLiteral("Town Police"), QStringLiteral("O'Brien County"),
                                    QStringLiteral("x' or '1'='1")}) {
            agencies.addNew();
            agencies.setValue(QStringLiteral("admin_agency"), name);
            agencies.update();
        }
        for (const QString& name : {QStringLiteral("O'Brien County"), QStringLiteral("x' or '1'='1")}) {
            QVERIFY(agencies.findFirst(QStringLiteral("[admin_agency] = '%1'").arg(db::escapeText(name))));
            QCOMPARE(agencies.text(QStringLiteral("Admin_Agency")), name);
        }
        const QString count = QStringLiteral("select count(*) as N from Agency where [Admin_Agency] = '%1'")
                                  .arg(db::escapeText(QStringLiteral("x' or '1'='1")));
        QCOMPARE(connection.scalar(count, QStringLiteral("N")).toInt(), 1);
    }
    void recordsetWalks()
    {
        Connection connection(m_folder->database());
        auto set = connection.openRecordset(QStringLiteral("select * from Breakdown"));
        QVERIFY(set.bof() && set.eof());
        QVERIFY_THROWS_EXCEPTION(DbError, set.value(QStringLiteral("cDate")));
        // Rows come back in the order they were added, well past one page.
        db::Transaction transaction(connection);
        for (int i = 0; i < 1500; ++i) {
            set.addNew();
            set.setValue(QStringLiteral("cCount"), QString::number(1500 - i));
            set.update();
        }
        transaction.commit();
        QCOMPARE(set.recordCount(), 1500);
        auto fresh = connection.openRecordset(QStringLiteral("Breakdown"));
        QCOMPARE(fresh.text(QStringLiteral("cCount")),
                 QStringLiteral("1500")); // a new set stands on its first row
        int expected = 1500;
        for (set.moveFirst(); !set.eof(); set.moveNext())
            QCOMPARE(set.text(QStringLiteral("ccount")).toInt(), expected--);
        QCOMPARE(expected, 0);
        QVERIFY_THROWS_EXCEPTION(DbError, set.moveNext());
        set.moveLast();
        set.movePrevious();
        QCOMPARE(set.text(QStringLiteral("cCount")), QStringLiteral("2"));

        QVERIFY(set.findFirst(QStringLiteral("cCount = '700'")));
        QVERIFY(!set.findFirst(QStringLiteral("cCount = 'none'")));
        QCOMPARE(set.text(QStringLiteral("cCount")), QStringLiteral("700")); // a failed find stays put
        set.edit();
        set.setValue(QStringLiteral("cHourTotal"), QStringLiteral("edited"));
        set.update();
        QCOMPARE(connection
                     .scalar(QStringLiteral("select cHourTotal as t from Breakdown where cCount = '700'"),
                             QStringLiteral("t"))
                     .toString(),
                 QStringLiteral("edited"));

        // Deleting while walking from the first row to the end, as a survey is
        // removed, skips no row.
        int seen = 0;
        for (set.moveFirst(); !set.eof(); set.moveNext(), ++seen) {
            if (set.text(QStringLiteral("cCount")).toInt() % 3 == 0)
                set.deleteCurrent();
        }
        QCOMPARE(seen, 1500);
        QCOMPARE(set.recordCount(), 1000);
        QCOMPARE(connection
                     .scalar(QStringLiteral("select count(*) as n from Breakdown where cCount % 3 = 0"),
                             QStringLiteral("n"))
                     .toInt(),
                 0);
        set.moveFirst();
        QCOMPARE(set.text(QStringLiteral("cCount")), QStringLiteral("1499"));
    }
    void queryResultsAreReadOnly()
    {
        Connection connection(m_folder->database());
        auto set = connection.openRecordset(QStringLiteral("select distinct [Radar_Mode] from  Radar"));
        QVERIFY(!set.isUpdatable());
        QCOMPARE(set.text(QStringLiteral("RADAR_MODE")), QStringLiteral("MPH"));
        QVERIFY_THROWS_EXCEPTION(DbError, set.addNew());
        QVERIFY_THROWS_EXCEPTION(DbError, set.deleteCurrent());
        QVERIFY_THROWS_EXCEPTION(DbError,
                                 connection.openRecordset(QStringLiteral("select * from NoSuchTable")));
    }
    void viewStoresPendingEdits()
    {
        db::RecordView view(QStringLiteral("Data4"));
        view.setDatabase(m_folder->database());
        view.setRecordSource(QStringLiteral("Agency"));
        view.refresh();
        QVERIFY(view.bof() && view.eof());

        // A new row typed into a bound box becomes a record when the view re-reads.
        view.addNew();
        QCOMPARE(view.fieldText(QStringLiteral("Admin_Agency")), QString());
        view.setFieldText(QStringLiteral("Admin_Agency"), QStringLiteral("County Sheriff"));
        view.refresh();
        QCOMPARE(view.recordCount(), 1);
        QCOMPARE(view.fieldText(QStringLiteral("admin_agency")), QStringLiteral("County Sheriff"));

        // An edit of the current row is stored when the view moves on.
        view.addNew();
        view.setFieldText(QStringLiteral("Admin_Agency"), QStringLiteral("Town Police"));
        view.moveFirst();
        view.setFieldText(QStringLiteral("Admin_Agency"), QStringLiteral("County Sheriff Office"));
        view.moveLast();
        view.refresh();
        QStringList names;
        for (view.moveFirst(); !view.eof(); view.moveNext())
            names << view.fieldText(QStringLiteral("Admin_Agency"));
        QCOMPARE(names,
                 (QStringList{QStringLiteral("County Sheriff Office"), QStringLiteral("Town Police")}));

        // Adding and moving away without typing adds nothing.
        view.addNew();
        view.moveFirst();
        QCOMPARE(view.recordCount(), 2);
    }

private:
    std::unique_ptr<test::TempProgramFolder> m_folder;
};
QTEST_GUILESS_MAIN(TstDatabase)
#include "tst_database.moc"
