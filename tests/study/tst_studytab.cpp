// The "Speed Study" tab in the main window, and "Export CSV..." on the
// graphs tab, worked the way a user works them: the survey chosen on the
// reports tab, the threshold typed, the file named in the file window.
#include "AppUnderTest.h"
#include "SurveyFixture.h"
#include "app/GraphsTab.h"
#include "app/ReportsTab.h"
#include "app/StudyTab.h"
#include "study/StudyTables.h"
#include "ui/ChartView.h"
#include "ui/Style.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

using namespace pelmor;

namespace {

const QString kBatch = QStringLiteral("030226-A");

} // namespace

class TstStudyTab : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The look the program starts with: its style sheet sets the fonts.
    void initTestCase() { qApp->setStyleSheet(ui::styleSheet()); }
    void init() { m_app = std::make_unique<test::AppUnderTest>(); }
    void cleanup() { m_app.reset(); }

    // The figures, the hourly profile and the warnings of the chosen survey,
    // worked out when the tab is first shown for it; the threshold starts at
    // the limit plus 10, and another one counts again.
    void showsTheChosenSurvey_data()
    {
        QTest::addColumn<bool>("clean");
        test::row("with warnings", false);
        test::row("clean", true);
    }
    void showsTheChosenSurvey()
    {
        QFETCH(bool, clean);
        std::vector<int> speeds;
        app::StudyTab* tab = chooseSurvey(clean, &speeds);
        QVERIFY(!tab->study()); // nothing worked out while another tab shows
        m_app->window->tabs()->setCurrentWidget(tab);
        QTRY_VERIFY(!m_app->window->isBusy());
        QVERIFY(tab->study());
        const study::SpeedStudy& s = *tab->study();

        std::vector<QStringList> figures;
        for (const study::FigureRow& row : study::figureRows(s))
            figures.push_back(QStringList{row.caption} + QStringList(row.cells.begin(), row.cells.end()));
        QCOMPARE(test::tableTexts(tab->figuresView()), figures);
        QCOMPARE(figures[0], (QStringList{"Vehicles", clean ? "1,681" : "1,664", clean ? "841" : "832",
                                          clean ? "840" : "832"}));
        QCOMPARE(test::tableTexts(tab->hourlyView()), study::hourlyTable(s).rows);
        QCOMPARE(tab->heading()->text(), QStringLiteral("Elm Street: Speed study of survey 030226-A"));
        QVERIFY(tab->period()->text().startsWith(
            clean ? QStringLiteral("Posted limit 35 mph, Mon 03/02/26 00:00 to Sun 03/08/26 23:59")
                  : QStringLiteral("Posted limit 35 mph, Mon 03/02/26 00:36 to Sun 03/08/26 22:54")));
        const QString band = tab->warningBand()->text();
        QVERIFY(tab->warningBand()->isVisible());
        QCOMPARE(s.warnings.size(), clean ? size_t(0) : size_t(2));
        if (clean)
            QCOMPARE(band, QStringLiteral("No data-quality warnings."));
        for (const study::Warning& warning : s.warnings)
            QVERIFY2(band.contains(warning.text.toHtmlEscaped()), qPrintable(band));
        QVERIFY(tab->speedCurveView()->hasGraph() && tab->heatMapView()->hasGraph());

        QSpinBox* threshold = tab->thresholdBox();
        QCOMPARE(threshold->value(), 45);
        QCOMPARE(threshold->suffix(), QStringLiteral(" mph"));
        // At the limit + 10 the threshold is said in that row alone.
        QCOMPARE(figures[figures.size() - 2].first(), QStringLiteral("Over 45 mph (limit + 10 = threshold)"));
        QCOMPARE(figures.back().first(), QStringLiteral("Over 50 mph (limit + 15)"));
        threshold->selectAll();
        QTest::keyClicks(threshold, QStringLiteral("42"));
        const QStringList last = test::tableTexts(tab->figuresView()).back();
        QCOMPARE(last.first(), QStringLiteral("Over the enforcement threshold, 42 mph"));
        const auto over = std::count_if(speeds.begin(), speeds.end(), [](int v) { return v > 42; });
        QCOMPARE(last.at(1), QStringLiteral("%1 (%2 %)")
                                 .arg(over)
                                 .arg(100.0 * double(over) / double(speeds.size()), 0, 'f', 1));
        // Measured here, estimated on the reports tab: both named, with the
        // stored estimates.
        const QString note = tab->estimateNote()->text();
        for (const char* part : {"measured", "estimated", "(38 mph)", "(27.5 to 37.5 mph)"})
            QVERIFY2(note.contains(QLatin1String(part)), qPrintable(note));
        QVERIFY(tab->estimateNote()->isVisible());
        QVERIFY(m_app->messages.shown().empty());
    }

    // "Export CSV..." on the study tab and on the graphs tab asks where, then
    // writes the chosen survey's study, vehicles or statistics, or the
    // breakdown in the grid there.
    void exportCsv_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QByteArray>("start");
        QTest::addColumn<QByteArray>("line"); // a record further down
        QTest::addColumn<int>("records");     // 0: not counted
        test::row(
            "study", "ExportStudyCsv",
            QByteArray("section,direction,day,hour,speeds,figure,value\r\nsurvey,,,,,batch,030226-A\r\n"),
            QByteArray("figures,both,,,,n,1681\r\n"), 0);
        test::row("vehicles", "ExportVehiclesCsv",
                  QByteArray("Batch_Number,Date,Time,Offset,Veh_Direction,Speed,Length\r\n"
                             "030226-A,2026-03-02,00:00:00,0,+,25,\r\n"),
                  QByteArray("030226-A,2026-03-08,23:59:00,604740,+,25,\r\n"), 1 + 1681);
        test::row("statistics", "ExportSummaryCsv", QByteArray("Batch_Number,Posted_Limit,"),
                  QByteArray("\r\n030226-A,"), 2);
        // 168 hours and a total after each of the 7 days, then the grand total.
        // Plain column names, and the date on every row.
        test::row("breakdown", "ExportBreakdownCsv",
                  QByteArray("Date,Time,Vehicles,Day total\r\n03/02/26,00:00 - 01:00,10,\r\n"
                             "03/02/26,01:00 - 02:00,10,\r\n"),
                  QByteArray("\r\n03/08/26,23:00 - 00:00,11,\r\n03/08/26,--------------------,----,"),
                  1 + 168 + 7 + 1);
    }
    void exportCsv()
    {
        QFETCH(QString, control);
        QFETCH(QByteArray, start);
        QFETCH(QByteArray, line);
        QFETCH(int, records);
        app::StudyTab* tab = chooseSurvey(true);
        const QString path = m_app->folder.filePath(control + QStringLiteral(".csv"));
        QString dialog;
        test::answerFileWindow(path, &dialog);
        if (control == QLatin1String("ExportStudyCsv")) {
            m_app->window->tabs()->setCurrentWidget(tab);
            QTRY_VERIFY(!m_app->window->isBusy());
            m_app->ui.click(control);
        } else {
            m_app->window->tabs()->setCurrentWidget(m_app->window->graphsTab());
            if (control == QLatin1String("ExportBreakdownCsv")) {
                m_app->ui.click(QStringLiteral("HourFlow"));
                QTRY_VERIFY(!m_app->window->isBusy());
            }
            m_app->ui.child<QAction>(control)->trigger();
            // Written on the window's worker.
            QTRY_VERIFY(!m_app->window->isBusy());
        }
        QCOMPARE(dialog, QStringLiteral("ExportCsvDialog"));
        const QByteArray written = test::fileBytes(path);
        QVERIFY2(written.startsWith(start) && written.contains(line), written.left(300).constData());
        if (records > 0)
            QCOMPARE(int(written.count("\r\n")), records);
        // Where the file went is said.
        QCOMPARE(m_app->messages.shown().size(), size_t(1));
        QVERIFY2(m_app->messages.last().endsWith(QStringLiteral(" saved as ") + path),
                 qPrintable(m_app->messages.last()));
    }

    // Until a survey is chosen the threshold box is empty and cannot be
    // changed; a chosen survey's threshold shows with its unit.
    void thresholdWithoutSurvey()
    {
        m_app->start();
        app::StudyTab* tab = m_app->window->studyTab();
        m_app->window->tabs()->setCurrentWidget(tab);
        QTRY_VERIFY(!m_app->window->isBusy());
        QVERIFY(!tab->thresholdBox()->isEnabled());
        QCOMPARE(tab->thresholdBox()->text(), QString());
        m_app.reset();
        m_app = std::make_unique<test::AppUnderTest>();
        tab = chooseSurvey(true);
        m_app->window->tabs()->setCurrentWidget(tab);
        QTRY_VERIFY(!m_app->window->isBusy());
        QCOMPARE(tab->thresholdBox()->text(), QStringLiteral("45 mph"));
    }

    // On a screen of 1366 by 768 pixels the hourly profile shows whole,
    // without a scroll bar, and every column title reads whole.
    void hourlyProfileFitsTheScreen()
    {
        app::StudyTab* tab = chooseSurvey(false);
        m_app->window->resize(1366, 768);
        m_app->window->tabs()->setCurrentWidget(tab);
        QTRY_VERIFY(!m_app->window->isBusy());
        auto* tables = tab->findChild<QTabWidget*>(QStringLiteral("StudyTables"));
        QVERIFY(tables);
        tables->setCurrentWidget(tab->hourlyView());
        QApplication::processEvents();
        QTableWidget* hours = tab->hourlyView();
        QVERIFY(hours->isVisible());
        QCOMPARE(hours->horizontalScrollBar()->maximum(), 0);
        QCOMPARE(hours->verticalScrollBar()->maximum(), 0); // all 24 hours, under two warnings
        QHeaderView* header = hours->horizontalHeader();
        for (int column = 0; column < hours->columnCount(); ++column) {
            const QString title = hours->horizontalHeaderItem(column)->text();
            for (const QString& line : title.split(QLatin1Char('\n')))
                QVERIFY2(header->fontMetrics().horizontalAdvance(line) < header->sectionSize(column),
                         qPrintable(line));
            QCOMPARE(title.simplified(), study::hourlyTable(*tab->study()).columns[column]);
        }
    }

    void graphsTabExportWithoutSurvey()
    {
        m_app->start();
        m_app->window->tabs()->setCurrentWidget(m_app->window->graphsTab());
        m_app->ui.child<QAction>(QStringLiteral("ExportVehiclesCsv"))->trigger();
        QCOMPARE(m_app->messages.texts(), QStringList{survey::noSurveyMessage()});
        QVERIFY(!QApplication::activeModalWidget());
    }

private:
    // Stores a week of a vehicle every six minutes at 25 to 45 mph, both ways
    // in turn, limit 35, and chooses it on the reports tab. Clean: from
    // Monday 03/02/26 00:00 to a last vehicle at 23:59 on Sunday, 1,681
    // vehicles. Otherwise from 00:36 to 22:54, so the first and the last
    // hour are partial: 1,664 vehicles.
    app::StudyTab* chooseSurvey(bool clean, std::vector<int>* speeds = nullptr)
    {
        test::Survey survey;
        survey.batchNumber = kBatch;
        survey.location = QStringLiteral("Elm Street");
        survey.start = test::at(clean ? QStringLiteral("03/02/26 00:00") : QStringLiteral("03/02/26 00:36"));
        for (qint64 i = 0; i < (clean ? 1680 : 1664); ++i)
            survey.offsets.push_back(i * 360);
        if (clean)
            survey.offsets.push_back(7 * 86400 - 60);
        for (size_t i = 0; i < survey.offsets.size(); ++i) {
            survey.speeds.push_back(25 + int(i % 21));
            survey.directions.append(i % 2 ? '-' : '+');
        }
        survey.durationSeconds = survey.offsets.back();
        if (speeds)
            *speeds = survey.speeds;
        test::storeSurvey(m_app->folder.databasePath(), survey);
        m_app->start();
        m_app->chooseSurvey(kBatch);
        return m_app->window->studyTab();
    }

    std::unique_ptr<test::AppUnderTest> m_app;
};

QTEST_MAIN(TstStudyTab)
#include "tst_studytab.moc"
