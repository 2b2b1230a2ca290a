// Deleting one survey or all of them: exactly the chosen rows go, the
// settings, the last breakdown and the name lists stay.
#include "MaintenanceFixture.h"
#include "SurveyFixture.h"
#include "TestSupport.h"
#include "db/Connection.h"
#include "maintenance/MaintenanceTexts.h"
#include "maintenance/SurveyDeletion.h"

#include <QTest>

#include <memory>

using namespace pelmor;
using maintenance::Outcome;
using test::row;

namespace {

// The lines of the tables that no deletion touches.
QStringList untouchedTables(const QString& databasePath)
{
    QStringList lines = test::databaseContent(databasePath);
    lines.removeIf([](const QString& line) {
        return line.startsWith(QLatin1String("Header ")) || line.startsWith(QLatin1String("Summary ")) ||
               line.startsWith(QLatin1String("Veh_Data "));
    });
    return lines;
}

} // namespace

class TstDeletion : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_folder = std::make_unique<test::TempProgramFolder>();
        // Three surveys, a survey under the same date with the letter B,
        // and rows in every table that deletion leaves alone.
        test::storeSurveys(database(), 3, 50);
        test::Survey second;
        second.batchNumber = QStringLiteral("050226-B");
        second.speeds = {30, 31, 32};
        test::storeSurvey(database(), second);
        test::Survey apostrophe;
        apostrophe.batchNumber = QStringLiteral("O'1");
        apostrophe.speeds = {40};
        test::storeSurvey(database(), apostrophe);
        db::Connection connection({database(), nullptr});
        for (const char* statement : {"insert into Agency (Admin_Agency) values ('County Sheriff')",
                                      "insert into Officer (Admin_Officer) values ('Sgt. Lee')",
                                      "insert into Breakdown (cDate, cTime, cCount) values ('05/01/26', "
                                      "'08:00 - 08:15', '12')"})
            connection.execute(QLatin1String(statement));
        m_folder->statements().clear();
    }

    void listsTheStoredBatches()
    {
        QCOMPARE(maintenance::storedBatches(m_folder->database()),
                 (QStringList{"050126-A", "050226-A", "050326-A", "050226-B", "O'1"}));
        QCOMPARE(m_folder->statements().entries(),
                 QStringList{QStringLiteral("select distinct [Batch_Number] from  Header")});
    }

    void deleteSurvey_data()
    {
        QTest::addColumn<QString>("batch");
        QTest::addColumn<QStringList>("remaining");
        const QStringList all = {"050126-A", "050226-A", "050226-B", "050326-A", "O'1"};
        row("one of several", QStringLiteral("050226-A"),
            QStringList{"050126-A", "050226-B", "050326-A", "O'1"});
        row("the other letter of the same day", QStringLiteral("050226-B"),
            QStringList{"050126-A", "050226-A", "050326-A", "O'1"});
        row("letter case differs: nothing", QStringLiteral("050226-a"), all);
        row("an apostrophe in the batch number", QStringLiteral("O'1"),
            QStringList{"050126-A", "050226-A", "050226-B", "050326-A"});
        row("no choice: nothing", QString(), all);
        row("not stored: nothing", QStringLiteral("123199-Z"), all);
    }
    void deleteSurvey()
    {
        QFETCH(QString, batch);
        QFETCH(QStringList, remaining);
        const QStringList before = test::surveyContent(database());
        const QStringList untouched = untouchedTables(database());

        const Outcome outcome = maintenance::deleteSurvey(m_folder->database(), batch);
        QVERIFY2(outcome.isDone(), qPrintable(outcome.message + outcome.details));
        QVERIFY(outcome.message.isEmpty());
        // The surveys left are whole: each line as it was.
        QStringList expected;
        for (const QString& line : before) {
            if (remaining.contains(line.section(QLatin1Char(' '), 0, 0)))
                expected << line;
        }
        QCOMPARE(test::surveyContent(database()), expected);
        QCOMPARE(untouchedTables(database()), untouched);
    }

    void deleteSurveyStatements()
    {
        QVERIFY(maintenance::deleteSurvey(m_folder->database(), QStringLiteral("O'1")).isDone());
        QCOMPARE(m_folder->statements().entries(),
                 (QStringList{"delete from Summary where [Batch_Number] = 'O''1'",
                              "delete from Veh_Data where [Batch_Number] = 'O''1'",
                              "delete from Header where [Batch_Number] = 'O''1'"}));
    }

    void deleteAll_data()
    {
        QTest::addColumn<QString>("before"); // rows removed before the complete deletion
        QTest::addColumn<QString>("message");
        row("surveys stored", QString(), maintenance::texts::kDeletingFinished);
        row("vehicle rows without headers or statistics", QStringLiteral("Header Summary"),
            maintenance::texts::kDeletingFinished);
        row("headers without vehicle rows", QStringLiteral("Veh_Data"), maintenance::texts::kDatabaseEmpty);
        row("nothing stored", QStringLiteral("Header Summary Veh_Data"), maintenance::texts::kDatabaseEmpty);
    }
    void deleteAll()
    {
        QFETCH(QString, before);
        QFETCH(QString, message);
        {
            db::Connection connection({database(), nullptr});
            for (const QString& table : before.split(QLatin1Char(' '), Qt::SkipEmptyParts))
                connection.execute(QStringLiteral("delete from ") + table);
        }
        const QStringList untouched = untouchedTables(database());
        const Outcome outcome = maintenance::deleteAllSurveys(m_folder->database());
        QVERIFY2(outcome.isDone(), qPrintable(outcome.message + outcome.details));
        QCOMPARE(outcome.message, message);
        QCOMPARE(test::surveyContent(database()), QStringList());
        QCOMPARE(untouchedTables(database()), untouched);
        QCOMPARE(test::integrityOf(database()), QStringLiteral("ok"));
    }

private:
    QString database() const { return m_folder->databasePath(); }

    std::unique_ptr<test::TempProgramFolder> m_folder;
};

QTEST_GUILESS_MAIN(TstDeletion)
#include "tst_deletion.moc"
