#include "AppUnderTest.h"
#include "acquisition/SerialDownload.h"
#include "acquisition/widgets/LoadDataFile.h"
#include "app/ImportTab.h"
#include "import/LogParser.h"
#include "import/widgets/HeaderPanel.h"
#include "import/widgets/RawTextView.h"
#include "loggen/LogWriter.h"
#include "loggen/SurveyProfile.h"
#include "loggen/VehicleGenerator.h"
#include "signsim/FdWriter.h"
#include "signsim/PtyPair.h"
#include "survey/SurveyRecord.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include <optional>

using namespace pelmor;

namespace {

QByteArray surveyLog(qint64 vehicles)
{
    loggen::LogHeader header;
    header.startDate = QDate(2026, 3, 26);
    header.startHour = 7;
    header.startMinute = 45;
    header.locationCode = QStringLiteral("00777");
    header.postedLimit = QStringLiteral("025");
    loggen::SurveyProfile profile = loggen::profileForHeader(header);
    profile.durationSeconds = 7 * 24 * 3600;
    profile.exactCount = vehicles;
    return loggen::writeLog(header, loggen::generateVehicles(profile));
}

const QStringList kHeaderFields = {"Input_Batch_Number", "Input_Location_Code", "Input_Batch_Date",
                                   "Input_Start_Time",   "Input_Posted_Speed",  "Input_Cutoff_Set",
                                   "Input_Alarm_Set"};

} // namespace

// The import tab with the sign on a pseudo-terminal as serial port 1; every
// other port number names a device that is not there.
class TstImportTab : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        QString error;
        m_pty = signsim::PtyPair::open(&error);
        QVERIFY2(m_pty, qPrintable(error));
        m_ports.clear();
        m_app = std::make_unique<test::AppUnderTest>();
        m_app->state.portDevice = [this](int number) {
            m_ports.append(number);
            return number == 1 && m_pty ? m_pty->slavePath()
                                        : QStringLiteral("/dev/no-such-port-%1").arg(number);
        };
    }
    void cleanup() { m_app.reset(); }
    void downloadFromTheSign()
    {
        app::MainWindow& window = m_app->start();
        ui().click("PortOK");
        QVERIFY(m_app->messages.shown().empty());
        QCOMPARE(m_ports, QList<int>{1});
        QCOMPARE(ui().text("PortStatus"), QStringLiteral("Communication Port #1 Open For Download"));
        QCOMPARE(window.importTab()->step(), app::ImportStep::Downloading);

        // The sign sends in bursts; each read appends what has arrived, whole.
        const QByteArray log = surveyLog(30000);
        QVERIFY(log.size() > 300 * 1024);
        QByteArray& buffer = m_app->state.downloadBuffer;
        QList<qsizetype> sizes;
        connect(&window.importTab()->serial(), &acquisition::SerialDownload::blockReceived, this,
                [&] { sizes.append(buffer.size()); });
        for (qsizetype sent = 0; sent < log.size();) {
            const QByteArray burst = log.mid(sent, 512 + (sent / 512 % 7) * 400);
            QVERIFY(send(burst));
            sent += burst.size();
            QTRY_COMPARE_WITH_TIMEOUT(buffer.size(), sent, 5000);
        }
        QCOMPARE(buffer, log);
        QVERIFY(sizes.size() > 100);
        QVERIFY(std::adjacent_find(sizes.begin(), sizes.end(), std::greater_equal<>()) == sizes.end());
        // The counter started at 1 and counts one per read.
        QCOMPARE(ui().text("BlockCount"), QString::number(1 + sizes.size()));

        ui().click("ProcessImportedData");
        QVERIFY(!window.importTab()->serial().isOpen());
        QCOMPARE(ui().text("BlockCount"), QStringLiteral("0"));
        QCOMPARE(window.importTab()->step(), app::ImportStep::Processed);
        QByteArray marked = log;
        QVERIFY(import::markEnd(marked));
        QCOMPARE(buffer, marked);
        QCOMPARE(ui().child<import::RawTextView>("RawText")->text(), marked);
        QCOMPARE(headerFields(),
                 (QStringList{"032626-A", "00777", "03/26/2026", "07:45", "025", "080", "045"}));

        // Characters the sign sends after processing are lost.
        QVERIFY(send("99,+,99,"));
        QTest::qWait(150);
        QCOMPARE(buffer, marked);
    }
    void returningToThePortChoice()
    {
        app::MainWindow& window = m_app->start();
        ui().click("PortOK");
        QVERIFY(send(surveyLog(50)));
        QTRY_VERIFY(m_app->state.downloadBuffer.size() > 500);
        ui().click("ProcessImportedData");
        const QByteArray processed = m_app->state.downloadBuffer;
        // Opening the port again empties what waited on the line meanwhile.
        QVERIFY(send("stale"));

        ui().click("DownloadAnother");
        QCOMPARE(window.importTab()->step(), app::ImportStep::ChoosingPortAgain);
        QCOMPARE(ui().text("BlockCount"), QStringLiteral("0"));
        QCOMPARE(headerFields(), QStringList(kHeaderFields.size(), QString()));
        QVERIFY(window.importTab()->serial().isOpen());
        QCOMPARE(ui().text("PortStatus"), QStringLiteral("Communication Port #1 Open For Download"));
        QCOMPARE(m_ports, (QList<int>{1, 1}));
        // The buffer is kept, and what the sign sends now is added to it.
        QVERIFY(send("more"));
        QTRY_COMPARE(m_app->state.downloadBuffer, processed + "more");

        ui().click("Reset");
        QCOMPARE(window.importTab()->step(), app::ImportStep::ChoosingPort);
        QCOMPARE(m_ports, (QList<int>{1, 1, 1}));
        QVERIFY(m_app->messages.shown().empty());

        // A port that cannot be opened again is reported; the program goes on.
        m_pty.reset();
        ui().click("Reset");
        QCOMPARE(m_app->messages.shown().size(), size_t(1));
        QVERIFY(m_app->messages.last().contains(QStringLiteral("could not be opened")));
        QCOMPARE(window.importTab()->step(), app::ImportStep::ChoosingPort);
    }
    void unavailablePort()
    {
        app::MainWindow& window = m_app->start();
        m_app->state.downloadBuffer = "an earlier download";
        ui().child<QRadioButton>("CommPort2")->setChecked(true);
        ui().click("PortOK");
        QCOMPARE(m_app->messages.texts(),
                 QStringList{QStringLiteral("Port locked or unavailable, select another port")});
        QVERIFY(m_app->state.downloadBuffer.isEmpty());
        QCOMPARE(window.importTab()->step(), app::ImportStep::ChoosingPortAgain);

        // "Other serial port" without a device is no choice at all.
        ui().child<QRadioButton>("CommPortOther")->setChecked(true);
        ui().click("PortOK");
        QCOMPARE(m_app->messages.shown().size(), size_t(2));

        // Neither is a device that is not a serial port.
        ui().child<QComboBox>("CommPortDevice")->setEditText(QStringLiteral("/dev/null"));
        ui().click("PortOK");
        QCOMPARE(m_app->messages.shown().size(), size_t(3));

        // A device typed by hand opens with the same settings and is named.
        ui().child<QComboBox>("CommPortDevice")->setEditText(m_pty->slavePath());
        ui().click("PortOK");
        QCOMPARE(m_app->messages.shown().size(), size_t(3));
        QCOMPARE(ui().text("PortStatus"),
                 QStringLiteral("Communication Port %1 Open For Download").arg(m_pty->slavePath()));
    }
    void bufferTooShortToProcess()
    {
        app::MainWindow& window = m_app->start();
        ui().click("PortOK");
        QVERIFY(send("12,+,3,"));
        QTRY_COMPARE(m_app->state.downloadBuffer.size(), 7);
        ui().click("ProcessImportedData");
        QCOMPARE(m_app->messages.texts(),
                 QStringList{QStringLiteral(
                     "The downloaded file is corrupt or there is insufficient data to process")});
        // The mark the walk made before it ran out stays.
        QCOMPARE(m_app->state.downloadBuffer, QByteArray("12,*,3,"));
        // The way back to the port choice is open and the status line true.
        QCOMPARE(window.importTab()->step(), app::ImportStep::ProcessingFailed);
        QVERIFY(!window.importTab()->serial().isOpen());
        QCOMPARE(ui().text("PortStatus"), QStringLiteral("Communication Port #1 Closed"));
        QVERIFY(ui().child("Reset")->isEnabled());
        ui().click("Reset");
        QCOMPARE(window.importTab()->step(), app::ImportStep::ChoosingPort);
        QCOMPARE(ui().text("PortStatus"), QStringLiteral("Communication Port #1 Open For Download"));
    }
    void unpluggedSignKeepsTheData()
    {
        m_app->start();
        ui().click("PortOK");
        const QByteArray log = surveyLog(200);
        QVERIFY(send(log));
        QTRY_COMPARE(m_app->state.downloadBuffer.size(), log.size());
        m_pty.reset(); // the adapter is pulled out
        QTRY_COMPARE(m_app->messages.shown().size(), size_t(1));
        QVERIFY(m_app->messages.last().contains(QStringLiteral("was lost")));
        QCOMPARE(m_app->state.downloadBuffer, log);
        ui().click("ProcessImportedData");
        QCOMPARE(ui().text("Input_Batch_Number"), QStringLiteral("032626-A"));
    }
    void loadSaveAndLoadAgain()
    {
        QVERIFY(QFile::copy(QStringLiteral(PELMOR_SAMPLES "/elm-street-2days.rsx"),
                            m_app->folder.filePath(QStringLiteral("elm street.rsx"))));
        app::MainWindow& window = m_app->start();
        acquisition::LoadDataFile& files = window.importTab()->fileWindow();
        ui().click("LoadRadarLogFile");
        QVERIFY(!window.isEnabled() && files.isVisible());
        QCOMPARE(files.fileList()->count(), 1);
        files.fileNameBox()->setText(QStringLiteral("elm street.rsx"));
        files.act();
        QVERIFY(window.isEnabled() && !files.isVisible());
        QCOMPARE(window.importTab()->step(), app::ImportStep::FileLoaded);
        QCOMPARE(ui().text("BlockCount"), QStringLiteral("1")); // loading leaves the counter alone
        QFile sample(m_app->folder.filePath(QStringLiteral("elm street.rsx")));
        QVERIFY(sample.open(QIODevice::ReadOnly));
        QByteArray expected = sample.readAll();
        QVERIFY(import::markEnd(expected));
        QCOMPARE(m_app->state.downloadBuffer, expected);
        const QStringList fields = headerFields();
        QCOMPARE(fields.first(), QStringLiteral("050326-A"));

        // Save it, load the copy: the same buffer (with its line break and two
        // more marks) and the same header.
        ui().click("SaveRawData");
        QVERIFY(!window.isEnabled());
        files.fileNameBox()->setText(QStringLiteral("copy"));
        files.act();
        QVERIFY(window.isEnabled());
        const QByteArray saved = m_app->state.downloadBuffer;
        ui().click("LoadRadarLogFile");
        files.fileNameBox()->setText(QStringLiteral("copy.rsx"));
        files.act();
        expected = saved + "\r\n";
        QVERIFY(import::markEnd(expected));
        QCOMPARE(m_app->state.downloadBuffer, expected);
        QCOMPARE(headerFields(), fields);

        // With no OK since the load, another download opens port 1.
        ui().child<QRadioButton>("CommPort2")->setChecked(true);
        ui().click("DownloadAnother");
        QCOMPARE(m_ports, QList<int>{1});
        QVERIFY(m_app->messages.shown().empty());
    }
    void loadedFileFillsOnlyTheSignsFields_data()
    {
        QTest::addColumn<QByteArray>("content"); // empty: no such file
        QTest::addColumn<QByteArray>("buffer");  // after the load
        QTest::addColumn<QStringList>("fields");
        const QStringList empty{"-A", "", "//20", ":", "", "", ""};
        test::row("unreadable file", QByteArray(), QByteArray(), empty);
        test::row("empty file", QByteArray(""), QByteArray(), empty);
        // A walk that runs out keeps the marks it made.
        test::row("too short to mark", QByteArray("1,+,3,"), QByteArray("1,*,3,"), empty);
    }
    void loadedFileFillsOnlyTheSignsFields()
    {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, buffer);
        QFETCH(QStringList, fields);
        if (!content.isNull()) {
            QFile file(m_app->folder.filePath(QStringLiteral("short.rsx")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        app::MainWindow& window = m_app->start();
        m_app->state.downloadBuffer = "an earlier download";
        // What the user chose and typed stays.
        QTest::keyClicks(ui().child<QLineEdit>("Input_Location"), QStringLiteral("Elm Street"));
        ui().child<QComboBox>("Input_Direction")->setCurrentText(QStringLiteral("West"));
        ui().child<QComboBox>("Input_Zone")->setCurrentText(QStringLiteral("Church"));
        acquisition::LoadDataFile& files = window.importTab()->fileWindow();
        ui().click("LoadRadarLogFile");
        files.fileNameBox()->setText(QStringLiteral("short.rsx"));
        files.act();
        QVERIFY(m_app->messages.shown().empty());
        QCOMPARE(m_app->state.downloadBuffer, buffer);
        QCOMPARE(window.importTab()->step(), app::ImportStep::FileLoaded);
        QCOMPARE(headerFields(), fields);
        QCOMPARE(
            (QStringList{ui().text("Input_Location"), ui().text("Input_Direction"), ui().text("Input_Zone")}),
            (QStringList{"Elm Street", "West", "Church"}));
        QVERIFY(window.isEnabled());
    }
    void stepsShowTheirPanels_data()
    {
        QTest::addColumn<QString>("actions"); // what the user does, in order
        QTest::addColumn<int>("step");
        QTest::addColumn<QStringList>("shown"); // of the panels below; all others are hidden
        using app::ImportStep;
        test::row("at start", "", int(ImportStep::ChoosingPort),
                  QStringList{"PortChoiceFrame", "SavedFileFrame"});
        test::row("port refused", "port 2, OK", int(ImportStep::ChoosingPortAgain),
                  QStringList{"PortChoiceFrame"});
        test::row("downloading", "OK", int(ImportStep::Downloading),
                  QStringList{"ProcessingFrame", "ProgressFrame"});
        test::row("too little to process", "OK, short, process", int(ImportStep::ProcessingFailed),
                  QStringList{"ProcessingFrame", "ProgressFrame", "SaveRawData"});
        test::row("processed", "OK, log, process", int(ImportStep::Processed),
                  QStringList{"RawText", "HeaderFrame", "ModifyHeader", "SaveRawData"});
        test::row("file loaded", "load", int(ImportStep::FileLoaded),
                  QStringList{"SavedFileFrame", "RawText", "HeaderFrame", "ModifyHeader", "SaveRawData"});
        test::row("another after a download", "OK, log, process, another", int(ImportStep::ChoosingPortAgain),
                  QStringList{"PortChoiceFrame"});
        test::row("another after a file", "load, another", int(ImportStep::ChoosingPort),
                  QStringList{"PortChoiceFrame", "SavedFileFrame"});
        test::row("reset after a failed processing", "OK, short, process, reset",
                  int(ImportStep::ChoosingPort), QStringList{"PortChoiceFrame", "SavedFileFrame"});
        test::row("correcting, then another", "load, modify, another", int(ImportStep::ChoosingPort),
                  QStringList{"PortChoiceFrame", "SavedFileFrame"});
    }
    void stepsShowTheirPanels()
    {
        QFETCH(QString, actions);
        QFETCH(int, step);
        QFETCH(QStringList, shown);
        QVERIFY(QFile::copy(QStringLiteral(PELMOR_SAMPLES "/elm-street-2days.rsx"),
                            m_app->folder.filePath(QStringLiteral("elm.rsx"))));
        app::MainWindow& window = m_app->start();
        for (const QString& action : actions.split(QStringLiteral(", "), Qt::SkipEmptyParts)) {
            if (action == QLatin1String("port 2")) {
                ui().child<QRadioButton>("CommPort2")->setChecked(true);
            } else if (action == QLatin1String("OK")) {
                ui().click("PortOK");
            } else if (action == QLatin1String("short") || action == QLatin1String("log")) {
                const QByteArray bytes =
                    action == QLatin1String("log") ? surveyLog(40) : QByteArray("1,+,3,");
                QVERIFY(send(bytes));
                QTRY_COMPARE(m_app->state.downloadBuffer.size(), bytes.size());
            } else if (action == QLatin1String("process")) {
                ui().click("ProcessImportedData");
            } else if (action == QLatin1String("load")) {
                ui().click("LoadRadarLogFile");
                window.importTab()->fileWindow().fileNameBox()->setText(QStringLiteral("elm.rsx"));
                window.importTab()->fileWindow().act();
            } else if (action == QLatin1String("another")) {
                ui().click("DownloadAnother");
            } else if (action == QLatin1String("reset")) {
                ui().click("Reset");
            } else if (action == QLatin1String("modify")) {
                ui().click("ModifyHeader");
                QVERIFY(ui().visible("CorrectionFrame"));
            }
        }
        QCOMPARE(int(window.importTab()->step()), step);
        QStringList visible;
        for (const char* panel :
             {"PortChoiceFrame", "SavedFileFrame", "ProcessingFrame", "ProgressFrame", "RawText",
              "HeaderFrame", "ModifyHeader", "CorrectionFrame", "SaveRawData"}) {
            if (ui().visible(QLatin1String(panel)))
                visible << QLatin1String(panel);
        }
        QCOMPARE(visible, shown);
        // The header panel draws the eye whenever it is up.
        QCOMPARE(window.importTab()->headerPanel().isHighlightVisible(), shown.contains("HeaderFrame"));
    }
    void importThroughTheWindow()
    {
        QVERIFY(QFile::copy(QStringLiteral(PELMOR_SAMPLES "/elm-street-2days.rsx"),
                            m_app->folder.filePath(QStringLiteral("elm.rsx"))));
        app::MainWindow& window = m_app->start();
        acquisition::LoadDataFile& files = window.importTab()->fileWindow();
        ui().click("LoadRadarLogFile");
        files.fileNameBox()->setText(QStringLiteral("elm.rsx"));
        files.act();

        // The typed fields are checked before anything is stored.
        ui().click("ProcessToDatabase");
        QCOMPARE(m_app->messages.texts(), QStringList{"You must input a valid location!"});
        QTest::keyClicks(ui().child<QLineEdit>("Input_Location"), QStringLiteral("Elm Street at 5th"));
        ui().child<QComboBox>("Input_Direction")->setCurrentText(QStringLiteral("North East"));
        ui().child<QComboBox>("Input_Zone")->setCurrentText(QStringLiteral("Parks & Rec"));
        ui().child<QComboBox>("Combo1")->setCurrentText(QStringLiteral("KPH"));
        ui().click("ProcessToDatabase");
        QCOMPARE(m_app->messages.last(), QStringLiteral("2947 records added"));
        // The survey is stored with its statistics; the unit stays
        // preselected for the next import.
        const survey::SurveyRecord stored = survey::loadSurvey(m_app->folder.database(), "050326-A");
        QCOMPARE(
            (QStringList{stored.header.location, stored.summary.totalVehicles, stored.summary.postedLimit}),
            (QStringList{"Elm Street at 5th", "2947", "035"}));
        m_app->window.reset();
        m_app->start();
        QCOMPARE(ui().text("Combo1"), QStringLiteral("KPH"));
    }
    void correctingTheHeader()
    {
        m_app->start();
        m_app->state.downloadBuffer = surveyLog(20);
        ui().child("ProcessingFrame")->show();
        ui().click("ProcessImportedData");
        ui().click("ModifyHeader");
        QVERIFY(ui().visible("CorrectionFrame"));
        ui().child<QLineEdit>("Correction0")
            ->setText(QStringLiteral("13/45/2026")); // taken as typed, checked on import
        ui().child<QLineEdit>("Correction2")->setText(QStringLiteral("999999-Q"));
        ui().child<QLineEdit>("Correction4")->setText(QStringLiteral("045"));
        ui().click("ApplyChanges");
        QVERIFY(!ui().visible("CorrectionFrame"));
        // An empty box leaves its field.
        QCOMPARE(headerFields(),
                 (QStringList{"999999-Q", "00777", "13/45/2026", "07:45", "045", "080", "045"}));

        // Opening again starts from empty boxes; applying them changes nothing.
        ui().click("ModifyHeader");
        QVERIFY(ui().child<QLineEdit>("Correction2")->text().isEmpty());
        ui().click("ApplyChanges");
        QCOMPARE(ui().text("Input_Batch_Number"), QStringLiteral("999999-Q"));
        // A trailer letter rebuilds the batch number from the sign's date.
        Q_EMIT ui().child<QComboBox>("Trailer_code")->textActivated(QStringLiteral("A"));
        QCOMPARE(ui().text("Input_Batch_Number"), QStringLiteral("032626-A"));
    }

private:
    const test::WindowProbe& ui() const { return m_app->ui; }
    QStringList headerFields() const
    {
        QStringList texts;
        for (const QString& name : kHeaderFields)
            texts << ui().text(name);
        return texts;
    }
    bool send(const QByteArray& bytes)
    {
        QString error;
        return signsim::writeAll(m_pty->master(), bytes.constData(), bytes.size(), &error, 0);
    }

    std::optional<signsim::PtyPair> m_pty;
    QList<int> m_ports;
    std::unique_ptr<test::AppUnderTest> m_app;
};
QTEST_MAIN(TstImportTab)
#include "tst_importtab.moc"
