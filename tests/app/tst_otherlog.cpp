#include "AppUnderTest.h"
#include "app/ImportTab.h"
#include "logs/widgets/OtherLogDialog.h"
#include "store/SurveyStore.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

using namespace pelmor;

namespace {

// A small semicolon log of another device as its heading and lines give it:
// date, time, speed, lane ("1" or "2") and length.
struct SemicolonLog {
    QByteArray text = "Date;Time;Speed;Lane;Length\r\n";
    std::vector<QDateTime> times;
    std::vector<qint64> speeds;
    QString lanes;

    explicit SemicolonLog(int vehicles)
    {
        const QDateTime start(QDate(2026, 3, 26), QTime(7, 45, 10));
        for (int i = 0; i < vehicles; ++i) {
            times.push_back(start.addSecs(97 * i));
            speeds.push_back(18 + (i * 7) % 25);
            lanes += i % 3 == 0 ? '2' : '1';
            text += QStringLiteral("%1;%2;%3;%4;4.5\r\n")
                        .arg(times.back().toString("dd.MM.yyyy"), times.back().toString("HH:mm:ss"))
                        .arg(speeds.back())
                        .arg(lanes.back())
                        .toUtf8();
        }
    }
};

// The directions of vehicles as the survey stores them: "+", "-" or "?".
QString directions(const std::vector<logs::LoggedVehicle>& vehicles)
{
    QString shown;
    for (const logs::LoggedVehicle& vehicle : vehicles)
        shown += vehicle.travel == logs::Travel::Approaching ? '+'
                 : vehicle.travel == logs::Travel::Receding  ? '-'
                                                             : '?';
    return shown;
}

} // namespace

// "Import Other Log..." on the import tab, from the file to a stored survey.
class TstOtherLog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_app = std::make_unique<test::AppUnderTest>();
        m_app->start();
    }
    void cleanup() { m_app.reset(); }

    void readCorrectAndStore()
    {
        const SemicolonLog log(40);
        logs::OtherLogDialog* window = open("counter.csv", log.text);
        QVERIFY(window);
        test::WindowProbe dialog(window);

        // The guessed layout reads every vehicle's time and speed.
        QVERIFY(window->preview());
        const std::vector<logs::LoggedVehicle>& read = window->preview()->vehicles;
        QCOMPARE(read.size(), log.times.size());
        for (size_t i = 0; i < read.size(); ++i) {
            QCOMPARE(read[i].time, log.times[i]);
            QCOMPARE(read[i].speed, log.speeds[i]);
        }
        QCOMPARE(window->preview()->refused, qint64(0));

        // The lanes mapped one way, then the other: the preview follows.
        dialog.child<QSpinBox>("LogDirectionColumn")->setValue(4);
        for (const auto& [approaching, receding] : {std::pair{"1", "2"}, std::pair{"2", "1"}}) {
            dialog.child<QLineEdit>("LogApproaching")->setText(approaching);
            dialog.child<QLineEdit>("LogReceding")->setText(receding);
            QVERIFY(settled(*window));
            QString expected = log.lanes;
            expected.replace(approaching, "+").replace(receding, "-");
            QCOMPARE(directions(window->preview()->vehicles), expected);
        }
        dialog.child<QComboBox>("LogSpeedUnit")->setCurrentText("KPH");
        QVERIFY(settled(*window));

        // Exported as a layout file and imported again over other values,
        // the layout is the one exported.
        const logs::LogLayout exported = window->layout();
        test::answerFileWindow(m_app->folder.filePath("lanes.layout"));
        dialog.click("ExportLayout");
        dialog.child<QLineEdit>("LogApproaching")->setText("3");
        test::answerFileWindow(m_app->folder.filePath("lanes.layout"));
        dialog.click("ImportLayout");
        QVERIFY(settled(*window));
        QVERIFY(window->layout() == exported);
        QCOMPARE(directions(window->preview()->vehicles),
                 QString(log.lanes).replace("2", "+").replace("1", "-"));

        // Continued, the survey header is a download's, from the first
        // vehicle and the layout's unit.
        // The window deletes itself once it closes.
        const QPointer<logs::OtherLogDialog> closing(window);
        dialog.click("ContinueLog");
        QTRY_VERIFY(!closing || !closing->isVisible());
        QCOMPARE(m_app->window->importTab()->step(), app::ImportStep::LogRead);
        QCOMPARE((QStringList{ui().text("Input_Batch_Number"), ui().text("Input_Batch_Date"),
                              ui().text("Input_Start_Time"), ui().text("Combo1")}),
                 (QStringList{"032626-A", "03/26/2026", "07:45", "KPH"}));

        ui().child<QLineEdit>("Input_Location")->setText("Römerstraße 4");
        ui().child<QComboBox>("Input_Direction")->setCurrentText("North");
        ui().child<QComboBox>("Input_Zone")->setCurrentText("School");
        ui().child<QLineEdit>("Input_Posted_Speed")->setText("30");
        QSignalSpy finished(m_app->window->importTab(), &app::ImportTab::importFinished);
        ui().click("ProcessToDatabase");
        QVERIFY(finished.wait(60000));
        QCOMPARE(m_app->messages.last(), "40 records added");

        // Read back from the database file: every vehicle, each way round
        // as mapped last.
        QString stored;
        store::openStore(m_app->folder.database())
            ->scanVehicles("032626-A", store::VehicleOrder::Clock, [&](const store::VehicleRow& vehicle) {
                stored += vehicle.direction;
                return true;
            });
        QCOMPARE(stored, QString(log.lanes).replace("2", "+").replace("1", "-"));
    }

    // A file that holds nothing is refused with its name, and no window
    // stays up for it.
    void emptyFileIsRefused()
    {
        QVERIFY(!open("empty.txt", QByteArray()));
        QVERIFY(m_app->messages.last().contains("empty.txt"));
    }

private:
    const test::WindowProbe& ui() const { return m_app->ui; }

    // Writes `bytes` as a file of the program folder and reads it through
    // "Import Other Log..."; the window once its first preview is shown,
    // none when it went away.
    logs::OtherLogDialog* open(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_app->folder.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return nullptr;
        file.close();
        test::answerFileWindow(path);
        ui().click("Import_Other_Log");
        const QPointer<logs::OtherLogDialog> window = m_app->window->importTab()->otherLogWindow();
        const bool read = QTest::qWaitFor([&] { return !window || !window->isReading(); }, 20000);
        return read && window && window->isVisible() ? window.get() : nullptr;
    }

    // Waits until the window has read every change of its layout.
    static bool settled(const logs::OtherLogDialog& window)
    {
        return QTest::qWaitFor([&] { return !window.isReading(); }, 20000);
    }

    std::unique_ptr<test::AppUnderTest> m_app;
};

QTEST_MAIN(TstOtherLog)
#include "tst_otherlog.moc"
