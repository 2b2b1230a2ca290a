#include "AppUnderTest.h"
#include "app/ImportTab.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

#include <memory>

using namespace pelmor;
using test::row;

namespace {

const char* const kTabs[] = {"import", "reports", "graphs", "admin", "study"};

QWidget* tabPage(const app::MainWindow& window, const QString& tab)
{
    const auto found =
        std::find_if(std::begin(kTabs), std::end(kTabs), [&](const char* t) { return tab == t; });
    return window.tabs()->widget(int(found - std::begin(kTabs)));
}

test::WindowProbe page(const app::MainWindow& window, const QString& tab)
{
    return test::WindowProbe(tabPage(window, tab));
}

} // namespace

// The main window as the program starts: its caption, its tabs and what
// each of them shows, and its "Close" buttons.
class TstTabs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { m_started.start(); }
    void init() { m_app = std::make_unique<test::AppUnderTest>(); }
    void startState_data()
    {
        // Each control of the tab as the program starts, "-" before one that
        // is hidden, "=" before its caption where it has one. A button without
        // a caption shows a picture and explains itself.
        QTest::addColumn<QString>("controls");
        row("import",
            "PortChoiceFrame, SavedFileFrame, Revision= Rev 2.0.1, -ProcessingFrame, -ProgressFrame, "
            "-HeaderFrame, -CorrectionFrame, -RawText, -SaveRawData, -ModifyHeader, -BlockCount, "
            "-PortStatus=comm choice, -Combo1=MPH");
        row("reports", "ReportsHeading, SelectSurvey=Select Survey, Close, "
                       "SurveyPrompt=You must first select a survey to begin reports., -SurveyList, "
                       "-SurveyFrame=Survey, -StatisticsFrame=Speed Statistics, -PaceHelp=Pace, "
                       "-PercentileHelp=85th Percentile, -Print_choice=85th Percentile Report, "
                       "-cmdPrint=Print Selected Report");
        row("graphs",
            "GraphHint, PercentileGraph=85th Percentile, TrafficVolume=Traffic Volume, "
            "TimeVolume=Time / Volume, QuarterHourFlow=15 Min Traffic Flow, HourFlow=Hour Traffic Flow, "
            "Command12=Print Graph /Chart, PrinterModeFrame=Printer Mode, PrinterBW=Laser (B&&W), "
            "PrinterColor=Color Printer, Close, -GraphType1, -GraphType2, -GraphType3, -GridFrame, "
            "-GraphFrame");
        row("admin",
            "AgencyList, OfficerList, AgencyName, OfficerName, RefreshAgency=, RefreshOfficer=, "
            "AddAgency=Add Agency, DeleteAgency=Delete Agency, AddOfficer=Add Officer, "
            "DeleteOfficer=Delete Officer, Command19=Print Filled In Form, Command20=Print Blank Form, "
            "DatabaseManagement=Database Management, Close, Close2, SetID=A, SetCode, "
            "SetDirection=, SetZone=, SetMin=5, SetMax=200");
        // Until a survey is chosen only the prompt shows.
        row("study", "StudyPrompt, -SiteFigures, -StudyWarnings");
    }
    void startState()
    {
        QFETCH(QString, controls);
        QWidget* page = tabPage(*m_started.window, QTest::currentDataTag());
        const test::WindowProbe probe(page);
        for (const QString& control : controls.split(", ")) {
            const QString name = control.section('=', 0, 0).remove('-');
            // Exactly one control of a tab answers to each name, or lookups by name are ambiguous.
            QVERIFY2(page->findChildren<QWidget*>(name).size() == 1, qPrintable(name));
            QVERIFY2(probe.visible(name) != control.startsWith('-'), qPrintable(name));
            if (!control.contains('='))
                continue;
            QCOMPARE(probe.text(name), control.section('=', 1));
            if (auto* button = qobject_cast<QAbstractButton*>(probe.child(name));
                button && button->text().isEmpty())
                QVERIFY(!button->icon().isNull() && !button->toolTip().isEmpty());
        }
    }
    void startCaptionsAndLists()
    {
        const app::MainWindow& window = *m_started.window;
        QCOMPARE(window.objectName(), QStringLiteral("Main"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Pelmor Traffic Analysis System       "));
        QTabWidget* tabs = window.tabs();
        QStringList captions;
        for (int i = 0; i < tabs->count(); ++i)
            captions << tabs->tabText(i);
        QCOMPARE(captions, (QStringList{"Import Remote Sign Data", "View / Print Reports", "View Graphs",
                                        "Administration / Setup", "Speed Study", "Sites"}));
        QCOMPARE(tabs->currentIndex(), 0);
        // Every tab the graphs tab's hint names in quotes is one of them.
        const QString hint = page(window, "graphs").text("GraphHint");
        const QStringList quoted = hint.split(QLatin1Char('"')).mid(1);
        QVERIFY2(!quoted.isEmpty(), qPrintable(hint));
        for (qsizetype i = 0; i < quoted.size(); i += 2)
            QVERIFY2(captions.contains(quoted[i]), qPrintable(hint));
        QVERIFY(m_started.messages.shown().empty());
        QCOMPARE(m_started.state.database.path, m_started.folder.databasePath());
        QVERIFY(page(window, "import").child<QRadioButton>("CommPort1")->isChecked());
        QVERIFY(!page(window, "admin").child("DeleteAgency")->isEnabled());
        QVERIFY(!page(window, "admin").child("DeleteOfficer")->isEnabled());
        QVERIFY(!page(window, "study").child("ExportStudyCsv")->isEnabled());

        QCOMPARE(page(window, "reports").items("Print_choice"),
                 (QStringList{"85th Percentile Report", "Traffic Flow Report", "Traffic Summary Report",
                              "15 Minute Traffic Flow", "Hour Traffic Flow", "Speed Study Report",
                              "Before / After Comparison"}));
        QStringList letters;
        for (char letter = 'A'; letter <= 'Z'; ++letter)
            letters << QString(QLatin1Char(letter));
        QCOMPARE(page(window, "admin").items("SetID"), letters);
        QCOMPARE(
            page(window, "admin").items("SetDirection"),
            (QStringList{"North", "North East", "East", "South East", "South", "South West", "West", "NW"}));
        QCOMPARE(page(window, "admin").items("SetZone"),
                 (QStringList{"School", "Highway", "Railroad", "Construction", "Residential", "Church",
                              "Interstate", "Hospital", "Commercial", "Airport", "Parks & Rec"}));
    }
    void unusableDatabaseIsReported()
    {
        QVERIFY(test::writeFile(m_app->folder.databasePath(), QByteArray(5000, 'x')));
        const app::MainWindow& window = m_app->start();
        QCOMPARE(m_app->messages.shown().size(), size_t(1));
        QVERIFY2(m_app->messages.last().contains(QDir::toNativeSeparators(m_app->folder.databasePath())),
                 qPrintable(m_app->messages.last()));
        // The window is still usable: a download can still be processed.
        m_app->state.downloadBuffer = QByteArray(300, '+');
        window.importTab()->processImportedData();
        QCOMPARE(window.importTab()->step(), app::ImportStep::Processed);
    }
    void closeButtonsEndTheProgram()
    {
        app::MainWindow& window = m_app->start();
        QSignalSpy ended(&window, &app::MainWindow::endRequested);
        int buttons = 0;
        for (QPushButton* button : window.findChildren<QPushButton*>()) {
            if (button->text() != QLatin1String("Close") || button->window() != &window)
                continue; // the help windows have a "Close" of their own
            button->click();
            QCOMPARE(ended.count(), ++buttons);
        }
        QCOMPARE(buttons, 6); // reports, graphs, the two of the admin tab, the speed study, the sites
    }

private:
    test::AppUnderTest m_started; // the window the start state is read from
    std::unique_ptr<test::AppUnderTest> m_app;
};
QTEST_MAIN(TstTabs)
#include "tst_tabs.moc"
