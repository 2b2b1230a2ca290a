#include "AppUnderTest.h"
#include "SurveyFixture.h"
#include "app/GraphsTab.h"
#include "app/ReportsTab.h"
#include "flow/FlowBreakdown.h"
#include "flow/widgets/BreakdownModel.h"
#include "survey/SurveyRecord.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include <memory>

using namespace pelmor;

// The reports tab's choice of a survey and the flow breakdowns of the
// graphs tab for the chosen survey.
class TstSelection : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_app = std::make_unique<test::AppUnderTest>(); }
    void cleanup() { m_app.reset(); }

    void selectListsEachSurveyOnce()
    {
        m_app->start();
        m_app->window->tabs()->setCurrentIndex(1);
        QVERIFY(!ui().visible("SurveyList"));
        ui().click("SelectSurvey");
        QCOMPARE(ui().items("SurveyList"), QStringList());
        QVERIFY(ui().visible("SurveyList"));

        store("050302-B");
        store("050302-A");
        test::Survey earlier; // a survey of the year before, stored last
        earlier.batchNumber = "123001-A";
        earlier.start = test::at("12/30/01 17:00");
        test::storeSurvey(m_app->folder.databasePath(), earlier);
        ui().click("SelectSurvey");
        // Each survey once, by its start (surveys of one start in the order stored).
        QCOMPARE(ui().itemKeys("SurveyList"), (QStringList{"123001-A", "050302-B", "050302-A"}));
        // Each entry tells the survey apart: place, direction, start and vehicles.
        QVERIFY2(ui().items("SurveyList").contains("050302-A  Main St, North, 05/03/2002, 4 vehicles"),
                 qPrintable(ui().items("SurveyList").join(" / ")));
        // Nothing is chosen yet.
        QVERIFY(ui().visible("SurveyPrompt") && !ui().visible("SurveyFrame") &&
                !ui().visible("StatisticsFrame"));
        QCOMPARE(ui().text("BatchChoice"), QString());
        QCOMPARE(m_app->messages.texts(), QStringList());
    }
    void chooseShowsTheSurvey()
    {
        store("050302-A");
        test::Survey survey;
        survey.batchNumber = "050302-B";
        survey.location = "Elm St";
        survey.stop = test::at("05/04/02 16:30");
        survey.paceLow = "28.4";
        survey.paceHigh = "38.4";
        survey.percentile85 = "39.2";
        survey.headerFields = {{"Blank_Speed", "99"}, {"Alarm_Speed", "50"}, {"Field_Setup", "J. Smith"}};
        // Each label and what it shows; "Label<Field" for a Summary field
        // that this test stores.
        const QStringList expected =
            QStringLiteral(
                "Batch_Number=050302-B, Location=Elm St, Zone=School, Direction=North, Posted_Speed=035, "
                "Cut_Off=99, High_Speed_Alarm=50, radar_mode=MPH, Performed_By=J. Smith, "
                "Batch_Date=05/03/02, "
                "End_Batch_Date=05/04/02, Start_Time=08:00 AM, Stop_Time=04:30 PM, "
                "Total_Time<Total_Time=32:30, "
                "Under_Limit<Number_Under=410, Over_Limit<Number_Over=95, Avg_Speed_Over<Averge_Over=41.2, "
                "Low_Speed<Min_Speed=12, High_Speed<Max_Speed=63, Avg_Speed=33.4, Percent_85=39.2, "
                "Pace_Low=28.4, "
                "Pace_High=38.4, Pace_Total<Pace_Total=301, Pace_Percent<Pace_Percent=59 %, "
                "Total_Veh<Total_Vehicles=505, Approach<Total_Approach=250, Receed<Total_Receeding=240, "
                "Unknown<Total_Unknown=15, Over_5<Over_5=61, Over_10<Over_10=21, Over_15<Over_15=8, "
                "Over_20<Over_20=3, Over_25<Over_25=1, Label73<Over_26=2, Min_Radar=5, Max_Radar=200")
                .split(", ");
        for (const QString& entry : expected) {
            if (entry.contains('<'))
                survey.summaryFields.insert(entry.section('<', 1).section('=', 0, 0), entry.section('=', 1));
        }
        test::storeSurvey(m_app->folder.databasePath(), survey);
        m_app->start();
        choose("050302-B");

        QCOMPARE(ui().text("BatchChoice"), "050302-B");
        QStringList shown;
        for (const QString& entry : expected)
            shown << entry.section('=', 0, 0) + '=' + ui().text(entry.section('<', 0, 0).section('=', 0, 0));
        QCOMPARE(shown, expected);
        for (const char* name : {"SurveyFrame", "StatisticsFrame", "Print_choice", "cmdPrint"})
            QVERIFY2(ui().visible(name), name);
        QVERIFY(!ui().visible("SurveyList") && !ui().visible("SurveyPrompt"));
        const flow::BreakdownInputs inputs = flow::BreakdownInputs::of(m_app->state.current.record());
        QCOMPARE((QStringList{inputs.batchNumber, inputs.startDate, inputs.startTime, inputs.stopDate,
                              inputs.stopTime}),
                 (QStringList{"050302-B", "05/03/02", "08:00 AM", "05/04/02", "04:30 PM"}));
    }
    void bandCaptionsFollowTheUnit_data()
    {
        QTest::addColumn<QStringList>("units"); // one survey per unit, chosen in this order
        QTest::addColumn<QString>("captions");  // the heading, then the six bands
        const QString mph = "MPH Over Speed Limit: 1-5 6-10 11-15 16-20 21-25 26+";
        test::row("KPH", QStringList{"KPH"}, "KPH Over Speed Limit: 1-10 11-20 21-30 31-40 41-50 51+");
        test::row("lower-case kph", QStringList{"kph"}, mph);
        test::row("KPH then MPH", QStringList{"KPH", "MPH"}, mph);
    }
    void bandCaptionsFollowTheUnit()
    {
        QFETCH(QStringList, units);
        QFETCH(QString, captions);
        for (int i = 0; i < units.size(); ++i)
            store(QStringLiteral("05030%1-A").arg(i), units[i]);
        m_app->start();
        for (int i = 0; i < units.size(); ++i)
            choose(QStringLiteral("05030%1-A").arg(i));
        QCOMPARE(ui().text("radar_mode"), units.last());
        QString shown = ui().text("BandHeading") + ':';
        for (const char* band : {"Over_5", "Over_10", "Over_15", "Over_20", "Over_25", "Label73"})
            shown += ' ' + ui().text(QLatin1String(band) + QStringLiteral("Caption"));
        QCOMPARE(shown, captions);
    }
    void surveyWithoutStatisticsShowsNoValues()
    {
        store("050302-A");
        store("050302-B", "MPH", false);
        m_app->start();
        choose("050302-A");
        choose("050302-B");
        QCOMPARE(ui().text("Batch_Number"), "050302-B");
        // Not the statistics of the survey shown before.
        QCOMPARE(ui().text("Total_Veh"), QString());
        QCOMPARE(ui().text("Batch_Date"), QString());
    }

    // A database that cannot be read while the list or the survey is read
    // on the worker: the failure reaches the window, which names it.
    void unreadableDatabaseIsTold_data()
    {
        QTest::addColumn<QString>("told");
        test::row("list", "The stored surveys cannot be listed: ");
        test::row("load", "Survey 050302-A cannot be shown: ");
    }
    void unreadableDatabaseIsTold()
    {
        QFETCH(QString, told);
        store("050302-A");
        m_app->start();
        QFile file(m_app->folder.databasePath());
        QVERIFY(file.open(QIODevice::ReadWrite) && file.write(QByteArray(4096, 'x')) == 4096);
        file.close();
        m_app->messages.clear();
        if (QByteArray(QTest::currentDataTag()) == "list")
            ui().click("SelectSurvey");
        else
            reports()->chooseSurvey("050302-A");
        QVERIFY(ui().workDone());
        QVERIFY2(m_app->messages.texts().size() == 1 && m_app->messages.last().startsWith(told),
                 qPrintable(m_app->messages.texts().join(" / ")));
    }

    void flowButtons()
    {
        store("050302-A");
        m_app->start();
        choose("050302-A");
        m_app->window->tabs()->setCurrentIndex(2);
        // "R E S E T" is disabled while the rows reach the grid.
        auto* reset = ui().child<QPushButton>("Reset");
        QList<bool> resetEnabled;
        connect(m_app->window->graphsTab()->breakdownModel(), &QAbstractItemModel::modelReset, this,
                [&] { resetEnabled << reset->isEnabled(); });
        // The time spans; the second breakdown replaces the first.
        const QString total(20, '-');
        const struct {
            const char* button;
            int reportChoice;
            QStringList spans;
            Qt::Alignment spanAlignment;
        } flows[] = {
            {"HourFlow", 5, {"08:00 - 09:00", "09:00 - 10:00", "10:00 - 11:00", total, ""}, Qt::AlignHCenter},
            {"QuarterHourFlow",
             4,
             {"08:00 - 08:15", "08:15 - 08:30", "08:30 - 08:45", "08:45 - 09:00", total, "09:00 - 09:15",
              "09:15 - 09:30", "09:30 - 09:45", "09:45 - 10:00", total, "10:00 - 10:15", "10:15 - 10:30",
              total, ""},
             Qt::AlignLeft},
        };
        for (const auto& flow : flows) {
            resetEnabled.clear();
            ui().click(flow.button);
            QTRY_VERIFY(!m_app->window->isBusy());
            QVERIFY(!resetEnabled.isEmpty() && !resetEnabled.contains(true));
            QVERIFY(reset->isEnabled());
            QCOMPARE(int(m_app->state.current.reportChoice()), flow.reportChoice);
            QVERIFY(ui().visible("GridFrame") && !ui().visible("GraphFrame"));
            // The arrow marks the flow button whose grid is on show, alone.
            for (int marker = 1; marker <= 5; ++marker)
                QCOMPARE(ui().visible(QStringLiteral("GraphType%1").arg(marker)),
                         marker == flow.reportChoice);
            QCOMPARE(m_app->messages.texts(), QStringList());

            const QAbstractItemModel* model = m_app->window->graphsTab()->flowGrid()->model();
            QStringList spans, headings;
            for (int row = 0; row < model->rowCount(); ++row)
                spans << model->index(row, 1).data().toString();
            QCOMPARE(spans, flow.spans);
            QCOMPARE(model->index(0, 0).data().toString(), "05/03/02");
            QCOMPARE(model->index(model->rowCount() - 1, 3).data().toString(), "4");
            for (int column = 0; column < 4; ++column)
                headings << model->headerData(column, Qt::Horizontal).toString();
            QCOMPARE(headings, (QStringList{"Date", "Time Span", "Veh Count", "Hour Total"}));
            const auto alignment = [&](int column) {
                return model->index(0, column).data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
                       Qt::AlignHorizontal_Mask;
            };
            QCOMPARE(alignment(1), flow.spanAlignment);
            QCOMPARE(alignment(2), Qt::AlignRight); // counts stand right in both grids
        }
    }

private:
    const test::WindowProbe& ui() const { return m_app->ui; }
    app::ReportsTab* reports() const { return m_app->window->reportsTab(); }
    // A survey from 08:05 to 10:20 with four vehicles.
    void store(const QString& batch, const QString& unit = "MPH", bool withSummary = true)
    {
        test::Survey survey;
        survey.batchNumber = batch;
        survey.unit = unit;
        survey.start = test::at("05/03/02 08:05");
        survey.stop = test::at("05/03/02 10:20");
        survey.passAt({"05/03/02 08:05", "05/03/02 09:00", "05/03/02 09:59", "05/03/02 10:20"});
        survey.withSummary = withSummary;
        test::storeSurvey(m_app->folder.databasePath(), survey);
    }
    void choose(const QString& batch)
    {
        m_app->window->tabs()->setCurrentIndex(1);
        ui().click("SelectSurvey");
        QVERIFY2(ui().clickItem("SurveyList", batch), qPrintable(batch));
    }

    std::unique_ptr<test::AppUnderTest> m_app;
};
QTEST_MAIN(TstSelection)
#include "tst_selection.moc"
