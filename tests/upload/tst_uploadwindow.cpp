#include "AppUnderTest.h"
#include "UploadFixture.h"
#include "app/AdminTab.h"
#include "db/ServerChoice.h"
#include "upload/widgets/ServerFields.h"
#include "upload/widgets/UploadWindow.h"

#include <QComboBox>

#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

using namespace pelmor;

// The upload window opened from the administration tab, sending to a
// server of the test's own.
class TstUploadWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QCOMPARE(test::prepareUploadServer(), QString());
        m_database = testServer().createDatabase(test::kUploadTemplate);
        QVERIFY(!m_database.isEmpty());
    }

    // "Send" sends the checked surveys of the file to the server named in
    // the window, and lists their outcomes: a survey that lost vehicles
    // behind the program's back is refused. The program stays on the file
    // (or on the server it works on), the window stands over the main
    // window, and the server named is remembered for the next window.
    void sendsTheCheckedSurveys_data()
    {
        QTest::addColumn<bool>("programOnServer");
        QTest::newRow("program on the file") << false;
        QTest::newRow("program on the server") << true;
    }
    void sendsTheCheckedSurveys()
    {
        QFETCH(bool, programOnServer);
        test::AppUnderTest app; // with per-user settings of its own
        const db::ServerChoice choice =
            test::serverChoice(testServer().createDatabase(test::kUploadTemplate));
        if (programOnServer) { // as "Database..." leaves it
            db::rememberServerChoice(choice);
            app.state.serverChoice = choice;
            app.state.database.server = db::connectionString(choice);
        }
        test::storeSurveys(app.folder.databasePath(),
                           {test::localSurvey("A", 4000, 1), test::localSurvey("B", 9000, 2),
                            test::localSurvey("C", 100, 3)});
        test::executeOnFile(app.folder.databasePath(),
                            "DELETE FROM Veh_Data WHERE Batch_Number = 'C' AND Offset % 10 = 0");
        upload::UploadWindow* window = open(app);
        QVERIFY(window);
        QVERIFY((window->geometry().center() - app.window->geometry().center()).manhattanLength() < 40);
        QVERIFY(window->findChild<QLabel*>("UploadFrom")->text().contains(app.folder.databasePath()));
        if (!programOnServer) { // nothing remembered: the server's address is asked for first
            QTest::mouseClick(window->sendButton(), Qt::LeftButton);
            QVERIFY(window->serverFields()->message().contains("in \"Host\""));
            QVERIFY(!window->isSending());
            fillIn(window, choice);
        }
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
        const auto onServer = store::openStore({{}, db::connectionString(choice)});
        QCOMPARE(test::vehicleCounts(*onServer), (std::map<QString, qint64>{{"B", 9000}}));
        QCOMPARE(app.state.serverChoice.useServer, programOnServer);
        QCOMPARE(db::rememberedServerChoice().useServer, programOnServer);
        QVERIFY(db::sameServer(db::rememberedSendServer(), choice));
    }

    // A server that wants a password: the window asks for it, says so when
    // the server refuses the one typed, keeps it in its box only, and sends
    // once the right one is typed.
    void asksForAPasswordWhenTheServerWantsOne()
    {
        // The server now wants officer2's password on its address.
        QCOMPARE(testServer().execute(QStringLiteral(
                     "CREATE ROLE officer2 LOGIN PASSWORD 'field-pass' IN ROLE pelmor_officer; "
                     "DO $$ BEGIN EXECUTE format($f$COPY (SELECT line FROM (VALUES "
                     "(1, 'host all officer2 127.0.0.1/32 scram-sha-256'), (2, 'host all all 127.0.0.1/32 "
                     "trust')) "
                     "AS rule(n, line) ORDER BY n) TO %L$f$, current_setting('hba_file')); END $$; "
                     "SELECT pg_reload_conf()")),
                 QString());
        test::AppUnderTest app;
        const db::ServerChoice choice = test::serverChoice(m_database, "officer2");
        QTRY_VERIFY(wantsPassword(choice));
        test::storeSurvey(app.folder.databasePath(), test::localSurvey("C", 100, 3));
        upload::UploadWindow* window = open(app);
        QVERIFY(window);
        fillIn(window, choice);
        QSignalSpy sent(window, &upload::UploadWindow::sent);
        QLineEdit* password = window->serverFields()->passwordBox();
        const QWidget* port = window->findChild<QWidget*>("ServerPort");
        for (const char* typed : {"", "Field-pass", "field-pass"}) {
            password->setText(QString::fromLatin1(typed));
            QTest::mouseClick(window->sendButton(), Qt::LeftButton);
            QVERIFY(sent.wait(60000));
            QCOMPARE(window->serverFields()->message().contains("wants a password"), !*typed);
            QCOMPARE(window->serverFields()->message().contains("refused the password or the user"),
                     typed == QByteArray("Field-pass"));
            QCOMPARE(port->height(), port->sizeHint().height());
        }
        QCOMPARE(window->outcomeList()->item(0)->text(), QStringLiteral("C  sent, 100 vehicles"));
        QCOMPARE(password->text(), QStringLiteral("field-pass"));
        // Nothing the program wrote holds it.
        QDirIterator written(app.folder.path(), QDir::Files, QDirIterator::Subdirectories);
        while (written.hasNext()) {
            const QString path = written.next();
            QVERIFY2(!test::fileBytes(path).contains("field-pass"), qPrintable(path));
        }
    }

private:
    static test::PgTestServer& testServer() { return test::testServer(); }
    static bool wantsPassword(const db::ServerChoice& choice)
    {
        try {
            store::openStore({{}, db::connectionString(choice)});
        } catch (const db::DbError& error) {
            return error.failure() == db::Failure::PasswordNeeded;
        }
        return false;
    }

    // Names the server in the window's boxes, as the officer types it.
    static void fillIn(upload::UploadWindow* window, const db::ServerChoice& choice)
    {
        const test::WindowProbe ui(window);
        ui.child<QLineEdit>(QStringLiteral("ServerHost"))->setText(choice.host);
        ui.child<QSpinBox>(QStringLiteral("ServerPort"))->setValue(choice.port);
        ui.child<QLineEdit>(QStringLiteral("ServerDatabase"))->setText(choice.database);
        ui.child<QLineEdit>(QStringLiteral("ServerUser"))->setText(choice.user);
        ui.child<QComboBox>(QStringLiteral("TlsMode"))->setCurrentText(choice.tlsMode);
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
        // Its list is read on a worker.
        return window && window->isVisible() && test::WindowProbe(window).workDone() ? window : nullptr;
    }

    QString m_database;
};

QTEST_MAIN(TstUploadWindow)
#include "tst_uploadwindow.moc"
