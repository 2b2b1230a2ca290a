#include "app/AdminTab.h"
#include "app/BoundViews.h"
#include "app/GraphsTab.h"
#include "app/ReportsTab.h"
#include "db/Connection.h"
#include "db/Schema.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace pelmor;

namespace {

// The room the main window gives a tab page, with a little to spare.
const QSize kPageSize(1150, 700);

// The three tabs on one set of views, as the main window holds them.
struct Tabs {
    Tabs()
        : views(&owner)
        , reports(views)
        , graphs(views)
        , admin(views)
    {
        for (QWidget* tab : {static_cast<QWidget*>(&reports), static_cast<QWidget*>(&graphs),
                             static_cast<QWidget*>(&admin)}) {
            tab->resize(kPageSize);
            tab->show();
        }
    }

    QWidget* tab(const QString& name)
    {
        if (name == QLatin1String("reports"))
            return &reports;
        if (name == QLatin1String("graphs"))
            return &graphs;
        return &admin;
    }

    QObject owner;
    app::BoundViews views;
    app::ReportsTab reports;
    app::GraphsTab graphs;
    app::AdminTab admin;
};

// The text a control shows: a label's or button's caption, a frame's title,
// a box's or list's text.
QString shownText(const QWidget* widget)
{
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (const auto* frame = qobject_cast<const QGroupBox*>(widget))
        return frame->title();
    if (const auto* box = qobject_cast<const QLineEdit*>(widget))
        return box->text();
    if (const auto* list = qobject_cast<const QComboBox*>(widget))
        return list->currentText();
    return QString();
}

// The widgets the tabs name themselves; Qt's own parts are named "qt_...".
QList<QWidget*> namedWidgets(QWidget* tab)
{
    QList<QWidget*> named;
    const QList<QWidget*> all = tab->findChildren<QWidget*>();
    for (QWidget* widget : all) {
        if (!widget->objectName().isEmpty() && !widget->objectName().startsWith(QLatin1String("qt_")))
            named << widget;
    }
    return named;
}

} // namespace

class TabsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void controls_data();
    void controls();
    void startState_data();
    void startState();
    void listContents_data();
    void listContents();
    void graphImageKeepsItsProportions();
    void layoutFits_data();
    void layoutFits();
    void boundValues_data();
    void boundValues();

private:
    QTemporaryDir m_folder;
    std::unique_ptr<Tabs> m_fresh;  // views never opened
    std::unique_ptr<Tabs> m_opened; // views on a database with one survey
};

void TabsTest::initTestCase()
{
    QVERIFY(m_folder.isValid());
    m_fresh = std::make_unique<Tabs>();
    m_opened = std::make_unique<Tabs>();

    const QString path = m_folder.filePath(QStringLiteral("pelmor.mdb"));
    db::createEmptyDatabase(path);
    {
        db::Connection connection(path);
        connection.execute(QStringLiteral(
            "insert into Header (Batch_Number, Location, Zone, Direction, Violation_Alert, "
            "Blank_Speed, Alarm_Speed, Radar_Mode, Field_Setup) values ('050302-A', 'Main St', "
            "'School', 'North', '35', '99', '50', 'KPH', 'J. Smith')"));
        connection.execute(QStringLiteral(
            "insert into Summary (Batch_Number, Posted_Limit, Number_Under, Number_Over, "
            "Averge_Over, Min_Speed, Max_Speed, Average_Speed, Pace_Low, Pace_High, Pace_Total, "
            "Pace_Percent, [85th_Percentile], Total_Vehicles, Total_Approach, Total_Receeding, "
            "Total_Unknown, Start_Time, Stop_Time, Total_Time, Start_Date, Stop_Date, Over_5, "
            "Over_10, Over_15, Over_20, Over_25, Over_26) values ('050302-A', '35', '410', '95', "
            "'41.2', '12', '63', '33.4', '28.4', '38.4', '301', '59 %', '39.2', '505', '250', "
            "'240', '15', '08:00 AM', '04:30 PM', '32:30', '05/03/02', '05/04/02', '61', '21', "
            "'8', '3', '1', '2')"));
        connection.execute(QStringLiteral("insert into Agency (Admin_Agency) values ('Springfield Police')"));
        connection.execute(QStringLiteral("insert into Officer (Admin_Officer) values ('Sgt. Jones')"));
    }
    QCOMPARE(m_opened->views.open(path), QString());
}

void TabsTest::controls_data()
{
    QTest::addColumn<QString>("tab");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text"); // null: the text is not fixed

    // Controls whose text is not fixed are listed with a null text.
    const char* const rows[][4] = {
        {"reports", "ReportsHeading", "QLabel", "Pelmor Data Reporter"},
        {"reports", "SelectSurvey", "QPushButton", "Select Survey"},
        {"reports", "SurveyList", "QListWidget", nullptr},
        {"reports", "SurveyPrompt", "QLabel", "You must first select a survey to begin reports."},
        {"reports", "SurveyFrame", "QGroupBox", "Survey"},
        {"reports", "StatisticsFrame", "QGroupBox", "Speed Statistics"},
        {"reports", "CurrentCaption", "QLabel", "Current"},
        {"reports", "ChoiceCaption", "QLabel", "Choice"},
        {"reports", "BatchChoice", "QLineEdit", ""},
        {"reports", "Performed_By", "QLabel", ""},
        {"reports", "BandHeading", "QLabel", "MPH Over Speed Limit"},
        {"reports", "Min_Radar", "QLabel", "5"},
        {"reports", "Max_Radar", "QLabel", "200"},
        {"reports", "PaceHelp", "QPushButton", "Pace"},
        {"reports", "PercentileHelp", "QPushButton", "85th Percentile"},
        {"reports", "Print_choice", "QComboBox", "85th Percentile Report"},
        {"reports", "cmdPrint", "QPushButton", "Print Selected Report"},
        {"reports", "Close", "QPushButton", "Close"},
        {"graphs", "GraphHint", "QLabel",
         "Click to choose type of graph wanted. Data taken from \"Process Data\" Tab"},
        {"graphs", "PercentileGraph", "QPushButton", "85th Percentile"},
        {"graphs", "TrafficVolume", "QPushButton", "Traffic Volume"},
        {"graphs", "TimeVolume", "QPushButton", "Time / Volume"},
        {"graphs", "GraphType1", "QLabel", nullptr},
        {"graphs", "GraphType2", "QLabel", nullptr},
        {"graphs", "GraphType3", "QLabel", nullptr},
        {"graphs", "QuarterHourFlow", "QPushButton", "15 Min Traffic Flow"},
        {"graphs", "HourFlow", "QPushButton", "HourTraffic Flow"},
        {"graphs", "Command12", "QPushButton", "Print Graph /Chart"},
        {"graphs", "PrinterModeFrame", "QGroupBox", "Printer Mode"},
        {"graphs", "PrinterBW", "QRadioButton", "Laser (B&&W)"},
        {"graphs", "PrinterColor", "QRadioButton", "Color Printer"},
        {"graphs", "GridFrame", "QGroupBox", nullptr},
        {"graphs", "FlowGrid", "QTableView", nullptr},
        {"graphs", "GraphFrame", "QGroupBox", nullptr},
        {"graphs", "GraphArea", "QLabel", ""},
        {"graphs", "Close", "QPushButton", "Close"},
        {"admin", "AgencyCaption", "QLabel", "Agency (Report Headings)"},
        {"admin", "OfficerCaption", "QLabel", "Officer (Preparing Reports)"},
        {"admin", "AgencyList", "QListWidget", nullptr},
        {"admin", "OfficerList", "QListWidget", nullptr},
        {"admin", "AgencyName", "QLineEdit", ""},
        {"admin", "OfficerName", "QLineEdit", ""},
        {"admin", "RefreshAgency", "QPushButton", ""},
        {"admin", "RefreshOfficer", "QPushButton", ""},
        {"admin", "AddAgency", "QPushButton", "Add Agency"},
        {"admin", "DeleteAgency", "QPushButton", "Delete Agency"},
        {"admin", "AddOfficer", "QPushButton", "Add Officer"},
        {"admin", "DeleteOfficer", "QPushButton", "Delete Officer"},
        {"admin", "Command19", "QPushButton", "Print Filled In Form"},
        {"admin", "Command20", "QPushButton", "Print Blank Form"},
        {"admin", "DatabaseManagement", "QPushButton", "Database Management"},
        {"admin", "Close", "QPushButton", "Close"},
        {"admin", "Close2", "QPushButton", "Close"},
    };
    for (const auto& row : rows) {
        QTest::addRow("%s %s", row[0], row[1])
            << QString::fromUtf8(row[0]) << QString::fromUtf8(row[1]) << QString::fromUtf8(row[2])
            << (row[3] ? QString::fromUtf8(row[3]) : QString());
    }
}

void TabsTest::controls()
{
    QFETCH(QString, tab);
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QString, text);

    // Exactly one control answers to each name, or lookups by name are ambiguous.
    const QList<QWidget*> found = m_fresh->tab(tab)->findChildren<QWidget*>(name);
    QCOMPARE(found.size(), 1);
    QWidget* widget = found.first();
    QVERIFY2(widget->inherits(kind.toLatin1().constData()), widget->metaObject()->className());
    if (!text.isNull())
        QCOMPARE(shownText(widget), text);
    // A button without a caption shows a picture and explains itself.
    if (auto* button = qobject_cast<QAbstractButton*>(widget); button && button->text().isEmpty()) {
        QVERIFY(!button->icon().isNull());
        QVERIFY(!button->toolTip().isEmpty());
    }
}

void TabsTest::startState_data()
{
    QTest::addColumn<QString>("tab");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<bool>("enabled");

    struct Row {
        const char* tab;
        const char* name;
        bool visible;
        bool enabled;
    };
    const Row rows[] = {
        {"reports", "SelectSurvey", true, true},
        {"reports", "SurveyPrompt", true, true},
        {"reports", "Close", true, true},
        {"reports", "SurveyList", false, true},
        {"reports", "SurveyFrame", false, true},
        {"reports", "StatisticsFrame", false, true},
        {"reports", "BatchChoice", false, true},
        {"reports", "Text2", false, true},
        {"reports", "PaceHelp", false, true},
        {"reports", "Print_choice", false, true},
        {"reports", "cmdPrint", false, true},
        {"graphs", "PercentileGraph", true, true},
        {"graphs", "QuarterHourFlow", true, true},
        {"graphs", "HourFlow", true, true},
        {"graphs", "Command12", true, true},
        {"graphs", "PrinterBW", true, true},
        {"graphs", "GraphHint", true, true},
        {"graphs", "Close", true, true},
        {"graphs", "GraphType1", false, true},
        {"graphs", "GraphType2", false, true},
        {"graphs", "GraphType3", false, true},
        {"graphs", "GridFrame", false, true},
        {"graphs", "GraphFrame", false, true},
        {"admin", "AgencyList", true, true},
        {"admin", "OfficerName", true, true},
        {"admin", "RefreshOfficer", true, true},
        {"admin", "AddAgency", true, true},
        {"admin", "AddOfficer", true, true},
        {"admin", "DeleteAgency", true, false},
        {"admin", "DeleteOfficer", true, false},
        {"admin", "SetZone", true, true},
        {"admin", "Command20", true, true},
        {"admin", "DatabaseManagement", true, true},
        {"admin", "Close", true, true},
        {"admin", "Close2", true, true},
    };
    for (const Row& row : rows) {
        QTest::addRow("%s %s", row.tab, row.name)
            << QString::fromUtf8(row.tab) << QString::fromUtf8(row.name) << row.visible << row.enabled;
    }
}

void TabsTest::startState()
{
    QFETCH(QString, tab);
    QFETCH(QString, name);
    QFETCH(bool, visible);
    QFETCH(bool, enabled);

    QWidget* page = m_fresh->tab(tab);
    auto* widget = page->findChild<QWidget*>(name);
    QVERIFY(widget);
    QCOMPARE(widget->isVisibleTo(page), visible);
    QCOMPARE(widget->isEnabled(), enabled);
}

void TabsTest::listContents_data()
{
    QTest::addColumn<QString>("tab");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("text");

    QStringList letters;
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        letters << QString(QLatin1Char(letter));

    QTest::newRow("Print_choice") << "reports"
                                  << "Print_choice"
                                  << QStringList{"85th Percentile Report", "Traffic Flow Report",
                                                 "Traffic Summary Report", "15 Minute Traffic Flow",
                                                 "Hour Traffic Flow"}
                                  << "85th Percentile Report";
    QTest::newRow("SetID") << "admin"
                           << "SetID" << letters << "A";
    QTest::newRow("SetDirection") << "admin"
                                  << "SetDirection"
                                  << QStringList{"North", "North East", "East", "South East",
                                                 "South", "South West", "West", "NW"}
                                  << "";
    QTest::newRow("SetZone") << "admin"
                             << "SetZone"
                             << QStringList{"School",      "Highway", "Railroad",   "Construction",
                                            "Residential", "Church",  "Interstate", "Hospital",
                                            "Commercial",  "Airport", "Parks & Rec"}
                             << "";
    QTest::newRow("SetMin") << "admin"
                            << "SetMin" << QStringList() << "5";
    QTest::newRow("SetMax") << "admin"
                            << "SetMax" << QStringList() << "200";
    QTest::newRow("SetCode") << "admin"
                             << "SetCode" << QStringList() << "";
}

void TabsTest::listContents()
{
    QFETCH(QString, tab);
    QFETCH(QString, name);
    QFETCH(QStringList, items);
    QFETCH(QString, text);

    auto* widget = m_fresh->tab(tab)->findChild<QWidget*>(name);
    QVERIFY(widget);
    QStringList shownItems;
    if (auto* list = qobject_cast<QComboBox*>(widget)) {
        for (int i = 0; i < list->count(); ++i)
            shownItems << list->itemText(i);
    }
    QCOMPARE(shownItems, items);
    QCOMPARE(shownText(widget), text);
}

void TabsTest::graphImageKeepsItsProportions()
{
    Tabs tabs;
    tabs.graphs.graphFrame()->show();
    QImage graph(800, 400, QImage::Format_RGB32);
    graph.fill(Qt::white);
    tabs.graphs.setGraphImage(graph);

    QLabel* area = tabs.graphs.graphArea();
    for (const QSize& page : {kPageSize, QSize(900, 900)}) {
        tabs.graphs.resize(page);
        QApplication::processEvents();
        const QSize shown = area->pixmap().size();
        QVERIFY(shown.width() <= area->width() && shown.height() <= area->height());
        // Fills the area in one direction, and keeps the 2 : 1 shape.
        QVERIFY(shown.width() == area->width() || shown.height() == area->height());
        QVERIFY(qAbs(shown.width() - 2 * shown.height()) <= 2);
    }
}

void TabsTest::layoutFits_data()
{
    QTest::addColumn<QString>("tab");
    QTest::addColumn<QStringList>("shown");

    QTest::newRow("reports at start") << "reports" << QStringList();
    QTest::newRow("reports survey chosen")
        << "reports"
        << QStringList{"SurveyList", "SurveyFrame", "StatisticsFrame", "Print_choice", "cmdPrint"};
    QTest::newRow("graphs at start") << "graphs" << QStringList();
    QTest::newRow("graphs with graph")
        << "graphs" << QStringList{"GraphFrame", "GraphType1", "GraphType2", "GraphType3"};
    QTest::newRow("graphs with grid") << "graphs" << QStringList{"GridFrame"};
    QTest::newRow("admin") << "admin" << QStringList();
}

void TabsTest::layoutFits()
{
    QFETCH(QString, tab);
    QFETCH(QStringList, shown);

    Tabs tabs;
    QWidget* page = tabs.tab(tab);
    for (const QString& name : shown)
        page->findChild<QWidget*>(name)->show();
    QApplication::processEvents();

    // The main window can hold the tab.
    QVERIFY(page->minimumSizeHint().width() <= kPageSize.width());
    QVERIFY(page->minimumSizeHint().height() <= kPageSize.height());

    QList<QWidget*> visible;
    for (QWidget* widget : namedWidgets(page)) {
        if (widget->isVisibleTo(page))
            visible << widget;
    }
    for (QWidget* widget : visible) {
        const QByteArray what = widget->objectName().toUtf8();
        // Inside the page, and not squeezed below its smallest readable size.
        const QRect onPage(widget->mapTo(page, QPoint(0, 0)), widget->size());
        QVERIFY2(page->rect().contains(onPage), what.constData());
        if (widget->sizePolicy().horizontalPolicy() != QSizePolicy::Ignored) {
            const QSize least = widget->minimumSizeHint();
            QVERIFY2(widget->width() >= least.width(), what.constData());
            QVERIFY2(widget->height() >= least.height(), what.constData());
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

void TabsTest::boundValues_data()
{
    QTest::addColumn<QString>("tab");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");

    const char* const reports[][2] = {
        {"Batch_Number", "050302-A"},
        {"Location", "Main St"},
        {"Zone", "School"},
        {"Direction", "North"},
        {"Posted_Speed", "35"},
        {"Cut_Off", "99"},
        {"High_Speed_Alarm", "50"},
        {"radar_mode", "KPH"},
        {"Performed_By", "J. Smith"},
        {"Batch_Date", "05/03/02"},
        {"End_Batch_Date", "05/04/02"},
        {"Start_Time", "08:00 AM"},
        {"Stop_Time", "04:30 PM"},
        {"Total_Time", "32:30"},
        {"Under_Limit", "410"},
        {"Over_Limit", "95"},
        {"Avg_Speed_Over", "41.2"},
        {"Low_Speed", "12"},
        {"High_Speed", "63"},
        {"Avg_Speed", "33.4"},
        {"Percent_85", "39.2"},
        {"Pace_Low", "28.4"},
        {"Pace_High", "38.4"},
        {"Pace_Total", "301"},
        {"Pace_Percent", "59 %"},
        {"Total_Veh", "505"},
        {"Approach", "250"},
        {"Receed", "240"},
        {"Unknown", "15"},
        {"Over_5", "61"},
        {"Over_10", "21"},
        {"Over_15", "8"},
        {"Over_20", "3"},
        {"Over_25", "1"},
        {"Label73", "2"},
        {"Min_Radar", "5"},
        {"Max_Radar", "200"},
        {"Text2", "Springfield Police"},
        {"Text3", "Sgt. Jones"},
    };
    for (const auto& row : reports)
        QTest::newRow(row[0]) << QStringLiteral("reports") << QString::fromUtf8(row[0])
                              << QString::fromUtf8(row[1]);
    QTest::newRow("AgencyName") << "admin"
                                << "AgencyName"
                                << "Springfield Police";
    QTest::newRow("OfficerName") << "admin"
                                 << "OfficerName"
                                 << "Sgt. Jones";
}

void TabsTest::boundValues()
{
    QFETCH(QString, tab);
    QFETCH(QString, name);
    QFETCH(QString, text);

    auto* widget = m_opened->tab(tab)->findChild<QWidget*>(name);
    QVERIFY(widget);
    QCOMPARE(shownText(widget), text);
    // The same control on never-opened views shows nothing of the survey.
    auto* fresh = m_fresh->tab(tab)->findChild<QWidget*>(name);
    QVERIFY(fresh);
    if (name != QLatin1String("Min_Radar") && name != QLatin1String("Max_Radar"))
        QCOMPARE(shownText(fresh), QString());
}

QTEST_MAIN(TabsTest)
#include "tst_tabs.moc"
