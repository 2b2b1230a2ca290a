#include "AppUnderTest.h"
#include "UploadFixture.h"
#include "app/AdminTab.h"
#include "db/ServerChoice.h"
#include "upload/widgets/UploadWindow.h"

#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace pelmor;

// The upload window opened from the administration tab, sending to a
// server of the test's own.
class TstUploadWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        const QString failed = test::prepareUploadServer();
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        m_database = test::testServer().createDatabase(test::kUploadTemplate);
        QVERIFY(!m_database.isEmpty());
    }

    // Without a server chosen the window says how to choose one, and sends
    // nothing.
    void noServerChosen()
    {
        test::AppUnderTest app; // with per-user settings of its own
        db::rememberServerChoice(db::ServerChoice{});
        test::storeSurvey(app.folder.databasePath(), test::localSurvey("A", 10, 1));
        upload::UploadWindow* window = open(app);
        QVERIFY(window);
        QVERIFY(window->serverLabel()->text().contains("\"Database...\" first"));
        QVERIFY(!window->sendButton()->isEnabled());
        QCOMPARE(window->surveyList()->count(), 1);
    }

    // "Send" sends the checked surveys, and lists their outcomes: a survey
    // that lost vehicles behind the program's back is refused.
    void sendsTheCheckedSurveys()
    {
        test::AppUnderTest app; // with per-user settings of its own
        const db::ServerChoice choice = serverChoice();
        db::rememberServerChoice(choice);
        test::storeSurveys(app.folder.databasePath(),
                           {test::localSurvey("A", 4000, 1), test::localSurvey("B", 9000, 2),
                            test::localSurvey("C", 100, 3)});
        test::executeOnFile(app.folder.databasePath(),
                            "DELETE FROM Veh_Data WHERE Batch_Number = 'C' AND Offset % 10 = 0");
        upload::UploadWindow* window = open(app);
        QVERIFY(window);
        QVERIFY(window->sendButton()->isEnabled());
        QListWidget* surveys = window->surveyList();
        QCOMPARE(surveys->count(), 3);
        for (int row = 0; row < 3; ++row)
            QCOMPARE(surveys->item(row)->checkState(), Qt::Checked);
        surveys->item(0)->setCheckState(Qt::Unchecked);

        QSignalSpy sent(window, &upload::UploadWindow::sent);
        QTest::mouseClick(window->sendButton(), Qt::LeftButton);
        QVERIFY(sent.wait(60000));
        QCOMPARE(window->outcomeList()->count(), 2);
        QCOMPARE(window->outcomeList()->item(0)->text(), QStringLiteral("B  sent, 9,000 vehicles"));
        QVERIFY(window->outcomeList()->item(1)->text().startsWith(
            "C  refused: Survey C is not sent: its statistics count 100 vehicles, but "));
        QCOMPARE(window->findChild<QLabel*>("UploadSummary")->text(),
                 QStringLiteral("1 sent, 0 already there, 1 refused, 0 failed, 0 not sent."));
        QVERIFY(window->sendButton()->isEnabled());
        QVERIFY(app.state.serverPassword.isEmpty());
        const auto onServer = store::openStore({{}, nullptr, db::connectionString(choice)});
        QCOMPARE(test::vehicleCounts(*onServer), (std::map<QString, qint64>{{"B", 9000}}));
    }

    // A server that wants a password: the window asks for it, keeps it in
    // the session's memory only, and sends once it is typed.
    void asksForAPasswordWhenTheServerWantsOne()
    {
        // The server now wants officer2's password on its address.
        QCOMPARE(test::testServer().execute(QStringLiteral(
                     "CREATE ROLE officer2 LOGIN PASSWORD 'field-pass' IN ROLE pelmor_officer; "
                     "DO $$ BEGIN EXECUTE format($f$COPY (SELECT line FROM (VALUES "
                     "(1, 'host all officer2 127.0.0.1/32 scram-sha-256'), (2, 'host all all 127.0.0.1/32 "
                     "trust')) "
                     "AS rule(n, line) ORDER BY n) TO %L$f$, current_setting('hba_file')); END $$; "
                     "SELECT pg_reload_conf()")),
                 QString());
        test::AppUnderTest app;
        db::ServerChoice choice = serverChoice();
        choice.user = "officer2";
        db::rememberServerChoice(choice);
        QTRY_VERIFY(wantsPassword(choice));
        test::storeSurvey(app.folder.databasePath(), test::localSurvey("C", 100, 3));
        upload::UploadWindow* window = open(app);
        QVERIFY(window);
        QVERIFY(!window->passwordBox()->isVisible());
        QSignalSpy sent(window, &upload::UploadWindow::sent);
        QTest::mouseClick(window->sendButton(), Qt::LeftButton);
        QVERIFY(sent.wait(60000));
        QVERIFY(window->passwordBox()->isVisible());
        QVERIFY(window->findChild<QLabel*>("UploadSummary")->text().contains("wants a password"));
        QCOMPARE(window->outcomeList()->item(0)->text(), QStringLiteral("C  not sent"));

        QTest::keyClicks(window->passwordBox(), "field-pass");
        QTest::mouseClick(window->sendButton(), Qt::LeftButton);
        QVERIFY(sent.wait(60000));
        QCOMPARE(window->outcomeList()->item(0)->text(), QStringLiteral("C  sent, 100 vehicles"));
        QCOMPARE(app.state.serverPassword, QStringLiteral("field-pass"));
        // Nothing the program wrote holds it.
        QDirIterator written(app.folder.path(), QDir::Files, QDirIterator::Subdirectories);
        while (written.hasNext()) {
            const QString path = written.next();
            QVERIFY2(!test::fileBytes(path).contains("field-pass"), qPrintable(path));
        }
    }

private:
    db::ServerChoice serverChoice() const
    {
        db::ServerChoice choice;
        choice.useServer = true;
        choice.host = "127.0.0.1";
        choice.port = test::testServer().port();
        choice.database = m_database;
        choice.user = "officer1";
        choice.tlsMode = "disable";
        return choice;
    }
    static bool wantsPassword(const db::ServerChoice& choice)
    {
        try {
            store::openStore({{}, nullptr, db::connectionString(choice)});
        } catch (const db::DbError& error) {
            return error.failure() == db::Failure::PasswordNeeded;
        }
        return false;
    }

    // Opens the window with the administration tab's button.
    upload::UploadWindow* open(test::AppUnderTest& app)
    {
        app::MainWindow& main = app.start();
        QPushButton* button = main.adminTab()->findChild<QPushButton*>("SendSurveys");
        if (!button)
            return nullptr;
        QTest::mouseClick(button, Qt::LeftButton);
        upload::UploadWindow* window = main.uploadWindow();
        return window && window->isVisible() ? window : nullptr;
    }

    QString m_database;
};

QTEST_MAIN(TstUploadWindow)
#include "tst_uploadwindow.moc"
