#include "AppUnderTest.h"
#include "SurveyFixture.h"
#include "acquisition/SerialDownload.h"
#include "acquisition/widgets/LoadDataFile.h"
#include "app/DatabaseChoiceWindow.h"
#include "app/GraphsTab.h"
#include "app/ImportTab.h"
#include "app/ProgramWindows.h"
#include "app/ReportsTab.h"
#include "db/Connection.h"
#include "import/LogParser.h"
#include "import/UnitPreference.h"
#include "import/widgets/HeaderPanel.h"
#include "import/widgets/RawTextView.h"
#include "loggen/LogWriter.h"
#include "loggen/SurveyProfile.h"
#include "loggen/VehicleGenerator.h"
#include "maintenance/widgets/DeletionWindow.h"
#include "maintenance/widgets/MaintenanceWindow.h"
#include "signsim/FdWriter.h"
#include "signsim/PtyPair.h"
#include "store/SurveyStore.h"
#include "survey/SurveyRecord.h"
#include "ui/MessageBoxes.h"
#include "worker/widgets/ProgressStrip.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <optional>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace pelmor;

namespace {

// A week's log of the sign at location 00777, limit 025, from 03/26/2026 07:45.
QByteArray surveyLog(qint64 vehicles, const QString& unit = "MPH")
{
    loggen::LogHeader header;
    header.unit = unit;
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

// While it lives, this thread lacks root's rights to pass over file
// permissions, as an officer does; lowered() is false when that failed.
class WithoutOverridingRights {
public:
    WithoutOverridingRights()
    {
        if (syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct lowered[2] = {m_saved[0], m_saved[1]};
        for (const int right : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
            lowered[right / 32].effective &= ~(1u << (right % 32));
        m_lowered = syscall(SYS_capset, &m_header, lowered) == 0;
    }
    ~WithoutOverridingRights()
    {
        if (m_lowered)
            syscall(SYS_capset, &m_header, m_saved);
    }
    WithoutOverridingRights(const WithoutOverridingRights&) = delete;
    WithoutOverridingRights& operator=(const WithoutOverridingRights&) = delete;
    bool lowered() const { return m_lowered || geteuid() != 0; }

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2] = {};
    bool m_lowered = false;
};

// Answers each question as a user who presses Enter: the real box, shown,
// and Enter on it; `answered` gets the button that answered, "" when none did.
class EnterMessages : public test::RecordingMessages {
public:
    using Messages::ask;
    Answer ask(const QString& text, const QString& title, Buttons buttons, Icon icon,
               const QString& details) override
    {
        RecordingMessages::ask(text, title, buttons, icon, details);
        const auto box = ui::MessageBoxes::makeBox(text, title, buttons, icon, details, nullptr);
        box->show();
        QTest::keyClick(box->focusWidget() ? box->focusWidget() : box.get(), Qt::Key_Return);
        const QMessageBox::StandardButton clicked = box->standardButton(box->clickedButton());
        if (buttons != Buttons::Ok)
            answered << (box->clickedButton() ? box->clickedButton()->text().remove('&') : QString());
        return clicked == QMessageBox::Yes  ? Answer::Yes
               : clicked == QMessageBox::Ok ? Answer::Ok
               : clicked == QMessageBox::No ? Answer::No
                                            : Answer::Cancel;
    }
    QStringList answered;
};

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
        // The instructions name the buttons the download goes on with.
        QCOMPARE(buttonsNamedNotShown(ui().text("DownloadInstructions"), false), QStringList());

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
    // A sign or a cable that sends without end fills the download to the
    // largest one and no further: the port is closed and the user told.
    void endlessSendingIsStopped()
    {
        app::MainWindow& window = m_app->start();
        ui().click("PortOK");
        acquisition::SerialDownload& serial = window.importTab()->serial();
        const qsizetype largest = 64 * 1024;
        serial.setLargestDownload(largest);
        const QByteArray burst(4000, '7');
        for (qsizetype sent = 0; sent <= largest;) {
            QVERIFY(send(burst));
            sent += burst.size();
            QTRY_COMPARE_WITH_TIMEOUT(m_app->state.downloadBuffer.size(), std::min(sent, largest), 5000);
        }
        QVERIFY(!serial.isOpen());
        QCOMPARE(ui().text("PortStatus"), "Communication Port #1 Closed: more came than a download holds");
        QCOMPARE(
            m_app->messages.texts(),
            QStringList{"The download from the sign on port #1 was stopped: it holds more than the 64.0 kB "
                        "of the largest download the program takes (about 3,000 vehicles). The sign or its "
                        "cable may be sending without end. The port is closed and the data received so "
                        "far is kept.\n\nCheck the sign and its cable, then press \"R E S E T\" to start "
                        "the download again."});
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

        // Leaving the download asks first; Yes lets it go.
        m_app->messages.script(ui::Messages::Answer::Yes);
        ui().click("DownloadAnother");
        QCOMPARE(ui().text("BlockCount"), "0");
        QCOMPARE(headerFields(), "      ");
        QVERIFY(window.importTab()->serial().isOpen());
        QCOMPARE(ui().text("PortStatus"), kOpen);
        QCOMPARE(m_ports, (QList<int>{1, 1}));
        // The buffer is kept, and what the sign sends now is added to it and
        // shows as a download.
        QVERIFY(send("more"));
        QTRY_COMPARE(m_app->state.downloadBuffer, processed + "more");
        QCOMPARE(window.importTab()->step(), app::ImportStep::Downloading);
        m_app->messages.script(ui::Messages::Answer::Yes);
        ui().click("Reset");
        QCOMPARE(m_app->messages.shown().size(), size_t(2));

        // The adapter pulled out at the port choice: said so, naming only
        // buttons on show, and what came is kept.
        m_pty.reset();
        QTRY_COMPARE(m_app->messages.shown().size(), size_t(3));
        QVERIFY(m_app->messages.last().contains("was lost"));
        QCOMPARE(buttonsNamedNotShown(m_app->messages.last()), QStringList());
        QCOMPARE(m_app->state.downloadBuffer, processed + "more");
        // Another download opens port 1 again; one that cannot be opened is
        // reported, and the program goes on.
        loadFile("elm.rsx");
        const qsizetype asked = m_ports.size();
        ui().click("DownloadAnother");
        QVERIFY(m_ports.size() > asked);
        QCOMPARE(m_app->messages.shown().size(), size_t(4));
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

        // A port this user may not open says so, and how to get the right.
        ui().click("Reset");
        QVERIFY(QFile::setPermissions(m_pty->slavePath(), {}));
        const WithoutOverridingRights asOfficer;
        if (!asOfficer.lowered())
            QSKIP("Run as root, and the rights that pass over a file's permissions cannot be laid down");
        ui().click("PortOK");
        QCOMPARE(m_app->messages.shown().size(), size_t(4));
        const QString told = m_app->messages.last();
        QVERIFY2(told.contains(
                     QStringLiteral("has no right to open the serial port %1").arg(m_pty->slavePath())) &&
                     told.contains("then log out and log in again"),
                 qPrintable(told));
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
        QByteArray expected = test::fileBytes(m_app->folder.filePath("elm.rsx"));
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
    // A download loaded over another starts with an empty location,
    // direction and zone: it must not be stored under the other's street.
    void loadedFileStartsAFreshHeader_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: no such file
        QTest::addColumn<QByteArray>("buffer");  // after the load; null: the one before
        QTest::addColumn<QString>("fields");     // the sign's fields after the load
        const QByteArray otherPlace = test::fileBytes(PELMOR_SAMPLES "/elm-street-2days.rsx")
                                          .replace("SITE CODE 00415", "SITE CODE 00416");
        test::row("another location's download", otherPlace, QByteArray(),
                  QString("050326-A 00416 05/03/2026 07:00 035 080 045"));
        // A walk that runs out keeps the marks it made.
        test::row("too short to mark", QByteArray("1,+,3,"), QByteArray("1,*,3,"), QString("-A  //20 :   "));
        // A name that is not there loads nothing: what was on hand stays.
        test::row("no such file", QByteArray(), QByteArray(),
                  QString("050326-A 00415 05/03/2026 07:00 035 080 045"));
    }
    void loadedFileStartsAFreshHeader()
    {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, buffer);
        QFETCH(QString, fields);
        const bool loaded = !content.isNull();
        QVERIFY(!loaded || test::writeFile(m_app->folder.filePath("other.rsx"), content));
        app::MainWindow& window = m_app->start();
        loadFile("elm.rsx");
        fillInHeader("MPH");
        const QByteArray before = m_app->state.downloadBuffer;
        loadFile("other.rsx");
        QCOMPARE(m_app->messages.shown().size(), size_t(loaded ? 0 : 1));
        if (!buffer.isNull() || !loaded)
            QCOMPARE(m_app->state.downloadBuffer, loaded ? buffer : before);
        QCOMPARE(window.importTab()->step(), app::ImportStep::FileLoaded);
        QCOMPARE(headerFields(), fields);
        QCOMPARE(
            (QStringList{ui().text("Input_Location"), ui().text("Input_Direction"), ui().text("Input_Zone")}),
            (loaded ? QStringList{"", "", ""} : QStringList{"Elm Street", "North", "School"}));
        QCOMPARE(window.isEnabled(), loaded);
        QCOMPARE(window.importTab()->fileWindow().isVisible(), !loaded);
    }
    void stepsShowTheirPanels_data()
    {
        QTest::addColumn<QString>("actions"); // what the user does, in order
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("shown");  // of the panels below; all others are hidden
        QTest::addColumn<QString>("status"); // the port's status line; empty: not checked
        using app::ImportStep;
        // A saved file can be loaded in every step, and the port choice is
        // one button away.
        test::row("at start", "", int(ImportStep::ChoosingPort), "PortChoiceFrame SavedFileFrame", "");
        test::row("port refused", "port 2, OK", int(ImportStep::ChoosingPort),
                  "PortChoiceFrame SavedFileFrame", "");
        test::row("downloading", "OK", int(ImportStep::Downloading),
                  "SavedFileFrame ProcessingFrame ProgressFrame", kOpen);
        // The port is closed, the status line says so, the way back is open.
        test::row("too little to process", "OK, short, process", int(ImportStep::ProcessingFailed),
                  "SavedFileFrame ProcessingFrame ProgressFrame SaveRawData", "Communication Port #1 Closed");
        test::row("nothing received", "OK, process", int(ImportStep::ProcessingFailed),
                  "SavedFileFrame ProcessingFrame ProgressFrame SaveRawData", "Communication Port #1 Closed");
        test::row("processed", "OK, log, process", int(ImportStep::Processed),
                  "SavedFileFrame RawText HeaderFrame ModifyHeader SaveRawData", "");
        test::row("file loaded", "load", int(ImportStep::FileLoaded),
                  "SavedFileFrame RawText HeaderFrame ModifyHeader SaveRawData", "");
        test::row("another after a download", "OK, log, process, yes, another", int(ImportStep::ChoosingPort),
                  "PortChoiceFrame SavedFileFrame", "");
        test::row("another after a file", "load, another", int(ImportStep::ChoosingPort),
                  "PortChoiceFrame SavedFileFrame", "");
        test::row("reset after a failed processing", "OK, short, process, yes, reset",
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
        for (const QString& action : actions.split(", ", Qt::SkipEmptyParts)) {
            QVERIFY2(doOnMain(action), qPrintable(action));
            QVERIFY(action != "modify" || ui().visible("CorrectionFrame"));
            if (action == "process" && actions.contains("short")) {
                // The mark the walk made before it ran out stays.
                QCOMPARE(
                    m_app->messages.texts(),
                    QStringList{"The downloaded file is corrupt or there is insufficient data to process"});
                QCOMPARE(m_app->state.downloadBuffer, "1,*,3,");
                QVERIFY(!window.importTab()->serial().isOpen() && ui().child("Reset")->isEnabled());
            }
            if (action == "process" && actions == "OK, process") {
                // Nothing came: said so, with what to check and do.
                QCOMPARE(m_app->messages.shown().size(), size_t(1));
                QVERIFY2(
                    m_app->messages.last().startsWith("Nothing was received from the sign on port #1.") &&
                        m_app->messages.last().contains("press 7 on the sign's keyboard"),
                    qPrintable(m_app->messages.last()));
                QCOMPARE(buttonsNamedNotShown(m_app->messages.last()), QStringList());
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
        QVERIFY(pressStore());
        QCOMPARE(m_app->messages.texts(), QStringList{"You must input a valid location!"});
        QTest::keyClicks(ui().child<QLineEdit>("Input_Location"), "Elm Street at 5th");
        ui().child<QComboBox>("Input_Direction")->setCurrentText("North East");
        ui().child<QComboBox>("Input_Zone")->setCurrentText("Parks & Rec");
        ui().child<QComboBox>("Combo1")->setCurrentText("KPH");
        // The unit the survey goes in stands beside the button.
        QCOMPARE(ui().text("UnitShown"), "KPH");
        m_app->messages.script(test::RecordingMessages::Answer::Yes); // in KPH, not the MPH it states
        QVERIFY(pressStore());
        QCOMPARE(m_app->messages.last(), "2,947 records added");
        // Said where it went; the same download cannot be stored twice by a
        // second press.
        QCOMPARE(ui().text("StoredNote"), "Stored as survey 050326-A. See View / Print Reports.");
        QVERIFY(ui().visible("StoredNote") && !ui().child("ProcessToDatabase")->isEnabled());
        // Loaded again, under another letter, it is still the survey stored.
        loadFile("elm.rsx");
        QVERIFY(!ui().visible("StoredNote") && ui().child("ProcessToDatabase")->isEnabled());
        fillInHeader("MPH");
        ui().child<QComboBox>("Trailer_code")->setCurrentText("B");
        Q_EMIT ui().child<QComboBox>("Trailer_code")->textActivated("B");
        QVERIFY(pressStore());
        QCOMPARE(m_app->messages.last(), "This download is already stored as survey 050326-A.");
        QVERIFY(!ui().visible("StoredNote"));
        // The survey is stored with its statistics; the unit stays
        // preselected for the next import.
        const survey::SurveyRecord stored =
            store::openStore(m_app->folder.database())->loadSurvey("050326-A");
        QCOMPARE((QStringList{stored.header.location, stored.header.direction, stored.header.zone,
                              stored.summary.totalVehicles}),
                 (QStringList{"Elm Street at 5th", "North East", "Parks & Rec", "2947"}));
        m_app->window.reset();
        m_app->start();
        QCOMPARE(ui().text("Combo1"), "KPH");
    }
    // The unit is remembered in the user's settings after each import; when
    // they cannot be written the survey is stored all the same and the user
    // is told which file could not be written, not left with a stale unit.
    void unrememberedUnitIsTold()
    {
        const QString settings = m_app->folder.filePath("settings");
        QVERIFY(QDir().mkpath(settings));
        m_app->start();
        loadFile("elm.rsx");
        fillInHeader("KPH");
        m_app->messages.script(test::RecordingMessages::Answer::Yes); // in KPH, not the MPH it states
        {
            const test::ReadOnlyFolder readOnly(settings);
            if (!readOnly.isReadOnly())
                QSKIP("this machine cannot make a folder read-only");
            QVERIFY(pressStore());
        }
        const QStringList texts = m_app->messages.texts();
        QVERIFY2(texts.contains("2,947 records added"), qPrintable(texts.join(" / ")));
        QVERIFY2(
            texts.last().startsWith("The unit KPH could not be remembered for the next import: the setting "
                                    "file ") &&
                texts.last().contains(QDir::toNativeSeparators(settings)),
            qPrintable(texts.join(" / ")));
        // Nothing was remembered: the next import is offered in MPH.
        m_app->window.reset();
        m_app->start();
        QCOMPARE(ui().text("Combo1"), "MPH");
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
        const auto labels = ui().child("CorrectionFrame")->findChildren<QLabel*>();
        QVERIFY(std::any_of(labels.begin(), labels.end(),
                            [](QLabel* l) { return l->text() == "Start time format is \"hh:mm\""; }));
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

    void refusalGoesToTheField_data()
    {
        QTest::addColumn<QString>("box");   // the box typed into
        QTest::addColumn<QString>("typed"); // what was typed
        QTest::addColumn<QString>("told");  // the start of the message
        QTest::addColumn<QString>("focus"); // the control the user is sent to
        test::row("location left empty", "Input_Location", "", "You must input a valid location!",
                  "Input_Location");
        test::row("posted limit with a letter O", "Input_Posted_Speed", "3O",
                  "The posted limit \"3O\" is not a whole number.", "Input_Posted_Speed");
        // The fields from the sign are corrected in the correction panel.
        test::row("batch number that shows reversed", "Correction2", "\u202EA-620350",
                  "The batch number holds a hidden direction mark (U+202E)", "Correction2");
        test::row("start time out of the day", "Correction1", "25:70",
                  "The start time \"25:70\" is not a time of day.", "Correction1");
        test::row("start date not a date", "Correction0", "13/45/2026",
                  "The start date \"13/45/2026\" is not a date. Type it as mm/dd/yyyy", "Correction0");
        // Speeds around 38 against a limit of 20 mph: No to storing them as mph.
        test::row("unit not confirmed", "Input_Posted_Speed", "020",
                  "The speeds look like km/h (median 38 against a posted limit of 20).", "Combo1");
    }
    void refusalGoesToTheField()
    {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QString, told);
        QFETCH(QString, focus);
        app::MainWindow& window = m_app->start();
        loadFile("elm.rsx");
        fillInHeader("MPH");
        if (box.startsWith("Correction")) {
            ui().click("ModifyHeader");
            ui().child<QLineEdit>(box)->setText(typed);
            ui().click("ApplyChanges");
        } else {
            ui().child<QLineEdit>(box)->setText(typed);
        }
        ui().child("ProcessToDatabase")->setFocus();
        m_app->messages.script(test::RecordingMessages::Answer::No);
        QVERIFY(pressStore());
        QCOMPARE(m_app->messages.shown().size(), size_t(1));
        QVERIFY2(m_app->messages.last().startsWith(told), qPrintable(m_app->messages.last()));
        QVERIFY(window.focusWidget());
        QCOMPARE(window.focusWidget()->objectName(), focus);
        QCOMPARE(ui().visible("CorrectionFrame"), box.startsWith("Correction"));
        QVERIFY(test::rowTexts(m_app->folder.databasePath(), "select * from Header").isEmpty());
        QVERIFY(ui().child("ProcessToDatabase")->isEnabled());
    }
    // The unit a download states is offered, loaded or received; one that
    // states none is offered in the unit last used. A refused store leaves
    // the unit chosen, and storing in the other unit than the one stated
    // asks first, No the default.
    void unitOfTheDownload_data()
    {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<bool>("fromSign");
        QTest::addColumn<QString>("remembered");
        QTest::addColumn<QString>("offered");
        const QByteArray mph = test::fileBytes(PELMOR_SAMPLES "/elm-street-2days.rsx");
        const QByteArray kmh = QByteArray(mph).replace("Speed Units: MPH", "Speed Units: km/h");
        test::row("km/h file, mph last used", kmh, false, "MPH", "KPH");
        test::row("mph file, km/h last used", mph, false, "KPH", "MPH");
        test::row("file stating no unit", QByteArray(mph).replace("Speed Units: MPH\r\n", ""), false, "KPH",
                  "KPH");
        test::row("KPH from the sign", surveyLog(40, "KPH"), true, "MPH", "KPH");
    }
    void unitOfTheDownload()
    {
        QFETCH(QByteArray, log);
        QFETCH(bool, fromSign);
        QFETCH(QString, remembered);
        QFETCH(QString, offered);
        QSettings().setValue(import::kUnitSetting, remembered);
        m_app->start();
        if (fromSign) {
            ui().click("PortOK");
            QVERIFY(send(log));
            QTRY_COMPARE(m_app->state.downloadBuffer.size(), log.size());
            ui().click("ProcessImportedData");
        } else {
            QVERIFY(test::writeFile(m_app->folder.filePath("unit.rsx"), log));
            loadFile("unit.rsx");
        }
        QCOMPARE(ui().text("Combo1"), offered);
        QCOMPARE(ui().text("UnitShown"), offered);
        // The unit stated stays chosen; for a download stating none the
        // officer chooses the other unit.
        const bool stated = log.contains("Speed Units:");
        const QString other = offered == "MPH" ? "KPH" : "MPH";
        const QString chosen = stated ? offered : other;
        fillInHeader(chosen);
        auto* posted = ui().child<QLineEdit>("Input_Posted_Speed");
        const QString limit = posted->text();
        posted->setText("3O");
        QVERIFY(pressStore());
        QCOMPARE(ui().text("Combo1"), chosen);
        posted->setText(limit);
        if (stated) {
            ui().child<QComboBox>("Combo1")->setCurrentText(other);
            m_app->messages.clear();
            m_app->messages.script(test::RecordingMessages::Answer::No);
            QVERIFY(pressStore());
            QCOMPARE(m_app->messages.shown().size(), size_t(1));
            const auto& question = m_app->messages.shown().front();
            QCOMPARE(question.text, QString("The download states its speeds in %1, but the survey is to be "
                                            "stored in %2: every speed of it would be read as %2. Store this "
                                            "survey in %2 anyway?")
                                        .arg(offered, other));
            QCOMPARE(question.buttons, ui::Messages::Buttons::YesNoDefaultNo);
            QCOMPARE(ui().text("Combo1"), other);
            ui().child<QComboBox>("Combo1")->setCurrentText(chosen);
        }
        QVERIFY(pressStore());
        QVERIFY2(m_app->messages.last().endsWith(" records added"), qPrintable(m_app->messages.last()));
        QCOMPARE(test::rowTexts(m_app->folder.databasePath(), "select * from Header", {"Radar_Mode"}),
                 QStringList{chosen});
    }
    void databaseFailureKeepsTheDownload()
    {
        app::MainWindow& window = m_app->start();
        loadFile("elm.rsx");
        fillInHeader("MPH");
        const QByteArray download = m_app->state.downloadBuffer;
        {
            const test::ReadOnlyFolder readOnly(m_app->folder.path());
            if (!readOnly.isReadOnly())
                QSKIP("this machine cannot make a folder read-only");
            QVERIFY(pressStore());
        }
        // The folder named, the download kept; never a count of records
        // that were not stored.
        QCOMPARE(m_app->messages.shown().size(), size_t(1));
        const QString told = m_app->messages.last();
        QVERIFY2(told.contains(QDir::toNativeSeparators(m_app->folder.path())) &&
                     told.contains("is read-only") && told.contains("the download is kept"),
                 qPrintable(told));
        QCOMPARE(m_app->state.downloadBuffer, download);
        QCOMPARE(window.importTab()->step(), app::ImportStep::FileLoaded);
        // Pressed again once the folder is writable, the survey is stored.
        QVERIFY(ui().child("ProcessToDatabase")->isEnabled());
        QVERIFY(pressStore());
        QCOMPARE(m_app->messages.last(), "2,947 records added");
    }
    // A long import runs off the window's thread: the window's timers keep
    // firing and its progress bar moves while the vehicles are written;
    // "Cancel" on the bar stops the import and nothing of the survey is
    // stored, not even its header; the download stays to be stored again.
    void longImportLeavesTheWindowFree_data()
    {
        QTest::addColumn<bool>("cancel");
        test::row("run to the end", false);
        test::row("cancelled", true);
    }
    void longImportLeavesTheWindowFree()
    {
        QFETCH(bool, cancel);
        constexpr qint64 kVehicles = 400000;
        app::MainWindow& window = m_app->start();
        m_app->state.downloadBuffer = surveyLog(kVehicles);
        ui().child("ProcessingFrame")->show();
        ui().click("ProcessImportedData");
        fillInHeader("MPH");
        const QByteArray download = m_app->state.downloadBuffer;
        app::ImportTab* tab = window.importTab();

        int ticksWhileImporting = 0;
        QSet<int> barValues;
        bool cancelPressed = false;
        QTimer ticker;
        ticker.setInterval(10);
        connect(&ticker, &QTimer::timeout, this, [&] {
            if (!tab->isImporting())
                return;
            ++ticksWhileImporting;
            auto* bar = window.progressStrip()->bar();
            if (!bar->isVisible())
                return;
            barValues.insert(bar->value());
            if (cancel && !cancelPressed && bar->value() > 0) {
                QPushButton* cancelButton = window.progressStrip()->cancelButton();
                cancelPressed = cancelButton->isVisible() && cancelButton->isEnabled();
                if (cancelPressed)
                    cancelButton->click();
            }
        });
        ticker.start();
        QVERIFY(pressStore());
        ticker.stop();
        QVERIFY(ticksWhileImporting > 0);
        QCOMPARE(cancelPressed, cancel);
        const QStringList headers = test::rowTexts(m_app->folder.databasePath(), "select * from Header");
        const QStringList vehicles =
            test::rowTexts(m_app->folder.databasePath(), "select count(*) from Veh_Data");
        if (cancel) {
            QVERIFY2(m_app->messages.shown().empty(), qPrintable(m_app->messages.texts().join(" / ")));
            QVERIFY(headers.isEmpty());
            QCOMPARE(vehicles, QStringList{"0"});
            QCOMPARE(m_app->state.downloadBuffer, download);
            QVERIFY(ui().child("ProcessToDatabase")->isEnabled());
        } else {
            QVERIFY2(barValues.size() >= 2, "the bar stood still");
            QCOMPARE(m_app->messages.texts(), QStringList{"400,000 records added"});
            QCOMPARE(headers.size(), 1);
            QCOMPARE(vehicles, QStringList{QString::number(kVehicles)});
        }
        QVERIFY(!window.progressStrip()->isVisible());
    }
    void closingAsksWhenTheDownloadWouldBeLost_data()
    {
        QTest::addColumn<QString>("actions");
        QTest::addColumn<bool>("asks");
        test::row("nothing downloaded", "", false);
        test::row("download from the sign", "OK, log, process", true);
        test::row("still downloading", "OK, log", true);
        test::row("download saved", "OK, log, process, save", false);
        test::row("download stored", "OK, log, process, store", false);
        test::row("saved file loaded", "load", false);
        test::row("more from the sign after the save", "OK, log, process, save, another, log", true);
    }
    void closingAsksWhenTheDownloadWouldBeLost()
    {
        QFETCH(QString, actions);
        QFETCH(bool, asks);
        app::MainWindow& window = m_app->start();
        for (const QString& action : actions.split(", ", Qt::SkipEmptyParts))
            QVERIFY2(doOnMain(action), qPrintable(action));
        m_app->messages.clear();
        QSignalSpy ended(&window, &app::MainWindow::endRequested);
        // No keeps the program, Yes ends it: from a "Close" button and from
        // the window's own close alike.
        m_app->messages.script(test::RecordingMessages::Answer::No);
        test::WindowProbe(window.reportsTab()).click("Close");
        m_app->messages.script(test::RecordingMessages::Answer::No);
        QVERIFY(!window.close() || !asks);
        m_app->messages.script(test::RecordingMessages::Answer::Yes);
        test::WindowProbe(window.graphsTab()).click("Close");
        if (!asks) {
            QVERIFY(m_app->messages.shown().empty());
            QCOMPARE(ended.count(), 3);
            return;
        }
        QCOMPARE(m_app->messages.shown().size(), size_t(3));
        const auto& question = m_app->messages.shown().front();
        QVERIFY2(question.text.startsWith("The download from the sign is neither saved as a file nor stored "
                                          "as a survey: it is lost when the program ends."),
                 qPrintable(question.text));
        QCOMPARE(question.buttons, ui::Messages::Buttons::YesNoDefaultNo);
        QCOMPARE(question.icon, ui::Messages::Icon::Warning);
        QCOMPARE(ended.count(), 1);
    }

    // A download from the sign that is neither saved nor stored stays on
    // show: a step that would drop it asks first (Enter answers No), and a
    // main window opened anew shows it again.
    void leavingAReceivedDownload_data()
    {
        QTest::addColumn<QString>("received"); // what came from the sign before leaving
        QTest::addColumn<QString>("leave");
        QTest::addColumn<bool>("asks");
        test::row("download another", "OK, log, process", "another", true);
        test::row("reset while downloading", "OK, log", "reset", true);
        test::row("load a saved file", "OK, log, process", "load window", true);
        test::row("end the program", "OK, log, process", "close", true);
        test::row("database management and back", "OK, log, process", "management, return", false);
        test::row("database management while downloading", "OK, log", "management, return", false);
        test::row("database chosen", "OK, log, process", "database choice", false);
    }
    void leavingAReceivedDownload()
    {
        QFETCH(QString, received);
        QFETCH(QString, leave);
        QFETCH(bool, asks);
        app::ProgramWindows windows(m_app->state, m_app->messages);
        QSignalSpy ended(&windows, &app::ProgramWindows::endRequested);
        windows.start();
        act(windows, received);
        const app::ImportStep step = windows.mainWindow()->importTab()->step();
        const QByteArray download = m_app->state.downloadBuffer;
        if (step == app::ImportStep::Processed) {
            // What the user typed and chose stays with the download.
            const test::WindowProbe probe(windows.mainWindow());
            probe.child<QLineEdit>("Input_Location")->setText("Elm Street");
            probe.child<QComboBox>("Input_Direction")->setCurrentText("West");
            probe.child<QComboBox>("Input_Zone")->setCurrentText("School");
            probe.child<QComboBox>("Trailer_code")->setCurrentText("C");
            Q_EMIT probe.child<QComboBox>("Trailer_code")->textActivated("C");
        }
        const QString fields = headerFields(windows);

        act(windows, leave);
        QCOMPARE(m_app->messages.shown().size(), size_t(asks));
        app::ImportTab* tab = windows.mainWindow()->importTab();
        QCOMPARE(tab->step(), step);
        QCOMPARE(m_app->state.downloadBuffer, download);
        if (step == app::ImportStep::Processed) {
            QCOMPARE(tab->findChild<import::RawTextView*>("RawText")->text(), download);
            QCOMPARE(headerFields(windows), fields);
        }
        QCOMPARE(ended.count(), 0);
        if (!asks)
            return;
        QCOMPARE(m_app->messages.shown().front().buttons, ui::Messages::Buttons::YesNoDefaultNo);
        // Yes lets it go; the close question then has nothing to ask about.
        m_app->messages.script(ui::Messages::Answer::Yes);
        act(windows, leave);
        if (leave == "close") {
            QCOMPARE(ended.count(), 1);
            return;
        }
        m_app->messages.clear();
        if (leave == "load window") {
            tab->fileWindow().fileNameBox()->setText("elm.rsx");
            tab->fileWindow().act();
        }
        QVERIFY(windows.mainWindow()->close());
        QCOMPARE(m_app->messages.texts(), QStringList());
    }
    // Every question of the program that destroys or drops data on its Yes
    // or OK, answered with Enter on the real box: the safe answer, and
    // nothing changes.
    void enterAnswersEveryQuestionSafely_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("trigger"); // the window, then the button
        QTest::addColumn<QString>("answer");
        test::row("delete a saved download", "load window, pick elm.rsx", "file DeleteFile", "Cancel");
        test::row("replace a saved download", "load, save window, name elm.rsx", "file File", "No");
        test::row("replace the database", "management", "maintenance Replace", "Cancel");
        test::row("restore the backup", "management, backup, another survey", "maintenance Restore",
                  "Cancel");
        test::row("delete a survey", "management, deletion, pick 050302-A", "deletion DeleteSelected", "No");
        test::row("delete every survey", "management, deletion", "deletion DeleteComplete", "No");
        test::row("end with a download", "OK, log, process", "reports Close", "No");
        test::row("another download", "OK, log, process", "main DownloadAnother", "No");
        test::row("reset a download", "OK, log", "main Reset", "No");
        test::row("load over a download", "OK, log, process", "main LoadRadarLogFile", "No");
    }
    void enterAnswersEveryQuestionSafely()
    {
        QFETCH(QString, before);
        QFETCH(QString, trigger);
        QFETCH(QString, answer);
        test::storeSurvey(m_app->folder.databasePath(), test::Survey{});
        EnterMessages enter;
        app::ProgramWindows windows(m_app->state, enter);
        QSignalSpy ended(&windows, &app::ProgramWindows::endRequested);
        windows.start();
        act(windows, before);
        const QStringList kept = keptData(windows);
        enter.clear();
        enter.answered.clear();

        const QStringList where = trigger.split(' ');
        QWidget* window = where[0] == "file"          ? &windows.mainWindow()->importTab()->fileWindow()
                          : where[0] == "maintenance" ? static_cast<QWidget*>(windows.maintenanceWindow())
                          : where[0] == "deletion"    ? static_cast<QWidget*>(windows.deletionWindow())
                          : where[0] == "reports" ? static_cast<QWidget*>(windows.mainWindow()->reportsTab())
                                                  : windows.mainWindow();
        const test::WindowProbe probe(window);
        QVERIFY(probe.workDone()); // a list read on the worker holds the buttons meanwhile
        probe.click(where[1]);
        QCOMPARE(enter.answered, QStringList{answer});
        QCOMPARE(keptData(windows), kept);
        QCOMPARE(ended.count(), 0);
    }

private:
    const test::WindowProbe& ui() const { return m_app->ui; }
    // "Process This Radar Data to The Database>>", and the wait for the
    // import on its worker to end.
    bool pressStore() const
    {
        QSignalSpy finished(m_app->window->importTab(), &app::ImportTab::importFinished);
        ui().click("ProcessToDatabase");
        return finished.wait(60000) && !m_app->window->importTab()->isImporting();
    }
    // Completes the fields the user fills in.
    void fillInHeader(const QString& unit) const
    {
        ui().child<QLineEdit>("Input_Location")->setText("Elm Street");
        ui().child<QComboBox>("Input_Direction")->setCurrentText("North");
        ui().child<QComboBox>("Input_Zone")->setCurrentText("School");
        ui().child<QComboBox>("Combo1")->setCurrentText(unit);
    }
    // The texts of the named fields, apart by blanks.
    static QString fieldTexts(const test::WindowProbe& probe, std::initializer_list<const char*> names)
    {
        QStringList texts;
        for (const char* name : names)
            texts << probe.text(name);
        return texts.join(' ');
    }
    // The fields read from the sign's header.
    QString headerFields() const
    {
        return fieldTexts(ui(),
                          {"Input_Batch_Number", "Input_Location_Code", "Input_Batch_Date",
                           "Input_Start_Time", "Input_Posted_Speed", "Input_Cutoff_Set", "Input_Alarm_Set"});
    }
    // One action of a user on the main window; false when it did not get
    // where it leads.
    bool doOnMain(const QString& action)
    {
        static const QHash<QString, QString> buttons = {
            {"OK", "PortOK"},   {"process", "ProcessImportedData"}, {"another", "DownloadAnother"},
            {"reset", "Reset"}, {"modify", "ModifyHeader"},         {"save", "SaveRawData"}};
        if (buttons.contains(action))
            ui().click(buttons[action]);
        if (action == "yes") {
            m_app->messages.script(ui::Messages::Answer::Yes);
        } else if (action == "port 2") {
            ui().child<QRadioButton>("CommPort2")->setChecked(true);
        } else if (action == "load") {
            loadFile("elm.rsx");
        } else if (action == "save") {
            m_app->window->importTab()->fileWindow().fileNameBox()->setText("kept");
            m_app->window->importTab()->fileWindow().act();
        } else if (action == "store") {
            fillInHeader("MPH");
            return pressStore() && m_app->messages.last() == "40 records added";
        } else if (action == "log" || action == "short") {
            const QByteArray bytes = action == "log" ? surveyLog(40) : QByteArray("1,+,3,");
            const qsizetype before = m_app->state.downloadBuffer.size();
            return send(bytes) && QTest::qWaitFor([&] {
                       return m_app->state.downloadBuffer.size() == before + bytes.size();
                   });
        }
        return buttons.contains(action) || action == "yes" || action == "port 2" || action == "load";
    }
    // Loads a saved download of the program folder as the user does.
    void loadFile(const QString& name)
    {
        ui().click("LoadRadarLogFile");
        m_app->window->importTab()->fileWindow().fileNameBox()->setText(name);
        m_app->window->importTab()->fileWindow().act();
    }

    // The names in quotes in `text` that are no button on show in the
    // window (`onShow`), or no button of it at all.
    QStringList buttonsNamedNotShown(const QString& text, bool onShow = true) const
    {
        QStringList shown;
        for (const QPushButton* button : m_app->window->findChildren<QPushButton*>()) {
            if (!onShow || button->isVisibleTo(m_app->window.get()))
                shown << button->text();
        }
        QStringList missing;
        static const QRegularExpression quoted("\"([^\"]+)\"");
        for (auto match = quoted.globalMatch(text); match.hasNext();) {
            const QString name = match.next().captured(1);
            if (!shown.contains(name))
                missing << name;
        }
        return missing;
    }
    // Works the program through its windows: each action of the comma list
    // as a user does it.
    void act(app::ProgramWindows& windows, const QString& actions)
    {
        for (const QString& action : actions.split(", ", Qt::SkipEmptyParts)) {
            const QPointer<app::MainWindow> main = windows.mainWindow();
            const test::WindowProbe ui(main);
            if (action == "OK") {
                ui.click("PortOK");
            } else if (action == "log") {
                const QByteArray bytes = surveyLog(40);
                QVERIFY(send(bytes));
                QTRY_COMPARE(m_app->state.downloadBuffer.size(), bytes.size());
            } else if (action == "process") {
                ui.click("ProcessImportedData");
            } else if (action == "another") {
                ui.click("DownloadAnother");
            } else if (action == "reset") {
                ui.click("Reset");
            } else if (action == "load window") {
                ui.click("LoadRadarLogFile");
            } else if (action == "load") {
                ui.click("LoadRadarLogFile");
                main->importTab()->fileWindow().fileNameBox()->setText("elm.rsx");
                main->importTab()->fileWindow().act();
            } else if (action == "save window") {
                ui.click("SaveRawData");
            } else if (action.startsWith("pick ")) {
                QWidget* window = main ? static_cast<QWidget*>(&main->importTab()->fileWindow())
                                       : static_cast<QWidget*>(windows.deletionWindow());
                QVERIFY(test::WindowProbe(window).clickItem(main ? "File1" : "BatchList", action.mid(5)));
            } else if (action.startsWith("name ")) {
                main->importTab()->fileWindow().fileNameBox()->setText(action.mid(5));
            } else if (action == "close") {
                test::WindowProbe(main->reportsTab()).click("Close");
            } else if (action == "management") {
                ui.click("DatabaseManagement");
                QTRY_VERIFY(windows.maintenanceWindow());
            } else if (action == "backup") {
                test::WindowProbe(windows.maintenanceWindow()).click("Backup");
                QTRY_VERIFY(!windows.maintenanceWindow()->isWorking());
            } else if (action == "another survey") {
                test::Survey later;
                later.batchNumber = "050402-A";
                later.start = test::at("05/04/02 08:00");
                test::storeSurvey(m_app->folder.databasePath(), later);
            } else if (action == "deletion") {
                test::WindowProbe(windows.maintenanceWindow()).click("DeleteSurveys");
                QTRY_VERIFY(windows.deletionWindow());
            } else if (action == "return") {
                test::WindowProbe(windows.maintenanceWindow()).click("ReturnToProgram");
                QTRY_VERIFY(windows.mainWindow());
            } else {
                QCOMPARE(action, "database choice");
                ui.click("DatabaseChoice");
                windows.databaseChoiceWindow()->tryChoice();
                QTRY_VERIFY(!main && windows.mainWindow());
            }
        }
    }
    // The data a question may destroy: the stored surveys, the saved
    // downloads and the download on hand.
    QStringList keptData(app::ProgramWindows& windows) const
    {
        QStringList kept =
            test::rowTexts(m_app->folder.databasePath(), "select Batch_Number from Header order by 1") +
            test::rowTexts(m_app->folder.databasePath(), "select count(*) from Veh_Data");
        for (const QString& name : QDir(m_app->folder.path()).entryList({"*.rsx"}, QDir::Files))
            kept << name + " " + test::fileBytes(m_app->folder.filePath(name)).toHex();
        kept << m_app->state.downloadBuffer.toHex();
        if (windows.mainWindow())
            kept << QString::number(int(windows.mainWindow()->importTab()->step()));
        return kept;
    }
    QString headerFields(app::ProgramWindows& windows) const
    {
        return fieldTexts(test::WindowProbe(windows.mainWindow()),
                          {"Input_Batch_Number", "Input_Location_Code", "Input_Batch_Date",
                           "Input_Posted_Speed", "Input_Location", "Input_Direction", "Input_Zone",
                           "Trailer_code", "Combo1"});
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
