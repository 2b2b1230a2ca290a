// Deleting one survey or all of them: exactly the chosen rows go, the
// settings, the last breakdown and the name lists stay.
#include "MaintenanceFixture.h"
#include "SurveyFixture.h"
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
        for (const char* batch : {"050226-B", "O'1"}) {
            test::Survey survey;
            survey.batchNumber = QString::fromLatin1(batch);
            survey.speeds = {30, 31, 32};
            test::storeSurvey(database(), survey);
        }
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

    // Exactly the survey named goes, letter case counting; the others stay whole.
    void deleteSurvey_data()
    {
        QTest::addColumn<QString>("batch");
        row("one of several", QStringLiteral("050226-A"));
        row("letter case differs: nothing", QStringLiteral("050226-a"));
        row("an apostrophe in the batch number", QStringLiteral("O'1"));
        row("no choice: nothing", QString());
        row("not stored: nothing", QStringLiteral("123199-Z"));
    }
    void deleteSurvey()
    {
        QFETCH(QString, batch);
        QStringList expected = test::surveyContent(database());
        expected.removeIf([&](const QString& line) { return line.section(QLatin1Char(' '), 0, 0) == batch; });
        const QStringList untouched = untouchedTables(database());

        const Outcome outcome = maintenance::deleteSurvey(m_folder->database(), batch);
        QVERIFY2(outcome.isDone(), qPrintable(outcome.message + outcome.details));
        QVERIFY(outcome.message.isEmpty());
        QCOMPARE(test::surveyContent(database()), expected);
        QCOMPARE(untouchedTables(database()), untouched);
        if (batch == QLatin1String("O'1"))
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
        row("headers without vehicle rows", QStringLiteral("Veh_Data"), QStringLiteral("Database is empty."));
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
