#include "AppUnderTest.h"
#include "UploadFixture.h"
#include "app/AdminTab.h"
#include "db/ServerChoice.h"
#include "upload/widgets/UploadWindow.h"

#include <QLabel>
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
        m_database = test::uploadServer().createDatabase(test::kUploadTemplate);
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

    // "Send" with one survey checked sends that one, and lists its outcome.
    void sendsTheCheckedSurvey()
    {
        test::AppUnderTest app; // with per-user settings of its own
        db::ServerChoice choice;
        choice.useServer = true;
        choice.host = "127.0.0.1";
        choice.port = test::uploadServer().port();
        choice.database = m_database;
        choice.user = "officer1";
        choice.tlsMode = "disable";
        db::rememberServerChoice(choice);
        test::storeSurveys(app.folder.databasePath(),
                           {test::localSurvey("A", 4000, 1), test::localSurvey("B", 9000, 2)});
        upload::UploadWindow* window = open(app);
        QVERIFY(window);
        QVERIFY(window->sendButton()->isEnabled());
        QListWidget* surveys = window->surveyList();
        QCOMPARE(surveys->count(), 2);
        QCOMPARE(surveys->item(0)->checkState(), Qt::Checked);
        QCOMPARE(surveys->item(1)->checkState(), Qt::Checked);
        surveys->item(0)->setCheckState(Qt::Unchecked);

        QSignalSpy sent(window, &upload::UploadWindow::sent);
        QTest::mouseClick(window->sendButton(), Qt::LeftButton);
        QVERIFY(sent.wait(60000));
        QCOMPARE(window->outcomeList()->count(), 1);
        QCOMPARE(window->outcomeList()->item(0)->text(), QStringLiteral("B  sent, 9,000 vehicles"));
        QVERIFY(window->sendButton()->isEnabled());
        QVERIFY(app.state.serverPassword.isEmpty());
        const auto onServer = store::openStore({{}, nullptr, db::connectionString(choice)});
        QCOMPARE(test::vehicleCounts(*onServer), (std::map<QString, qint64>{{"B", 9000}}));
    }

private:
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
