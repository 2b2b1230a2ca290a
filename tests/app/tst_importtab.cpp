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
#include <QTest>

#include <optional>

using namespace pelmor;

namespace {

// A week's log of the sign at location 00777, limit 025, from 03/26/2026 07:45.
QByteArray surveyLog(qint64 vehicles)
{
    loggen::LogHeader header;
    header.startDate = QDate(2026, 3, 26);
    header.startHour = 7;
    header.startMinute = 45;
    header.locationCode = "00777";
    header.postedLimit = "025";
    loggen::SurveyProfile profile = loggen::profileForHeader(header);
    profile.durationSeconds = 7 * 24 * 3600;
    profile.exactCount = vehicles;
    return loggen::writeLog(header, loggen::generateVehicles(profile));
}

const QString kOpen = "Communication Port #1 Open For Download";

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
        QVERIFY(QFile::copy(PELMOR_SAMPLES "/elm-street-2days.rsx", m_app->folder.filePath("elm.rsx")));
    }
    void cleanup() { m_app.reset(); }
    void downloadFromTheSign()
    {
        app::MainWindow& window = m_app->start();
        ui().click("PortOK");
        QVERIFY(m_app->messages.shown().empty());
        QCOMPARE(m_ports, QList<int>{1});
        QCOMPARE(ui().text("PortStatus"), kOpen);

        // The sign sends in bursts; each read appends what has arrived, whole.
        const QByteArray log = surveyLog(30000);
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
        QVERIFY(std::adjacent_find(sizes.begin(), sizes.end(), std::greater_equal<>()) == sizes.end());
        // The counter started at 1 and counts one per read.
        QCOMPARE(ui().text("BlockCount"), QString::number(1 + sizes.size()));

        ui().click("ProcessImportedData");
        QVERIFY(!window.importTab()->serial().isOpen());
        QCOMPARE(ui().text("BlockCount"), "0");
        QByteArray marked = log;
        QVERIFY(import::markEnd(marked));
        QCOMPARE(buffer, marked);
        QCOMPARE(ui().child<import::RawTextView>("RawText")->text(), marked);
        QCOMPARE(headerFields(), "032626-A 00777 03/26/2026 07:45 025 080 045");

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
        QCOMPARE(ui().text("BlockCount"), "0");
        QCOMPARE(headerFields(), "      ");
        QVERIFY(window.importTab()->serial().isOpen());
        QCOMPARE(ui().text("PortStatus"), kOpen);
        QCOMPARE(m_ports, (QList<int>{1, 1}));
        // The buffer is kept, and what the sign sends now is added to it.
        QVERIFY(send("more"));
        QTRY_COMPARE(m_app->state.downloadBuffer, processed + "more");
        QVERIFY(m_app->messages.shown().empty());

        // The adapter pulled out: said so, and what came is kept.
        m_pty.reset();
        QTRY_COMPARE(m_app->messages.shown().size(), size_t(1));
        QVERIFY(m_app->messages.last().contains("was lost"));
        QCOMPARE(m_app->state.downloadBuffer, processed + "more");
        // Reset opens port 1 again; one that cannot be opened is reported,
        // and the program goes on.
        const qsizetype asked = m_ports.size();
        ui().click("Reset");
        QVERIFY(m_ports.size() > asked);
        QCOMPARE(m_app->messages.shown().size(), size_t(2));
        QVERIFY(m_app->messages.last().contains("could not be opened"));
        QCOMPARE(window.importTab()->step(), app::ImportStep::ChoosingPort);
    }
    void unavailablePort()
    {
        m_app->start();
        m_app->state.downloadBuffer = "an earlier download";
        ui().child<QRadioButton>("CommPort2")->setChecked(true);
        ui().click("PortOK");
        QCOMPARE(m_app->messages.texts(), QStringList{"Port locked or unavailable, select another port"});
        QVERIFY(m_app->state.downloadBuffer.isEmpty());
        // "Other serial port" without a device is no choice at all, nor is a
        // device that is not a serial port.
        ui().child<QRadioButton>("CommPortOther")->setChecked(true);
        auto* device = ui().child<QComboBox>("CommPortDevice");
        for (const QString& typed : {QString(), QStringLiteral("/dev/null")}) {
            device->setEditText(typed);
            ui().click("PortOK");
        }
        QCOMPARE(m_app->messages.shown().size(), size_t(3));
        // A device typed by hand opens with the same settings and is named.
        device->setEditText(m_pty->slavePath());
        ui().click("PortOK");
        QCOMPARE(m_app->messages.shown().size(), size_t(3));
        QCOMPARE(ui().text("PortStatus"),
                 QStringLiteral("Communication Port %1 Open For Download").arg(m_pty->slavePath()));
    }
    void loadSaveAndLoadAgain()
    {
        app::MainWindow& window = m_app->start();
        ui().click("LoadRadarLogFile");
        QVERIFY(!window.isEnabled() && window.importTab()->fileWindow().isVisible());
        QCOMPARE(window.importTab()->fileWindow().fileList()->count(), 1);
        loadFile("elm.rsx");
        QVERIFY(window.isEnabled() && !window.importTab()->fileWindow().isVisible());
        QCOMPARE(ui().text("BlockCount"), "1"); // loading leaves the counter alone
        QFile sample(m_app->folder.filePath("elm.rsx"));
        QVERIFY(sample.open(QIODevice::ReadOnly));
        QByteArray expected = sample.readAll();
        QVERIFY(import::markEnd(expected));
        QCOMPARE(m_app->state.downloadBuffer, expected);
        const QString fields = headerFields();
        QVERIFY(fields.startsWith("050326-A "));

        // Save it, load the copy: the same buffer (with its line break and two
        // more marks) and the same header.
        ui().click("SaveRawData");
        QVERIFY(!window.isEnabled());
        window.importTab()->fileWindow().fileNameBox()->setText("copy");
        window.importTab()->fileWindow().act();
        QVERIFY(window.isEnabled());
        expected = m_app->state.downloadBuffer + "\r\n";
        QVERIFY(import::markEnd(expected));
        loadFile("copy.rsx");
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
        test::row("unreadable file", QByteArray(), QByteArray());
        test::row("empty file", QByteArray(""), QByteArray());
        // A walk that runs out keeps the marks it made.
        test::row("too short to mark", QByteArray("1,+,3,"), QByteArray("1,*,3,"));
    }
    void loadedFileFillsOnlyTheSignsFields()
    {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, buffer);
        QFile file(m_app->folder.filePath("short.rsx"));
        QVERIFY(content.isNull() ||
                (file.open(QIODevice::WriteOnly) && file.write(content) == content.size()));
        file.close();
        app::MainWindow& window = m_app->start();
        m_app->state.downloadBuffer = "an earlier download";
        // What the user chose and typed stays.
        QTest::keyClicks(ui().child<QLineEdit>("Input_Location"), "Elm Street");
        ui().child<QComboBox>("Input_Direction")->setCurrentText("West");
        ui().child<QComboBox>("Input_Zone")->setCurrentText("Church");
        loadFile("short.rsx");
        QVERIFY(m_app->messages.shown().empty());
        QCOMPARE(m_app->state.downloadBuffer, buffer);
        QCOMPARE(window.importTab()->step(), app::ImportStep::FileLoaded);
        QCOMPARE(headerFields(), "-A  //20 :   ");
        QCOMPARE(
            (QStringList{ui().text("Input_Location"), ui().text("Input_Direction"), ui().text("Input_Zone")}),
            (QStringList{"Elm Street", "West", "Church"}));
        QVERIFY(window.isEnabled());
    }
    void stepsShowTheirPanels_data()
    {
        QTest::addColumn<QString>("actions"); // what the user does, in order
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("shown");  // of the panels below; all others are hidden
        QTest::addColumn<QString>("status"); // the port's status line; empty: not checked
        using app::ImportStep;
        test::row("at start", "", int(ImportStep::ChoosingPort), "PortChoiceFrame SavedFileFrame", "");
        test::row("port refused", "port 2, OK", int(ImportStep::ChoosingPortAgain), "PortChoiceFrame", "");
        test::row("downloading", "OK", int(ImportStep::Downloading), "ProcessingFrame ProgressFrame", kOpen);
        // The port is closed, the status line says so, the way back is open.
        test::row("too little to process", "OK, short, process", int(ImportStep::ProcessingFailed),
                  "ProcessingFrame ProgressFrame SaveRawData", "Communication Port #1 Closed");
        test::row("processed", "OK, log, process", int(ImportStep::Processed),
                  "RawText HeaderFrame ModifyHeader SaveRawData", "");
        test::row("file loaded", "load", int(ImportStep::FileLoaded),
                  "SavedFileFrame RawText HeaderFrame ModifyHeader SaveRawData", "");
        test::row("another after a download", "OK, log, process, another", int(ImportStep::ChoosingPortAgain),
                  "PortChoiceFrame", "");
        test::row("another after a file", "load, another", int(ImportStep::ChoosingPort),
                  "PortChoiceFrame SavedFileFrame", "");
        test::row("reset after a failed processing", "OK, short, process, reset",
                  int(ImportStep::ChoosingPort), "PortChoiceFrame SavedFileFrame", kOpen);
        test::row("correcting, then another", "load, modify, another", int(ImportStep::ChoosingPort),
                  "PortChoiceFrame SavedFileFrame", "");
    }
    void stepsShowTheirPanels()
    {
        QFETCH(QString, actions);
        QFETCH(int, step);
        QFETCH(QString, shown);
        QFETCH(QString, status);
        app::MainWindow& window = m_app->start();
        const QHash<QString, QString> buttons = {{"OK", "PortOK"},
                                                 {"process", "ProcessImportedData"},
                                                 {"another", "DownloadAnother"},
                                                 {"reset", "Reset"},
                                                 {"modify", "ModifyHeader"}};
        for (const QString& action : actions.split(", ", Qt::SkipEmptyParts)) {
            if (buttons.contains(action)) {
                ui().click(buttons[action]);
            } else if (action == "port 2") {
                ui().child<QRadioButton>("CommPort2")->setChecked(true);
            } else if (action == "load") {
                loadFile("elm.rsx");
            } else {
                const QByteArray bytes = action == "log" ? surveyLog(40) : QByteArray("1,+,3,");
                QVERIFY(send(bytes));
                QTRY_COMPARE(m_app->state.downloadBuffer.size(), bytes.size());
            }
            QVERIFY(action != "modify" || ui().visible("CorrectionFrame"));
            if (action == "process" && actions.contains("short")) {
                // The mark the walk made before it ran out stays.
                QCOMPARE(
                    m_app->messages.texts(),
                    QStringList{"The downloaded file is corrupt or there is insufficient data to process"});
                QCOMPARE(m_app->state.downloadBuffer, "1,*,3,");
                QVERIFY(!window.importTab()->serial().isOpen() && ui().child("Reset")->isEnabled());
            }
        }
        QCOMPARE(int(window.importTab()->step()), step);
        if (!status.isEmpty())
            QCOMPARE(ui().text("PortStatus"), status);
        QStringList visible;
        for (const char* panel :
             {"PortChoiceFrame", "SavedFileFrame", "ProcessingFrame", "ProgressFrame", "RawText",
              "HeaderFrame", "ModifyHeader", "CorrectionFrame", "SaveRawData"}) {
            if (ui().visible(panel))
                visible << panel;
        }
        QCOMPARE(visible.join(' '), shown);
        // The header panel draws the eye whenever it is up.
        QCOMPARE(window.importTab()->headerPanel().isHighlightVisible(), shown.contains("HeaderFrame"));
    }
    void importThroughTheWindow()
    {
        m_app->start();
        loadFile("elm.rsx");
        // The typed fields are checked before anything is stored.
        ui().click("ProcessToDatabase");
        QCOMPARE(m_app->messages.texts(), QStringList{"You must input a valid location!"});
        QTest::keyClicks(ui().child<QLineEdit>("Input_Location"), "Elm Street at 5th");
        ui().child<QComboBox>("Input_Direction")->setCurrentText("North East");
        ui().child<QComboBox>("Input_Zone")->setCurrentText("Parks & Rec");
        ui().child<QComboBox>("Combo1")->setCurrentText("KPH");
        ui().click("ProcessToDatabase");
        QCOMPARE(m_app->messages.last(), "2947 records added");
        // The survey is stored with its statistics; the unit stays
        // preselected for the next import.
        const survey::SurveyRecord stored = survey::loadSurvey(m_app->folder.database(), "050326-A");
        QCOMPARE((QStringList{stored.header.location, stored.header.direction, stored.header.zone,
                              stored.summary.totalVehicles}),
                 (QStringList{"Elm Street at 5th", "North East", "Parks & Rec", "2947"}));
        m_app->window.reset();
        m_app->start();
        QCOMPARE(ui().text("Combo1"), "KPH");
    }
    void correctingTheHeader()
    {
        m_app->start();
        m_app->state.downloadBuffer = surveyLog(20);
        ui().child("ProcessingFrame")->show();
        ui().click("ProcessImportedData");
        ui().click("ModifyHeader");
        QVERIFY(ui().visible("CorrectionFrame"));
        ui().child<QLineEdit>("Correction0")->setText("13/45/2026"); // taken as typed, checked on import
        ui().child<QLineEdit>("Correction2")->setText("999999-Q");
        ui().child<QLineEdit>("Correction4")->setText("045");
        ui().click("ApplyChanges");
        QVERIFY(!ui().visible("CorrectionFrame"));
        // An empty box leaves its field.
        QCOMPARE(headerFields(), "999999-Q 00777 13/45/2026 07:45 045 080 045");
        // Opening again starts from empty boxes; applying them changes nothing.
        ui().click("ModifyHeader");
        QVERIFY(ui().child<QLineEdit>("Correction2")->text().isEmpty());
        ui().click("ApplyChanges");
        QCOMPARE(ui().text("Input_Batch_Number"), "999999-Q");
        // A trailer letter rebuilds the batch number from the sign's date.
        Q_EMIT ui().child<QComboBox>("Trailer_code")->textActivated("A");
        QCOMPARE(ui().text("Input_Batch_Number"), "032626-A");
    }

private:
    const test::WindowProbe& ui() const { return m_app->ui; }
    // The fields read from the sign's header, apart by blanks.
    QString headerFields() const
    {
        QStringList texts;
        for (const char* name :
             {"Input_Batch_Number", "Input_Location_Code", "Input_Batch_Date", "Input_Start_Time",
              "Input_Posted_Speed", "Input_Cutoff_Set", "Input_Alarm_Set"})
            texts << ui().text(name);
        return texts.join(' ');
    }
    // Loads a saved download of the program folder as the user does.
    void loadFile(const QString& name)
    {
        ui().click("LoadRadarLogFile");
        m_app->window->importTab()->fileWindow().fileNameBox()->setText(name);
        m_app->window->importTab()->fileWindow().act();
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
