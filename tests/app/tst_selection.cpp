#include "SurveyFixture.h"
#include "TestSupport.h"
#include "app/AdminTab.h"
#include "app/AppState.h"
#include "app/BoundViews.h"
#include "app/GraphsTab.h"
#include "app/MainWindow.h"
#include "app/ReportsTab.h"
#include "db/Connection.h"
#include "db/Recordset.h"
#include "db/Schema.h"
#include "flow/FlowBreakdown.h"
#include "flow/widgets/BreakdownModel.h"
#include "flow/widgets/FlowGrid.h"
#include "stats/SurveyMessages.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <memory>

using namespace pelmor;

namespace {

const char* const kMphCaptions[] = {"1-5", "6-10", "11-15", "16-20", "21-25", "26+"};
const char* const kKphCaptions[] = {"1-10", "11-20", "21-30", "31-40", "41-50", "51+"};

QStringList texts(const QListWidget* list)
{
    QStringList all;
    for (int i = 0; i < list->count(); ++i)
        all << list->item(i)->text();
    return all;
}

} // namespace

class TstSelection : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void selectListsEachSurveyOnce();
    void selectOnEmptyDatabase();
    void chooseShowsTheSurvey();
    void bandCaptionsFollowTheUnit_data();
    void bandCaptionsFollowTheUnit();
    void surveyWithoutStatisticsShowsNoValues();

    void nameLists_data();
    void deleteTheOnlyName_data() { nameLists_data(); }
    void deleteTheOnlyName();
    void addedNameHeadsTheReports_data() { nameLists_data(); }
    void addedNameHeadsTheReports();

    void flowButtons_data();
    void flowButtons();
    void secondFlowReplacesTheFirst();
    void flowWithoutSurveyChangesNothing();

private:
    template <typename T> T* child(const QString& name) const
    {
        T* found = m_window->findChild<T*>(name);
        if (!found)
            qFatal("no child %s", qPrintable(name));
        return found;
    }
    bool visible(const QString& name) const { return child<QWidget>(name)->isVisibleTo(m_window.get()); }
    void click(const QString& name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }
    void clickItem(const QString& list, const QString& text);
    void store(const QString& batch, const QString& unit = QStringLiteral("MPH"), bool withSummary = true);
    void storeNames(const QString& side, const QStringList& names);
    QStringList tableNames(const QString& side);
    void makeWindow();
    void choose(const QString& batch);

    std::unique_ptr<test::TempProgramFolder> m_folder;
    std::unique_ptr<test::RecordingMessages> m_messages;
    app::AppState m_state;
    std::unique_ptr<app::MainWindow> m_window;
};

void TstSelection::init()
{
    m_folder = std::make_unique<test::TempProgramFolder>();
    m_messages = std::make_unique<test::RecordingMessages>();
    m_state = app::AppState();
    m_state.programFolder = m_folder->path();
}

void TstSelection::cleanup()
{
    m_window.reset();
}

void TstSelection::store(const QString& batch, const QString& unit, bool withSummary)
{
    test::FixtureSurvey survey;
    survey.batch = batch;
    survey.unit = unit;
    survey.location = batch + QStringLiteral(" Main St");
    survey.start = test::at(QStringLiteral("05/03/02 08:05"));
    survey.stop = test::at(QStringLiteral("05/03/02 10:20"));
    survey.vehicles = test::vehiclesAt({QStringLiteral("05/03/02 08:05"), QStringLiteral("05/03/02 09:00"),
                                        QStringLiteral("05/03/02 09:59"), QStringLiteral("05/03/02 10:20")});
    survey.withSummary = withSummary;
    test::storeSurvey(m_folder->databasePath(), survey);
}

void TstSelection::storeNames(const QString& side, const QStringList& names)
{
    db::Connection connection(m_folder->databasePath());
    db::Recordset set = db::Recordset::openTable(connection, *db::findTable(side));
    for (const QString& name : names) {
        set.addNew();
        set.setValue(QStringLiteral("Admin_") + side, name);
        set.update();
    }
}

QStringList TstSelection::tableNames(const QString& side)
{
    db::Connection connection(m_folder->databasePath());
    db::Recordset set = db::Recordset::openTable(connection, *db::findTable(side));
    QStringList names;
    for (set.moveFirst(); !set.eof(); set.moveNext())
        names << set.text(QStringLiteral("Admin_") + side);
    return names;
}

void TstSelection::makeWindow()
{
    m_window = std::make_unique<app::MainWindow>(m_state, *m_messages);
    m_window->show();
}

void TstSelection::clickItem(const QString& listName, const QString& text)
{
    auto* list = child<QListWidget>(listName);
    const QList<QListWidgetItem*> items = list->findItems(text, Qt::MatchExactly);
    QVERIFY2(!items.isEmpty(), qPrintable(text));
    list->scrollToItem(items.first());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(items.first()).center());
}

void TstSelection::choose(const QString& batch)
{
    m_window->tabs()->setCurrentIndex(1);
    click(QStringLiteral("SelectSurvey"));
    clickItem(QStringLiteral("SurveyList"), batch);
}

void TstSelection::selectListsEachSurveyOnce()
{
    store(QStringLiteral("050302-A"));
    store(QStringLiteral("050302-B"));
    {
        // A batch number stored twice in Header is listed once.
        db::Connection connection(m_folder->databasePath());
        connection.execute(QStringLiteral("insert into Header (Batch_Number) values ('050302-A')"));
    }
    makeWindow();
    m_window->tabs()->setCurrentIndex(1);
    QVERIFY(!visible(QStringLiteral("SurveyList")));
    click(QStringLiteral("SelectSurvey"));
    QVERIFY(visible(QStringLiteral("SurveyList")));
    QStringList listed = texts(child<QListWidget>(QStringLiteral("SurveyList")));
    listed.sort();
    QCOMPARE(listed, (QStringList{QStringLiteral("050302-A"), QStringLiteral("050302-B")}));
    // Nothing is chosen yet.
    QVERIFY(visible(QStringLiteral("SurveyPrompt")));
    QVERIFY(!visible(QStringLiteral("SurveyFrame")));
    QCOMPARE(m_window->reportsTab()->batchChoice()->text(), QString());
}

void TstSelection::selectOnEmptyDatabase()
{
    makeWindow();
    m_window->tabs()->setCurrentIndex(1);
    click(QStringLiteral("SelectSurvey"));
    QVERIFY(visible(QStringLiteral("SurveyList")));
    QCOMPARE(child<QListWidget>(QStringLiteral("SurveyList"))->count(), 0);
    QVERIFY(visible(QStringLiteral("SurveyPrompt")));
    QVERIFY(!visible(QStringLiteral("StatisticsFrame")));
    QCOMPARE(m_messages->texts(), QStringList());
}

void TstSelection::chooseShowsTheSurvey()
{
    store(QStringLiteral("050302-A"));
    store(QStringLiteral("050302-B"));
    makeWindow();
    choose(QStringLiteral("050302-B"));

    app::ReportsTab* tab = m_window->reportsTab();
    QCOMPARE(tab->batchChoice()->text(), QStringLiteral("050302-B"));
    QCOMPARE(tab->valueLabel(QStringLiteral("Batch_Number"))->text(), QStringLiteral("050302-B"));
    QCOMPARE(tab->valueLabel(QStringLiteral("Location"))->text(), QStringLiteral("050302-B Main St"));
    QCOMPARE(tab->valueLabel(QStringLiteral("Start_Time"))->text(), QStringLiteral("08:05 AM"));
    QCOMPARE(tab->valueLabel(QStringLiteral("End_Batch_Date"))->text(), QStringLiteral("05/03/02"));
    QCOMPARE(tab->valueLabel(QStringLiteral("Total_Veh"))->text(), QStringLiteral("4"));
    for (const char* shown : {"SurveyFrame", "StatisticsFrame", "Print_choice", "cmdPrint"})
        QVERIFY2(visible(QLatin1String(shown)), shown);
    for (const char* hidden : {"SurveyList", "SurveyPrompt"})
        QVERIFY2(!visible(QLatin1String(hidden)), hidden);

    const flow::BreakdownInputs inputs = tab->breakdownInputs();
    QCOMPARE((QStringList{inputs.batchNumber, inputs.startDate, inputs.startTime, inputs.stopDate,
                          inputs.stopTime}),
             (QStringList{QStringLiteral("050302-B"), QStringLiteral("05/03/02"), QStringLiteral("08:05 AM"),
                          QStringLiteral("05/03/02"), QStringLiteral("10:20 AM")}));
}

void TstSelection::bandCaptionsFollowTheUnit_data()
{
    QTest::addColumn<QStringList>("units"); // one survey per unit, chosen in this order
    QTest::addColumn<bool>("kph");

    QTest::newRow("KPH") << QStringList{QStringLiteral("KPH")} << true;
    QTest::newRow("MPH") << QStringList{QStringLiteral("MPH")} << false;
    QTest::newRow("lower-case kph") << QStringList{QStringLiteral("kph")} << false;
    QTest::newRow("KPH then MPH") << QStringList{QStringLiteral("KPH"), QStringLiteral("MPH")} << false;
    QTest::newRow("MPH then KPH") << QStringList{QStringLiteral("MPH"), QStringLiteral("KPH")} << true;
}

void TstSelection::bandCaptionsFollowTheUnit()
{
    QFETCH(QStringList, units);
    QFETCH(bool, kph);

    for (int i = 0; i < units.size(); ++i)
        store(QStringLiteral("05030%1-A").arg(i), units[i]);
    makeWindow();
    for (int i = 0; i < units.size(); ++i)
        choose(QStringLiteral("05030%1-A").arg(i));

    app::ReportsTab* tab = m_window->reportsTab();
    QCOMPARE(tab->unitLabel()->text(), units.last());
    QCOMPARE(tab->bandHeading()->text(),
             kph ? QStringLiteral("KPH Over Speed Limit") : QStringLiteral("MPH Over Speed Limit"));
    for (size_t band = 0; band < 6; ++band)
        QCOMPARE(tab->bandCaptions()[band]->text(),
                 QLatin1String(kph ? kKphCaptions[band] : kMphCaptions[band]));
}

void TstSelection::surveyWithoutStatisticsShowsNoValues()
{
    store(QStringLiteral("050302-A"));
    store(QStringLiteral("050302-B"), QStringLiteral("MPH"), false);
    makeWindow();
    choose(QStringLiteral("050302-A"));
    choose(QStringLiteral("050302-B"));
    app::ReportsTab* tab = m_window->reportsTab();
    QCOMPARE(tab->valueLabel(QStringLiteral("Location"))->text(), QStringLiteral("050302-B Main St"));
    // Not the statistics of the survey shown before.
    QCOMPARE(tab->valueLabel(QStringLiteral("Total_Veh"))->text(), QString());
    QCOMPARE(tab->valueLabel(QStringLiteral("Batch_Date"))->text(), QString());
}

void TstSelection::nameLists_data()
{
    QTest::addColumn<QString>("side");
    QTest::addColumn<QString>("placeholder");
    QTest::addColumn<QString>("reportBox"); // "Report Prepared For:" or "Report Prepared By:"
    QTest::newRow("agency") << "Agency"
                            << "(Agency Name)"
                            << "Text2";
    QTest::newRow("officer") << "Officer"
                             << "(Officer Name)"
                             << "Text3";
}

void TstSelection::deleteTheOnlyName()
{
    QFETCH(QString, side);
    QFETCH(QString, placeholder);
    storeNames(side, {QStringLiteral("Springfield")});
    makeWindow();
    m_window->tabs()->setCurrentIndex(3);
    auto* list = child<QListWidget>(side + QStringLiteral("List"));
    auto* remove = child<QPushButton>(QStringLiteral("Delete") + side);
    QCOMPARE(list->count(), 0); // filled by a refresh only
    click(QStringLiteral("Refresh") + side);
    QVERIFY(!remove->isEnabled());
    clickItem(side + QStringLiteral("List"), QStringLiteral("Springfield"));
    QVERIFY(remove->isEnabled());
    click(QStringLiteral("Delete") + side);
    QVERIFY(!remove->isEnabled());
    // The emptied table gets the placeholder, once.
    QCOMPARE(texts(list), QStringList{placeholder});
    click(QStringLiteral("Refresh") + side);
    QCOMPARE(texts(list), QStringList{placeholder});
    QCOMPARE(tableNames(side), QStringList{placeholder});
    QCOMPARE(child<QLineEdit>(side + QStringLiteral("Name"))->text(), placeholder);
    QCOMPARE(m_messages->texts(), QStringList());
}

void TstSelection::addedNameHeadsTheReports()
{
    QFETCH(QString, side);
    QFETCH(QString, reportBox);
    storeNames(side, {QStringLiteral("Springfield"), QStringLiteral("Ogden")});
    makeWindow();
    m_window->tabs()->setCurrentIndex(3);
    QCOMPARE(child<QLineEdit>(reportBox)->text(), QStringLiteral("Springfield"));

    click(QStringLiteral("Add") + side);
    auto* nameBox = child<QLineEdit>(side + QStringLiteral("Name"));
    QCOMPARE(nameBox->text(), QString());
    QTest::keyClicks(nameBox, QStringLiteral("O'Brien County"));
    click(QStringLiteral("Refresh") + side);
    const QStringList names{QStringLiteral("Springfield"), QStringLiteral("Ogden"),
                            QStringLiteral("O'Brien County")};
    QCOMPARE(texts(child<QListWidget>(side + QStringLiteral("List"))), names);
    QCOMPARE(tableNames(side), names);

    for (const QString& name : {names[2], names[1]}) {
        clickItem(side + QStringLiteral("List"), name);
        QCOMPARE(nameBox->text(), name);
        QCOMPARE(child<QLineEdit>(reportBox)->text(), name);
    }
    // The other list's box keeps its own record.
    const QString other =
        reportBox == QLatin1String("Text2") ? QStringLiteral("Text3") : QStringLiteral("Text2");
    QCOMPARE(child<QLineEdit>(other)->text(), QString());
    QCOMPARE(m_messages->texts(), QStringList());
}

void TstSelection::flowButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("reportChoice");
    QTest::addColumn<QStringList>("spans"); // the Time Span column
    QTest::addColumn<bool>("spanLeftAligned");

    const QString total(20, QLatin1Char('-'));
    QTest::newRow("15 Min Traffic Flow") << "QuarterHourFlow" << 4
                                         << QStringList{QStringLiteral("08:00 - 08:15"),
                                                        QStringLiteral("08:15 - 08:30"),
                                                        QStringLiteral("08:30 - 08:45"),
                                                        QStringLiteral("08:45 - 09:00"),
                                                        total,
                                                        QStringLiteral("09:00 - 09:15"),
                                                        QStringLiteral("09:15 - 09:30"),
                                                        QStringLiteral("09:30 - 09:45"),
                                                        QStringLiteral("09:45 - 10:00"),
                                                        total,
                                                        QStringLiteral("10:00 - 10:15"),
                                                        QStringLiteral("10:15 - 10:30"),
                                                        total,
                                                        QString()}
                                         << true;
    QTest::newRow("HourTraffic Flow")
        << "HourFlow" << 5
        << QStringList{QStringLiteral("08:00 - 09:00"), QStringLiteral("09:00 - 10:00"),
                       QStringLiteral("10:00 - 11:00"), total, QString()}
        << false;
}

void TstSelection::flowButtons()
{
    QFETCH(QString, button);
    QFETCH(int, reportChoice);
    QFETCH(QStringList, spans);
    QFETCH(bool, spanLeftAligned);

    store(QStringLiteral("050302-A"));
    makeWindow();
    choose(QStringLiteral("050302-A"));
    m_window->tabs()->setCurrentIndex(2);

    // "R E S E T" is disabled while the rows reach the grid.
    auto* reset = child<QPushButton>(QStringLiteral("Reset"));
    QList<bool> resetEnabled;
    connect(m_window->views().data6(), &db::RecordView::currentChanged, this,
            [&] { resetEnabled << reset->isEnabled(); });
    click(button);
    QVERIFY(!resetEnabled.isEmpty());
    QVERIFY(!resetEnabled.contains(true));
    QVERIFY(reset->isEnabled());

    QCOMPARE(m_state.reportChoice, qint16(reportChoice));
    QVERIFY(visible(QStringLiteral("GridFrame")));
    QVERIFY(!visible(QStringLiteral("GraphFrame")));
    QCOMPARE(m_messages->texts(), QStringList());

    QTableView* grid = m_window->graphsTab()->flowGrid();
    QAbstractItemModel* model = grid->model();
    QStringList shownSpans;
    for (int row = 0; row < model->rowCount(); ++row)
        shownSpans << model->index(row, 1).data().toString();
    QCOMPARE(shownSpans, spans);
    QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("05/03/02"));
    QCOMPARE(model->index(model->rowCount() - 1, 3).data().toString(), QStringLiteral("4"));

    QStringList headings;
    for (int column = 0; column < 4; ++column)
        headings << model->headerData(column, Qt::Horizontal).toString();
    QCOMPARE(headings, (QStringList{QStringLiteral("Date"), QStringLiteral("Time Span"),
                                    QStringLiteral("Veh Count"), QStringLiteral("Hour Total")}));
    QCOMPARE(grid->columnWidth(1), flow::kTimeSpanTwips * grid->logicalDpiX() / 1440);
    const auto alignment = model->index(0, 1).data(Qt::TextAlignmentRole).value<Qt::Alignment>();
    QCOMPARE(alignment & Qt::AlignHorizontal_Mask, spanLeftAligned ? Qt::AlignLeft : Qt::AlignHCenter);
    // Counts stand right in both grids.
    QCOMPARE(model->index(0, 2).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask,
             Qt::AlignRight);
}

void TstSelection::secondFlowReplacesTheFirst()
{
    store(QStringLiteral("050302-A"));
    makeWindow();
    choose(QStringLiteral("050302-A"));
    m_window->tabs()->setCurrentIndex(2);
    click(QStringLiteral("QuarterHourFlow"));
    QCOMPARE(m_window->graphsTab()->flowGrid()->model()->rowCount(), 14);
    click(QStringLiteral("HourFlow"));
    const auto& rows = m_window->graphsTab()->breakdownModel()->rows();
    QCOMPARE(rows.size(), size_t(5));
    QCOMPARE(rows.front().cTime, QStringLiteral("08:00 - 09:00"));
    QCOMPARE(m_state.reportChoice, qint16(5));
}

void TstSelection::flowWithoutSurveyChangesNothing()
{
    store(QStringLiteral("050302-A"));
    {
        db::Connection connection(m_folder->databasePath());
        connection.execute(QStringLiteral("insert into Breakdown (cDate) values ('earlier')"));
    }
    makeWindow();
    m_window->tabs()->setCurrentIndex(2);
    for (const char* button : {"QuarterHourFlow", "HourFlow"}) {
        m_messages->clear();
        click(QLatin1String(button));
        QCOMPARE(m_messages->texts(), QStringList{stats::noSurveyMessage()});
        QCOMPARE(m_state.reportChoice, qint16(0));
        QVERIFY(!visible(QStringLiteral("GridFrame")));
        QVERIFY(child<QPushButton>(QStringLiteral("Reset"))->isEnabled());
        QCOMPARE(m_window->graphsTab()->breakdownModel()->rows().size(), size_t(1));
    }
}

QTEST_MAIN(TstSelection)
#include "tst_selection.moc"
