#include "TestSupport.h"
#include "acquisition/SerialDownload.h"
#include "acquisition/widgets/LoadDataFile.h"
#include "app/AppState.h"
#include "app/ImportTab.h"
#include "app/MainWindow.h"
#include "import/LogParser.h"
#include "import/widgets/RawTextView.h"
#include "loggen/LogWriter.h"
#include "loggen/SurveyProfile.h"
#include "loggen/VehicleGenerator.h"
#include "signsim/FdWriter.h"
#include "signsim/PtyPair.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
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

} // namespace

class TstImportTab : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void startState();
    void unusableDatabaseIsReported_data();
    void unusableDatabaseIsReported();
    void closeButtonsEndTheProgram();
    void downloadFromTheSign();
    void returningToThePortChoice();
    void unavailablePort();
    void bufferTooShortToProcess();
    void loadSaveAndLoadAgain();
    void unreadableFileGivesEmptyHeader();
    void unpluggedSignKeepsTheData();
    void importThroughTheWindow();
    void correctingTheHeader();

private:
    template <typename T> T* child(const char* name) const
    {
        T* found = m_window->findChild<T*>(QLatin1String(name));
        if (!found)
            qFatal("no child %s", name);
        return found;
    }
    bool visible(const char* name) const { return child<QWidget>(name)->isVisibleTo(m_window.get()); }
    QString text(const char* name) const { return child<QLabel>(name)->text(); }
    void makeWindow();
    void click(const char* name) { QTest::mouseClick(child<QAbstractButton>(name), Qt::LeftButton); }
    bool send(const QByteArray& bytes);

    std::unique_ptr<test::TempProgramFolder> m_folder;
    std::unique_ptr<test::RecordingMessages> m_messages;
    std::optional<signsim::PtyPair> m_pty;
    QList<int> m_ports;
    app::AppState m_state;
    std::unique_ptr<app::MainWindow> m_window;
};

void TstImportTab::init()
{
    m_folder = std::make_unique<test::TempProgramFolder>();
    m_messages = std::make_unique<test::RecordingMessages>();
    QString error;
    m_pty = signsim::PtyPair::open(&error);
    QVERIFY2(m_pty, qPrintable(error));
    m_ports.clear();
    m_state = app::AppState();
    m_state.programFolder = m_folder->path();
    m_state.portDevice = [this](int number) {
        m_ports.append(number);
        return number == 1 && m_pty ? m_pty->slavePath() : QStringLiteral("/dev/no-such-port-%1").arg(number);
    };
}

void TstImportTab::cleanup()
{
    m_window.reset();
}

void TstImportTab::makeWindow()
{
    m_window = std::make_unique<app::MainWindow>(m_state, *m_messages);
    m_window->show();
}

bool TstImportTab::send(const QByteArray& bytes)
{
    QString error;
    return signsim::writeAll(m_pty->master(), bytes.constData(), bytes.size(), &error, 0);
}

void TstImportTab::startState()
{
    makeWindow();
    QCOMPARE(m_window->objectName(), QStringLiteral("Main"));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Pelmor Traffic Analysis System       "));
    QTabWidget* tabs = child<QTabWidget>("SSTab1");
    QCOMPARE(tabs->count(), 4);
    const QStringList captions = {"Import Remote Sign Data", "View / Print Reports", "View Graphs",
                                  "Administration / Setup"};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(tabs->tabText(i), captions[i]);
    QVERIFY(m_messages->shown().empty());
    QCOMPARE(m_state.databasePath, m_folder->databasePath());
    for (const char* name : {"PortChoiceFrame", "SavedFileFrame"})
        QVERIFY2(visible(name), name);
    for (const char* name : {"ProcessingFrame", "ProgressFrame", "HeaderFrame", "CorrectionFrame", "RawText",
                             "SaveRawData", "ModifyHeader", "SummaryLabels"})
        QVERIFY2(!visible(name), name);
    QVERIFY(child<QRadioButton>("CommPort1")->isChecked());
    QCOMPARE(text("BlockCount"), QStringLiteral("1"));
    QCOMPARE(text("PortStatus"), QStringLiteral("comm choice"));
    QCOMPARE(text("Revision"), QStringLiteral(" Rev 2.0.1"));
    // The unit chooser shows the unit stored with the last import.
    QCOMPARE(child<QComboBox>("Combo1")->currentText(), QStringLiteral("MPH"));
}

void TstImportTab::unusableDatabaseIsReported_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: no database file
    QTest::newRow("missing") << QByteArray();
    QTest::newRow("not a database") << QByteArray("garbage").repeated(500);
}

void TstImportTab::unusableDatabaseIsReported()
{
    QFETCH(QByteArray, content);
    QVERIFY(QFile::remove(m_folder->databasePath()));
    if (!content.isEmpty()) {
        QFile file(m_folder->databasePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    makeWindow();
    QCOMPARE(m_messages->shown().size(), size_t(1));
    QVERIFY2(m_messages->last().contains(QDir::toNativeSeparators(m_folder->databasePath())),
             qPrintable(m_messages->last()));
    // The window is still usable: a download can still be loaded and processed.
    QVERIFY(visible("PortChoiceFrame"));
    m_state.downloadBuffer = surveyLog(100);
    child<QWidget>("ProcessingFrame")->show();
    click("ProcessImportedData");
    QCOMPARE(text("Input_Batch_Number"), QStringLiteral("032626-A"));
}

void TstImportTab::closeButtonsEndTheProgram()
{
    makeWindow();
    QSignalSpy ended(m_window.get(), &app::MainWindow::endRequested);
    int buttons = 0;
    for (QPushButton* button : m_window->findChildren<QPushButton*>()) {
        if (button->text() != QLatin1String("Close") || button->window() != m_window.get())
            continue; // the help windows have a "Close" of their own
        button->click();
        QCOMPARE(ended.count(), ++buttons);
    }
    QCOMPARE(buttons, 4);
}

void TstImportTab::downloadFromTheSign()
{
    makeWindow();
    click("PortOK");
    QVERIFY(m_messages->shown().empty());
    QCOMPARE(m_ports, QList<int>{1});
    QCOMPARE(child<QLabel>("PortStatus")->text(), QStringLiteral("Communication Port #1 Open For Download"));
    QVERIFY(visible("ProcessingFrame") && visible("ProgressFrame"));
    QVERIFY(!visible("PortChoiceFrame") && !visible("SavedFileFrame"));

    const QByteArray log = surveyLog(30000);
    QVERIFY(log.size() > 300 * 1024);
    QSignalSpy reads(&m_window->importTab()->serial(), &acquisition::SerialDownload::blockReceived);
    for (qsizetype sent = 0; sent < log.size();) {
        const QByteArray burst = log.mid(sent, 512 + (sent / 512 % 7) * 400);
        QVERIFY(send(burst));
        sent += burst.size();
        QTRY_COMPARE_WITH_TIMEOUT(m_state.downloadBuffer.size(), sent, 5000);
    }
    QCOMPARE(m_state.downloadBuffer, log);
    QVERIFY(reads.count() > 100);
    // The counter started at 1 and counts one per read.
    QCOMPARE(text("BlockCount"), QString::number(1 + reads.count()));

    click("ProcessImportedData");
    QVERIFY(!m_window->importTab()->serial().isOpen());
    QCOMPARE(text("BlockCount"), QStringLiteral("0"));
    for (const char* name : {"ProgressFrame", "ProcessingFrame", "PortChoiceFrame"})
        QVERIFY2(!visible(name), name);
    for (const char* name : {"RawText", "HeaderFrame", "ModifyHeader", "SaveRawData"})
        QVERIFY2(visible(name), name);
    QByteArray marked = log;
    QVERIFY(import::markEnd(marked));
    QCOMPARE(m_state.downloadBuffer, marked);
    QCOMPARE(child<import::RawTextView>("RawText")->text(), marked);
    QCOMPARE(text("Input_Batch_Number"), QStringLiteral("032626-A"));
    QCOMPARE(text("Input_Location_Code"), QStringLiteral("00777"));
    QCOMPARE(text("Input_Batch_Date"), QStringLiteral("03/26/2026"));
    QCOMPARE(text("Input_Start_Time"), QStringLiteral("07:45"));
    QCOMPARE(child<QLineEdit>("Input_Posted_Speed")->text(), QStringLiteral("025"));
    QCOMPARE(text("Input_Cutoff_Set"), QStringLiteral("080"));
    QCOMPARE(text("Input_Alarm_Set"), QStringLiteral("045"));

    // Characters the sign sends after processing are lost.
    QVERIFY(send("99,+,99,"));
    QTest::qWait(150);
    QCOMPARE(m_state.downloadBuffer, marked);

    // Another trailer letter gives another batch number.
    QComboBox* trailer = child<QComboBox>("Trailer_code");
    trailer->setCurrentIndex(trailer->findText(QStringLiteral("C")));
    Q_EMIT trailer->textActivated(QStringLiteral("C"));
    QCOMPARE(text("Input_Batch_Number"), QStringLiteral("032626-C"));
}

void TstImportTab::returningToThePortChoice()
{
    makeWindow();
    click("PortOK");
    QVERIFY(send(surveyLog(50)));
    QTRY_VERIFY(m_state.downloadBuffer.size() > 500);
    click("ProcessImportedData");
    const QByteArray processed = m_state.downloadBuffer;

    click("DownloadAnother");
    QVERIFY(visible("PortChoiceFrame"));
    QVERIFY(!visible("SavedFileFrame")); // only the reset brings it back
    for (const char* name :
         {"ProcessingFrame", "ProgressFrame", "HeaderFrame", "RawText", "SaveRawData", "ModifyHeader"})
        QVERIFY2(!visible(name), name);
    QCOMPARE(text("BlockCount"), QStringLiteral("0"));
    for (const char* name : {"Input_Batch_Number", "Input_Location_Code", "Input_Batch_Date",
                             "Input_Start_Time", "Input_Cutoff_Set", "Input_Alarm_Set"})
        QVERIFY2(text(name).isEmpty(), name);
    QVERIFY(child<QLineEdit>("Input_Posted_Speed")->text().isEmpty());
    QVERIFY(m_window->importTab()->serial().isOpen());
    QCOMPARE(text("PortStatus"), QStringLiteral("Communication Port #1 Open For Download"));
    QCOMPARE(m_ports, (QList<int>{1, 1}));
    // The buffer is kept, and what the sign sends now is added to it.
    QVERIFY(send("more"));
    QTRY_COMPARE(m_state.downloadBuffer, processed + "more");

    click("Reset");
    QVERIFY(visible("SavedFileFrame") && visible("PortChoiceFrame"));
    QCOMPARE(m_ports, (QList<int>{1, 1, 1}));
    QVERIFY(m_messages->shown().empty());

    // A port that cannot be opened again is reported; the program goes on.
    m_pty.reset();
    click("Reset");
    QCOMPARE(m_messages->shown().size(), size_t(1));
    QVERIFY(m_messages->last().contains(QStringLiteral("could not be opened")));
    QVERIFY(visible("PortChoiceFrame"));
}

void TstImportTab::unavailablePort()
{
    makeWindow();
    m_state.downloadBuffer = "an earlier download";
    child<QRadioButton>("CommPort2")->setChecked(true);
    click("PortOK");
    QCOMPARE(m_messages->texts(),
             QStringList{QStringLiteral("Port locked or unavailable, select another port")});
    QVERIFY(m_state.downloadBuffer.isEmpty());
    QVERIFY(visible("PortChoiceFrame"));
    QVERIFY(!visible("SavedFileFrame"));
    QVERIFY(!visible("ProcessingFrame"));

    // "Other serial port" without a device is no choice at all.
    child<QRadioButton>("CommPortOther")->setChecked(true);
    click("PortOK");
    QCOMPARE(m_messages->shown().size(), size_t(2));

    // A device typed by hand opens with the same settings and is named.
    child<QComboBox>("CommPortDevice")->setEditText(m_pty->slavePath());
    click("PortOK");
    QCOMPARE(m_messages->shown().size(), size_t(2));
    QCOMPARE(text("PortStatus"),
             QStringLiteral("Communication Port %1 Open For Download").arg(m_pty->slavePath()));
}

void TstImportTab::bufferTooShortToProcess()
{
    makeWindow();
    click("PortOK");
    QVERIFY(send("12,+,3,"));
    QTRY_COMPARE(m_state.downloadBuffer.size(), 7);
    click("ProcessImportedData");
    QCOMPARE(m_messages->texts(),
             QStringList{
                 QStringLiteral("The downloaded file is corrupt or there is insufficient data to process")});
    QCOMPARE(m_state.downloadBuffer, QByteArray("12,+,3,"));
    QVERIFY(!visible("HeaderFrame"));
    QVERIFY(!visible("RawText"));
    QVERIFY(visible("ProcessingFrame")); // the panels stay as they were when the walk failed
    QVERIFY(!m_window->importTab()->serial().isOpen());
}

void TstImportTab::loadSaveAndLoadAgain()
{
    QVERIFY(QFile::copy(QStringLiteral(PELMOR_SAMPLES "/elm-street-2days.rsx"),
                        m_folder->filePath(QStringLiteral("elm street.rsx"))));
    makeWindow();
    acquisition::LoadDataFile& files = m_window->importTab()->fileWindow();
    click("LoadRadarLogFile");
    QVERIFY(!m_window->isEnabled());
    QVERIFY(files.isVisible());
    QCOMPARE(files.fileList()->count(), 1);
    files.fileNameBox()->setText(QStringLiteral("elm street.rsx"));
    files.act();
    QVERIFY(m_window->isEnabled());
    QVERIFY(!files.isVisible());
    QVERIFY(!visible("PortChoiceFrame"));
    QVERIFY(visible("SavedFileFrame") && visible("HeaderFrame") && visible("RawText") &&
            visible("SaveRawData"));
    QCOMPARE(text("BlockCount"), QStringLiteral("1")); // loading leaves the counter alone
    QFile sample(m_folder->filePath(QStringLiteral("elm street.rsx")));
    QVERIFY(sample.open(QIODevice::ReadOnly));
    QByteArray expected = sample.readAll();
    QVERIFY(import::markEnd(expected));
    QCOMPARE(m_state.downloadBuffer, expected);
    const QStringList fieldNames = {"Input_Batch_Number", "Input_Location_Code", "Input_Batch_Date",
                                    "Input_Start_Time",   "Input_Cutoff_Set",    "Input_Alarm_Set"};
    QStringList fields;
    for (const QString& name : fieldNames)
        fields << child<QLabel>(qPrintable(name))->text();
    QCOMPARE(fields.first(), QStringLiteral("050326-A"));

    // Save it, load the copy: the same buffer (with its line break and two
    // more marks) and the same header.
    click("SaveRawData");
    QVERIFY(!m_window->isEnabled());
    files.fileNameBox()->setText(QStringLiteral("copy"));
    files.act();
    QVERIFY(m_window->isEnabled());
    const QByteArray saved = m_state.downloadBuffer;
    click("LoadRadarLogFile");
    files.fileNameBox()->setText(QStringLiteral("copy.rsx"));
    files.act();
    expected = saved + "\r\n";
    QVERIFY(import::markEnd(expected));
    QCOMPARE(m_state.downloadBuffer, expected);
    QStringList again;
    for (const QString& name : fieldNames)
        again << child<QLabel>(qPrintable(name))->text();
    QCOMPARE(again, fields);

    // With no OK since the load, another download opens port 1.
    child<QRadioButton>("CommPort2")->setChecked(true);
    click("DownloadAnother");
    QCOMPARE(m_ports, QList<int>{1});
    QVERIFY(m_messages->shown().empty());
}

void TstImportTab::unreadableFileGivesEmptyHeader()
{
    makeWindow();
    m_state.downloadBuffer = "an earlier download";
    acquisition::LoadDataFile& files = m_window->importTab()->fileWindow();
    click("LoadRadarLogFile");
    files.fileNameBox()->setText(QStringLiteral("vanished.rsx"));
    files.act();
    QVERIFY(m_messages->shown().empty());
    QVERIFY(m_state.downloadBuffer.isEmpty());
    QVERIFY(visible("HeaderFrame"));
    QCOMPARE(text("Input_Batch_Number"), QStringLiteral("-A"));
    QVERIFY(text("Input_Batch_Date").startsWith(QLatin1Char('/')));
    QVERIFY(m_window->isEnabled());
}

void TstImportTab::unpluggedSignKeepsTheData()
{
    makeWindow();
    click("PortOK");
    const QByteArray log = surveyLog(200);
    QVERIFY(send(log));
    QTRY_COMPARE(m_state.downloadBuffer.size(), log.size());
    m_pty.reset(); // the adapter is pulled out
    QTRY_COMPARE(m_messages->shown().size(), size_t(1));
    QVERIFY(m_messages->last().contains(QStringLiteral("was lost")));
    QCOMPARE(m_state.downloadBuffer, log);
    click("ProcessImportedData");
    QCOMPARE(text("Input_Batch_Number"), QStringLiteral("032626-A"));
}

void TstImportTab::importThroughTheWindow()
{
    QVERIFY(QFile::copy(QStringLiteral(PELMOR_SAMPLES "/elm-street-2days.rsx"),
                        m_folder->filePath(QStringLiteral("elm.rsx"))));
    makeWindow();
    acquisition::LoadDataFile& files = m_window->importTab()->fileWindow();
    click("LoadRadarLogFile");
    files.fileNameBox()->setText(QStringLiteral("elm.rsx"));
    files.act();

    // The coloured fields come first: each missing one is named in turn.
    click("ProcessToDatabase");
    QCOMPARE(m_messages->last(), QStringLiteral("You must input a valid location!"));
    QTest::keyClicks(child<QLineEdit>("Input_Location"), QStringLiteral("Elm Street at 5th"));
    click("ProcessToDatabase");
    QCOMPARE(m_messages->last(), QStringLiteral("You must select the direction of traffic in the survey!"));
    child<QComboBox>("Input_Direction")->setCurrentText(QStringLiteral("North East"));
    child<QComboBox>("Input_Zone")->setCurrentText(QStringLiteral("Parks & Rec"));
    child<QComboBox>("Combo1")->setCurrentText(QStringLiteral("KPH"));
    m_messages->clear();
    click("ProcessToDatabase");
    QCOMPARE(m_messages->texts(), QStringList{QStringLiteral("2947 records added")});
    // The result labels show the stored statistics of the new survey.
    QCOMPARE(text("aBatch_Number"), QStringLiteral("050326-A"));
    QCOMPARE(text("aTotal_Vehicles"), QStringLiteral("2947"));
    QCOMPARE(text("aPosted_Limit"), QStringLiteral("035"));
    QVERIFY(text("aTotal_Time").endsWith(QLatin1String(" Min")));
    QVERIFY(text("aTime_Offset").toInt() > 86400);

    // Again under the same letter is refused; the unit stays preselected.
    click("ProcessToDatabase");
    QCOMPARE(m_messages->last(),
             QStringLiteral("Duplicate Batch Number found. Select a higher letter for the Batch "
                            "Number and try again."));
    m_window.reset();
    makeWindow();
    QCOMPARE(child<QComboBox>("Combo1")->currentText(), QStringLiteral("KPH"));
}

void TstImportTab::correctingTheHeader()
{
    makeWindow();
    m_state.downloadBuffer = surveyLog(20);
    child<QWidget>("ProcessingFrame")->show();
    click("ProcessImportedData");
    click("ModifyHeader");
    QVERIFY(visible("CorrectionFrame"));
    child<QLineEdit>("Correction0")
        ->setText(QStringLiteral("13/45/2026")); // taken as typed, checked on import
    child<QLineEdit>("Correction2")->setText(QStringLiteral("999999-Q"));
    child<QLineEdit>("Correction4")->setText(QStringLiteral("045"));
    click("ApplyChanges");
    QVERIFY(!visible("CorrectionFrame"));
    QCOMPARE(text("Input_Batch_Date"), QStringLiteral("13/45/2026"));
    QCOMPARE(text("Input_Batch_Number"), QStringLiteral("999999-Q"));
    QCOMPARE(child<QLineEdit>("Input_Posted_Speed")->text(), QStringLiteral("045"));
    QCOMPARE(text("Input_Start_Time"), QStringLiteral("07:45")); // an empty box leaves its field
    QCOMPARE(text("Input_Location_Code"), QStringLiteral("00777"));

    // Opening again starts from empty boxes; applying them changes nothing.
    click("ModifyHeader");
    QVERIFY(child<QLineEdit>("Correction2")->text().isEmpty());
    click("ApplyChanges");
    QCOMPARE(text("Input_Batch_Number"), QStringLiteral("999999-Q"));
    // A trailer letter rebuilds the batch number from the sign's date.
    Q_EMIT child<QComboBox>("Trailer_code")->textActivated(QStringLiteral("A"));
    QCOMPARE(text("Input_Batch_Number"), QStringLiteral("032626-A"));
}

QTEST_MAIN(TstImportTab)
#include "tst_importtab.moc"
