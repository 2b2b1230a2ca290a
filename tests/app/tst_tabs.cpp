#include "AppUnderTest.h"
#include "loggen/LogWriter.h"

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

const char* const kTabs[] = {"import", "reports", "graphs", "admin"};

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
    void startVisibility_data()
    {
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QStringList>("hidden");
        row("import", QStringList{"PortChoiceFrame", "SavedFileFrame", "Revision"},
            QStringList{"ProcessingFrame", "ProgressFrame", "HeaderFrame", "CorrectionFrame", "RawText",
                        "SaveRawData", "ModifyHeader", "BlockCount", "PortStatus", "Combo1"});
        row("reports", QStringList{"ReportsHeading", "SelectSurvey", "SurveyPrompt", "Close"},
            QStringList{"SurveyList", "SurveyFrame", "StatisticsFrame", "Print_choice", "cmdPrint"});
        row("graphs",
            QStringList{"GraphHint", "PercentileGraph", "TrafficVolume", "TimeVolume", "QuarterHourFlow",
                        "HourFlow", "Command12", "PrinterModeFrame", "Close"},
            QStringList{"GraphType1", "GraphType2", "GraphType3", "GridFrame", "GraphFrame"});
        row("admin",
            QStringList{"AgencyList", "OfficerList", "AgencyName", "OfficerName", "RefreshAgency",
                        "RefreshOfficer", "AddAgency", "DeleteAgency", "AddOfficer", "DeleteOfficer",
                        "Command19", "Command20", "DatabaseManagement", "Close", "Close2", "SetID", "SetCode",
                        "SetDirection", "SetZone"},
            QStringList());
    }
    void startVisibility()
    {
        QFETCH(QStringList, shown);
        QFETCH(QStringList, hidden);
        const test::WindowProbe probe = page(*m_started.window, QTest::currentDataTag());
        for (const QString& name : shown)
            QVERIFY2(probe.visible(name), qPrintable(name));
        for (const QString& name : hidden)
            QVERIFY2(!probe.visible(name), qPrintable(name));
    }
    void startCaptions_data()
    {
        QTest::addColumn<QString>("tab");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        const char* const rows[][3] = {
            {"import", "PortStatus", "comm choice"},
            {"import", "Revision", " Rev 2.0.1"},
            {"import", "Combo1", "MPH"}, // the unit stored with the last import
            {"reports", "SelectSurvey", "Select Survey"},
            {"reports", "SurveyPrompt", "You must first select a survey to begin reports."},
            {"reports", "SurveyFrame", "Survey"},
            {"reports", "StatisticsFrame", "Speed Statistics"},
            {"reports", "PaceHelp", "Pace"},
            {"reports", "PercentileHelp", "85th Percentile"},
            {"reports", "Print_choice", "85th Percentile Report"},
            {"reports", "cmdPrint", "Print Selected Report"},
            {"graphs", "PercentileGraph", "85th Percentile"},
            {"graphs", "TrafficVolume", "Traffic Volume"},
            {"graphs", "TimeVolume", "Time / Volume"},
            {"graphs", "QuarterHourFlow", "15 Min Traffic Flow"},
            {"graphs", "HourFlow", "HourTraffic Flow"},
            {"graphs", "Command12", "Print Graph /Chart"},
            {"graphs", "PrinterModeFrame", "Printer Mode"},
            {"graphs", "PrinterBW", "Laser (B&&W)"},
            {"graphs", "PrinterColor", "Color Printer"},
            {"admin", "RefreshAgency", ""},
            {"admin", "RefreshOfficer", ""},
            {"admin", "AddAgency", "Add Agency"},
            {"admin", "DeleteAgency", "Delete Agency"},
            {"admin", "AddOfficer", "Add Officer"},
            {"admin", "DeleteOfficer", "Delete Officer"},
            {"admin", "Command19", "Print Filled In Form"},
            {"admin", "Command20", "Print Blank Form"},
            {"admin", "DatabaseManagement", "Database Management"},
            {"admin", "SetID", "A"},
            {"admin", "SetDirection", ""}, // nothing chosen until the user picks or types
            {"admin", "SetZone", ""},
            {"admin", "SetMin", "5"},
            {"admin", "SetMax", "200"},
        };
        for (const auto& r : rows)
            QTest::addRow("%s %s", r[0], r[1])
                << QString::fromUtf8(r[0]) << QString::fromUtf8(r[1]) << QString::fromUtf8(r[2]);
    }
    void startCaptions()
    {
        QFETCH(QString, tab);
        QFETCH(QString, name);
        QFETCH(QString, text);
        // Exactly one control of a tab answers to each name, or lookups by name are ambiguous.
        QCOMPARE(tabPage(*m_started.window, tab)->findChildren<QWidget*>(name).size(), 1);
        const test::WindowProbe probe = page(*m_started.window, tab);
        QCOMPARE(probe.text(name), text);
        // A button without a caption shows a picture and explains itself.
        if (auto* button = qobject_cast<QAbstractButton*>(probe.child(name)); button && text.isEmpty())
            QVERIFY(!button->icon().isNull() && !button->toolTip().isEmpty());
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
                                        "Administration / Setup", "Speed Study"}));
        QCOMPARE(tabs->currentIndex(), 0);
        QVERIFY(m_started.messages.shown().empty());
        QCOMPARE(m_started.state.database.path, m_started.folder.databasePath());
        QVERIFY(page(window, "import").child<QRadioButton>("CommPort1")->isChecked());
        QVERIFY(!page(window, "admin").child("DeleteAgency")->isEnabled());
        QVERIFY(!page(window, "admin").child("DeleteOfficer")->isEnabled());

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
    void unusableDatabaseIsReported_data()
    {
        QTest::addColumn<QByteArray>("content"); // empty: no database file
        test::row("missing", QByteArray());
        test::row("not a database", QByteArray("garbage").repeated(500));
    }
    void unusableDatabaseIsReported()
    {
        QFETCH(QByteArray, content);
        QVERIFY(QFile::remove(m_app->folder.databasePath()));
        if (!content.isEmpty()) {
            QFile file(m_app->folder.databasePath());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        const app::MainWindow& window = m_app->start();
        QCOMPARE(m_app->messages.shown().size(), size_t(1));
        QVERIFY2(m_app->messages.last().contains(QDir::toNativeSeparators(m_app->folder.databasePath())),
                 qPrintable(m_app->messages.last()));
        // The window is still usable: a download can still be loaded and processed.
        loggen::LogHeader header;
        header.startDate = QDate(2026, 3, 26);
        m_app->state.downloadBuffer =
            loggen::writeLog(header, {{0, '+', 30}, {5, '-', 31}, {9, '+', 32}, {12, '+', 33}});
        const test::WindowProbe import = page(window, "import");
        QVERIFY(import.visible("PortChoiceFrame"));
        import.child("ProcessingFrame")->show();
        import.click("ProcessImportedData");
        QCOMPARE(import.text("Input_Batch_Number"), QStringLiteral("032626-A"));
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
        QCOMPARE(buttons, 4);
    }
    void layoutFits_data()
    {
        QTest::addColumn<QString>("tab");
        QTest::addColumn<QStringList>("shown");
        test::row("reports at start", "reports", QStringList());
        test::row("reports survey chosen", "reports",
                  QStringList{"SurveyList", "SurveyFrame", "StatisticsFrame", "Print_choice", "cmdPrint"});
        test::row("graphs at start", "graphs", QStringList());
        test::row("graphs with graph", "graphs",
                  QStringList{"GraphFrame", "GraphType1", "GraphType2", "GraphType3"});
        test::row("graphs with grid", "graphs", QStringList{"GridFrame"});
        test::row("admin", "admin", QStringList());
    }
    void layoutFits()
    {
        QFETCH(QString, tab);
        QFETCH(QStringList, shown);
        const app::MainWindow& window = m_app->start();
        QWidget* page = tabPage(window, tab);
        window.tabs()->setCurrentWidget(page);
        for (const QString& name : shown)
            test::WindowProbe(page).child(name)->show();
        QApplication::processEvents();

        // The main window can hold the tab.
        QVERIFY(page->minimumSizeHint().width() <= page->width());
        QVERIFY(page->minimumSizeHint().height() <= page->height());
        QList<QWidget*> visible;
        for (QWidget* widget : page->findChildren<QWidget*>()) {
            // The widgets the tabs name themselves; Qt's own parts are named "qt_...".
            if (!widget->objectName().isEmpty() && !widget->objectName().startsWith(QLatin1String("qt_")) &&
                widget->isVisibleTo(page))
                visible << widget;
        }
        for (QWidget* widget : visible) {
            const QByteArray what = widget->objectName().toUtf8();
            // Inside the page, and not squeezed below its smallest readable size.
            const QRect onPage(widget->mapTo(page, QPoint(0, 0)), widget->size());
            QVERIFY2(page->rect().contains(onPage), what.constData());
            if (widget->sizePolicy().horizontalPolicy() != QSizePolicy::Ignored) {
                const QSize least = widget->minimumSizeHint();
                QVERIFY2(widget->width() >= least.width() && widget->height() >= least.height(),
                         what.constData());
            }
            // No two controls side by side share any pixel.
            for (QWidget* other : visible) {
                if (other != widget && other->parentWidget() == widget->parentWidget()) {
                    const QByteArray pair = what + " / " + other->objectName().toUtf8();
                    QVERIFY2(!widget->geometry().intersects(other->geometry()), pair.constData());
                }
            }
        }
    }

private:
    test::AppUnderTest m_started; // the window the start state is read from
    std::unique_ptr<test::AppUnderTest> m_app;
};
QTEST_MAIN(TstTabs)
#include "tst_tabs.moc"
