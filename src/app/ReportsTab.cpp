#include "app/ReportsTab.h"

#include "session/CurrentSurvey.h"

#include "app/ReportNames.h"
#include "db/DbError.h"
#include "reports/Documents.h"
#include "store/NameLists.h"
#include "store/SurveyStore.h"
#include "survey/SurveyRecord.h"
#include "text/Formats.h"
#include "ui/Style.h"
#include "worker/Run.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <utility>

namespace pelmor::app {
namespace {

// Width of the left-hand column with the survey choice and the print controls.
constexpr int kPanelWidth = 210;
// Width of a value box in the statistics columns: room for "100.0", "100 %"
// or millions of vehicles ("9,999,999"), with the box's padding and frame.
int statisticWidth(const QWidget* widget)
{
    return widget->fontMetrics().horizontalAdvance(QStringLiteral("9,999,999")) + 12;
}

// Which record field each value label shows, by the label's name. A count
// is shown with thousands separators, as 1,000,000.
struct FieldLabel {
    const char* field;
    const char* label;
    bool count = false;
};

// Fields of the current survey's header row.
constexpr FieldLabel kHeaderFields[] = {
    {"Batch_Number", "Batch_Number"},
    {"Location", "Location"},
    {"Zone", "Zone"},
    {"Direction", "Direction"},
    {"Violation_Alert", "Posted_Speed"},
    {"Blank_Speed", "Cut_Off"},
    {"Alarm_Speed", "High_Speed_Alarm"},
    {"Radar_Mode", "radar_mode"},
    {"Field_Setup", "Performed_By"},
};

// Fields of the current survey's statistics row.
constexpr FieldLabel kSummaryFields[] = {
    {"Start_Date", "Batch_Date"},
    {"Stop_Date", "End_Batch_Date"},
    {"Start_Time", "Start_Time"},
    {"Stop_Time", "Stop_Time"},
    {"Total_Time", "Total_Time"},
    {"Number_Under", "Under_Limit", true},
    {"Number_Over", "Over_Limit", true},
    {"Averge_Over", "Avg_Speed_Over"},
    {"Min_Speed", "Low_Speed"},
    {"Max_Speed", "High_Speed"},
    {"Average_Speed", "Avg_Speed"},
    {"85th_Percentile", "Percent_85"},
    {"Pace_Low", "Pace_Low"},
    {"Pace_High", "Pace_High"},
    {"Pace_Total", "Pace_Total", true},
    {"Pace_Percent", "Pace_Percent"},
    {"Total_Vehicles", "Total_Veh", true},
    {"Total_Approach", "Approach", true},
    {"Total_Receeding", "Receed", true},
    {"Total_Unknown", "Unknown", true},
    {"Over_5", "Over_5", true},
    {"Over_10", "Over_10", true},
    {"Over_15", "Over_15", true},
    {"Over_20", "Over_20", true},
    {"Over_25", "Over_25", true},
    {"Over_26", "Label73", true},
};

// The labels of the six over-limit band counts.
const char* const kBandValues[] = {"Over_5", "Over_10", "Over_15", "Over_20", "Over_25", "Label73"};

// A hidden widget keeps its place in the layout, so the rest of the tab does
// not shift when it is shown or hidden.
void keepRoomWhenHidden(QWidget* widget)
{
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
}

QFrame* makeDivider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace

ReportsTab::ReportsTab(ReportNames& names, session::CurrentSurvey& current, QWidget* parent)
    : QWidget(parent)
    , m_names(names)
    , m_current(current)
    , m_task(new worker::BackgroundTask(this))
{
    setObjectName(QStringLiteral("ReportsTab"));

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(8, 8, 8, 8);
    outer->setSpacing(8);
    outer->addWidget(
        ui::makeHeading(QStringLiteral("Pelmor Data Reporter"), this, QStringLiteral("ReportsHeading")));

    auto* body = new QHBoxLayout;
    body->setSpacing(10);
    body->addWidget(buildSelectionPanel());

    auto* details = new QVBoxLayout;
    details->setSpacing(10);
    details->addWidget(buildSurveyFrame());
    details->addWidget(buildStatisticsFrame());
    details->addStretch(1);
    body->addLayout(details, 1);
    outer->addLayout(body, 1);

    // Shown only: the agency and officer are chosen on the setup tab.
    showNames();
    connect(&m_names, &ReportNames::changed, this, &ReportsTab::showNames);
    connect(m_selectSurvey, &QPushButton::clicked, this, &ReportsTab::selectSurvey);
    connect(m_surveyList, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { chooseSurvey(item->data(Qt::UserRole).toString()); });
    connect(m_printButton, &QPushButton::clicked, this,
            [this] { Q_EMIT printRequested(m_reportChoice->currentText()); });
    connect(m_paceHelp, &QPushButton::clicked, this, &ReportsTab::paceHelpRequested);
    connect(m_percentileHelp, &QPushButton::clicked, this, &ReportsTab::percentileHelpRequested);
    connect(&m_current, &session::CurrentSurvey::surveyChanged, this, &ReportsTab::showSurvey);

    m_surveyList->hide();
    m_surveyFrame->hide();
    m_statisticsFrame->hide();
    m_reportChoice->hide();
    m_printButton->hide();
}

QWidget* ReportsTab::buildSelectionPanel()
{
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("SelectionPanel"));
    panel->setFixedWidth(kPanelWidth);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);

    m_selectSurvey = ui::makeButton(QStringLiteral("Select Survey"), QStringLiteral("SelectSurvey"), panel);
    m_selectSurvey->setToolTip(QStringLiteral("List the surveys stored in the database"));
    column->addWidget(m_selectSurvey);

    m_surveyPrompt = ui::makeNote(QStringLiteral("You must first select a survey to begin reports."), panel,
                                  QStringLiteral("SurveyPrompt"));
    // The first thing to read on the tab, so it stands out as a hint box.
    m_surveyPrompt->setStyleSheet(
        QStringLiteral("background: #fff6d5; border: 1px solid #e2c26a; border-radius: 3px;"
                       " padding: 8px; font-size: 10pt;"));
    column->addWidget(m_surveyPrompt);

    m_surveyList = new QListWidget(panel);
    ui::showFullTextWhenCut(m_surveyList);
    m_surveyList->setObjectName(QStringLiteral("SurveyList"));
    // An entry names the survey at length: it wraps in the narrow column.
    m_surveyList->setWordWrap(true);
    m_surveyList->setAlternatingRowColors(true);
    m_surveyList->setSpacing(2);
    m_surveyList->setToolTip(QStringLiteral("Click a survey to show it"));
    column->addWidget(m_surveyList, 4);
    column->addStretch(1);

    // The report list: one of its reports is always chosen, nothing can be
    // typed into it.
    m_reportChoice = ui::makeList(QStringLiteral("Print_choice"), reports::reportListTexts(), false, panel);
    m_reportChoice->setCurrentIndex(0);
    m_reportChoice->setToolTip(QStringLiteral("The report to print"));
    keepRoomWhenHidden(m_reportChoice);
    column->addWidget(m_reportChoice);

    m_printButton =
        ui::makeButton(QStringLiteral("Print Selected Report"), QStringLiteral("cmdPrint"), panel);
    keepRoomWhenHidden(m_printButton);
    column->addWidget(m_printButton);
    column->addSpacing(16);

    auto* close = ui::makeButton(QStringLiteral("Close"), QStringLiteral("Close"), panel);
    close->setToolTip(QStringLiteral("End the program"));
    connect(close, &QPushButton::clicked, this, &ReportsTab::closeRequested);
    column->addWidget(close);
    return panel;
}

QLabel* ReportsTab::addValue(QGridLayout* grid, int row, int column, const QString& caption,
                             const QString& name)
{
    QWidget* parent = grid->parentWidget();
    grid->addWidget(ui::makeCaption(caption, parent, name + QStringLiteral("Caption")), row, column);
    QLabel* value = ui::makeValueLabel(name, parent);
    grid->addWidget(value, row, column + 1);
    m_values.insert(name, value);
    return value;
}

QGroupBox* ReportsTab::buildSurveyFrame()
{
    m_surveyFrame = ui::makeFrame(QStringLiteral("Survey"), QStringLiteral("SurveyFrame"), this);
    keepRoomWhenHidden(m_surveyFrame);
    auto* grid = new QGridLayout(m_surveyFrame);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);

    // The current survey stands apart at the left, under its two-line caption.
    grid->addWidget(
        ui::makeCaption(QStringLiteral("Current"), m_surveyFrame, QStringLiteral("CurrentCaption")), 0, 0);
    grid->addWidget(ui::makeCaption(QStringLiteral("Choice"), m_surveyFrame, QStringLiteral("ChoiceCaption")),
                    1, 0);
    m_batchChoice = ui::makeTextBox(QStringLiteral("BatchChoice"), m_surveyFrame);
    m_batchChoice->setReadOnly(true);
    m_batchChoice->setFixedWidth(96);
    m_batchChoice->setToolTip(QStringLiteral("The survey the graphs and reports use"));
    grid->addWidget(m_batchChoice, 2, 0);
    grid->setColumnMinimumWidth(1, 10);

    addValue(grid, 0, 2, QStringLiteral("Batch #"), QStringLiteral("Batch_Number"));
    addValue(grid, 1, 2, QStringLiteral("Location"), QStringLiteral("Location"));
    addValue(grid, 2, 2, QStringLiteral("Zone"), QStringLiteral("Zone"));
    addValue(grid, 0, 4, QStringLiteral("Date Start"), QStringLiteral("Batch_Date"));
    addValue(grid, 1, 4, QStringLiteral("Date End"), QStringLiteral("End_Batch_Date"));
    addValue(grid, 2, 4, QStringLiteral("Direction of travel"), QStringLiteral("Direction"));
    addValue(grid, 0, 6, QStringLiteral("Start Time"), QStringLiteral("Start_Time"));
    addValue(grid, 1, 6, QStringLiteral("Stop Time"), QStringLiteral("Stop_Time"));
    QLabel* totalTime = addValue(grid, 2, 6, QStringLiteral("Total Time"), QStringLiteral("Total_Time"));
    // Room for the longest survey the sign keeps, a month; the padding and
    // frame take a few pixels on each side.
    totalTime->setMinimumWidth(
        totalTime->fontMetrics().horizontalAdvance(QStringLiteral("30 Days, 23 Hrs, 59 Min")) + 12);

    grid->addWidget(makeDivider(m_surveyFrame), 3, 0, 1, 8);

    grid->addWidget(ui::makeCaption(QStringLiteral("Report Prepared For:"), m_surveyFrame,
                                    QStringLiteral("Text2Caption")),
                    4, 0, 1, 3);
    m_agencyBox = ui::makeTextBox(QStringLiteral("Text2"), m_surveyFrame);
    m_agencyBox->setReadOnly(true);
    m_agencyBox->setToolTip(QStringLiteral("Chosen on the Administration / Setup tab"));
    grid->addWidget(m_agencyBox, 4, 3, 1, 3);

    grid->addWidget(
        ui::makeCaption(QStringLiteral("Report Prepared By:"), m_surveyFrame, QStringLiteral("Text3Caption")),
        5, 0, 1, 3);
    m_officerBox = ui::makeTextBox(QStringLiteral("Text3"), m_surveyFrame);
    m_officerBox->setReadOnly(true);
    m_officerBox->setToolTip(QStringLiteral("Chosen on the Administration / Setup tab"));
    grid->addWidget(m_officerBox, 5, 3, 1, 3);

    // Who set the sign up in the field; the report prints it without a caption.
    QLabel* performedBy = ui::makeValueLabel(QStringLiteral("Performed_By"), m_surveyFrame);
    performedBy->setToolTip(QStringLiteral("Field setup performed by"));
    m_values.insert(performedBy->objectName(), performedBy);
    grid->addWidget(performedBy, 5, 6, 1, 2);

    m_sourceCaption = ui::makeCaption(QStringLiteral("Vehicles Read From:"), m_surveyFrame,
                                      QStringLiteral("Vehicle_SourceCaption"));
    grid->addWidget(m_sourceCaption, 6, 0, 1, 3);
    m_source = ui::makeValueLabel(QStringLiteral("Vehicle_Source"), m_surveyFrame);
    grid->addWidget(m_source, 6, 3, 1, 5);
    m_sourceCaption->hide();
    m_source->hide();

    // Locations and agency names are long; dates and times are short.
    grid->setColumnStretch(3, 3);
    grid->setColumnStretch(5, 2);
    grid->setColumnStretch(7, 2);
    return m_surveyFrame;
}

QGroupBox* ReportsTab::buildStatisticsFrame()
{
    m_statisticsFrame =
        ui::makeFrame(QStringLiteral("Speed Statistics"), QStringLiteral("StatisticsFrame"), this);
    keepRoomWhenHidden(m_statisticsFrame);
    auto* frameLayout = new QVBoxLayout(m_statisticsFrame);
    frameLayout->setSpacing(8);

    // Four groups side by side: speeds against the limit, pace and 85th
    // percentile, vehicle counts by direction, and the sign's settings.
    auto* groups = new QWidget(m_statisticsFrame);
    auto* grid = new QGridLayout(groups);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(6);

    addValue(grid, 0, 0, QStringLiteral("Speed Limit"), QStringLiteral("Posted_Speed"));
    addValue(grid, 1, 0, QStringLiteral("# at/under Limit"), QStringLiteral("Under_Limit"));
    addValue(grid, 2, 0, QStringLiteral("# Over Limit"), QStringLiteral("Over_Limit"));
    addValue(grid, 3, 0, QStringLiteral("Avg Speed"), QStringLiteral("Avg_Speed_Over"))
        ->setToolTip(QStringLiteral("Average speed of the vehicles over the limit"));
    {
        // Told apart from the average speed of all vehicles, three rows down:
        // a small line under the caption says whose average it is.
        QWidget* caption = grid->itemAtPosition(3, 0)->widget();
        grid->removeWidget(caption);
        QLabel* whose =
            ui::makeCaption(QStringLiteral("over the limit"), groups, QStringLiteral("Avg_Speed_OverWhose"));
        whose->setStyleSheet(QStringLiteral("font-size: 8pt; color: #4f5f72;"));
        auto* stacked = new QVBoxLayout;
        stacked->setSpacing(0);
        stacked->addWidget(caption);
        stacked->addWidget(whose);
        grid->addLayout(stacked, 3, 0);
    }
    addValue(grid, 4, 0, QStringLiteral("Min Speed"), QStringLiteral("Low_Speed"));
    addValue(grid, 5, 0, QStringLiteral("Max Speed"), QStringLiteral("High_Speed"));
    addValue(grid, 6, 0, QStringLiteral("Average Speed"), QStringLiteral("Avg_Speed"));

    // The sign's estimates from the average speed; the Speed Study tab
    // shows the measured figures.
    const QString estimated =
        QStringLiteral("Estimated from the average speed; the Speed Study tab shows the "
                       "measured %1");
    addValue(grid, 0, 3, QStringLiteral("85th  Percentile"), QStringLiteral("Percent_85"))
        ->setToolTip(estimated.arg(QStringLiteral("85th percentile")));
    addValue(grid, 1, 3, QStringLiteral("Pace Low Speed"), QStringLiteral("Pace_Low"))
        ->setToolTip(estimated.arg(QStringLiteral("pace")));
    addValue(grid, 2, 3, QStringLiteral("Pace High Speed"), QStringLiteral("Pace_High"))
        ->setToolTip(estimated.arg(QStringLiteral("pace")));
    addValue(grid, 3, 3, QStringLiteral("Pace Total Veh"), QStringLiteral("Pace_Total"));
    addValue(grid, 4, 3, QStringLiteral("% Veh in Pace"), QStringLiteral("Pace_Percent"));

    const QIcon helpIcon = style()->standardIcon(QStyle::SP_MessageBoxQuestion);
    m_paceHelp = ui::makeButton(QStringLiteral("Pace"), QStringLiteral("PaceHelp"), groups);
    m_paceHelp->setIcon(helpIcon);
    m_paceHelp->setToolTip(QStringLiteral("What the pace means, and how the one shown is estimated"));
    m_percentileHelp =
        ui::makeButton(QStringLiteral("85th Percentile"), QStringLiteral("PercentileHelp"), groups);
    m_percentileHelp->setIcon(helpIcon);
    m_percentileHelp->setToolTip(
        QStringLiteral("What the 85th percentile means, and how the one shown is estimated"));
    auto* help = new QHBoxLayout;
    help->setSpacing(6);
    help->addWidget(m_paceHelp);
    help->addWidget(m_percentileHelp);
    help->addStretch(1);
    grid->addLayout(help, 5, 3, 2, 2, Qt::AlignBottom);

    addValue(grid, 0, 6, QStringLiteral("Total Surveyed"), QStringLiteral("Total_Veh"));
    addValue(grid, 1, 6, QStringLiteral("Approaching"), QStringLiteral("Approach"));
    addValue(grid, 2, 6, QStringLiteral("Receeding"), QStringLiteral("Receed"));
    addValue(grid, 3, 6, QStringLiteral("Unknown"), QStringLiteral("Unknown"));

    m_unitLabel = addValue(grid, 0, 9, QStringLiteral("Speed Unit"), QStringLiteral("radar_mode"));
    m_unitLabel->setToolTip(QStringLiteral("MPH or KPH, as recorded by the sign"));
    addValue(grid, 1, 9, QStringLiteral("High Speed Alarm"), QStringLiteral("High_Speed_Alarm"));
    addValue(grid, 2, 9, QStringLiteral("High Speed Cut Off"), QStringLiteral("Cut_Off"));
    // The radar's measuring range is fixed by the sign's hardware.
    addValue(grid, 3, 9, QStringLiteral("Minimum Radar Set"), QStringLiteral("Min_Radar"))
        ->setText(survey::minimumRadarSetting());
    addValue(grid, 4, 9, QStringLiteral("Maximum Radar Set"), QStringLiteral("Max_Radar"))
        ->setText(survey::maximumRadarSetting());

    // The sign's settings have three digits at most; the other groups hold counts.
    const int countWidth = statisticWidth(m_statisticsFrame);
    const int settingWidth = m_statisticsFrame->fontMetrics().horizontalAdvance(QStringLiteral("KPH")) + 24;
    for (int column : {1, 4, 7, 10}) {
        grid->setColumnMinimumWidth(column, column == 10 ? settingWidth : countWidth);
        grid->setColumnStretch(column, 0);
    }
    // Spare width goes between the groups, not into the value boxes.
    for (int column : {2, 5, 8}) {
        grid->setColumnMinimumWidth(column, 4);
        grid->setColumnStretch(column, 1);
    }
    for (QLabel* value : std::as_const(m_values)) {
        if (value->parentWidget() == groups) {
            int row = 0, column = 0, rows = 0, columns = 0;
            grid->getItemPosition(grid->indexOf(value), &row, &column, &rows, &columns);
            value->setFixedWidth(column == 10 ? settingWidth : countWidth);
            value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        }
    }
    frameLayout->addWidget(groups);
    frameLayout->addWidget(makeDivider(m_statisticsFrame));

    // The six over-limit bands: heading at the left, each caption over its count.
    auto* bands = new QGridLayout;
    bands->setHorizontalSpacing(10);
    bands->setVerticalSpacing(4);
    m_bandHeading = new QLabel(QStringLiteral("MPH Over Speed Limit"), m_statisticsFrame);
    m_bandHeading->setObjectName(QStringLiteral("BandHeading"));
    m_bandHeading->setStyleSheet(QStringLiteral("font-weight: bold; color: #1f3a5f;"));
    m_bandHeading->setMinimumWidth(170);
    bands->addWidget(m_bandHeading, 0, 0, 2, 1, Qt::AlignVCenter);
    const QStringList captions = survey::bandCaptions(QStringLiteral("MPH"));
    for (int band = 0; band < 6; ++band) {
        const QString name = QLatin1String(kBandValues[band]);
        QLabel* caption =
            ui::makeCaption(captions[band], m_statisticsFrame, name + QStringLiteral("Caption"));
        caption->setAlignment(Qt::AlignCenter);
        m_bandCaptions[static_cast<size_t>(band)] = caption;
        QLabel* value = ui::makeValueLabel(name, m_statisticsFrame);
        value->setFixedWidth(statisticWidth(m_statisticsFrame));
        value->setAlignment(Qt::AlignCenter);
        m_values.insert(name, value);
        bands->addWidget(caption, 0, band + 1, Qt::AlignHCenter);
        bands->addWidget(value, 1, band + 1, Qt::AlignHCenter);
        bands->setColumnStretch(band + 1, 1);
    }
    frameLayout->addLayout(bands);
    return m_statisticsFrame;
}

void ReportsTab::selectSurvey()
{
    if (m_task->isRunning()) {
        m_listWanted = true;
        return;
    }
    // A busy or distant database keeps the list waiting: it is read on the
    // worker and shows when it is ready.
    worker::run(
        *m_task, this,
        [database = m_database](worker::BackgroundTask&) {
            return store::openStore(database)->listSurveys();
        },
        [this](worker::Done<std::vector<survey::ListedSurvey>> done) {
            if (done.failed()) {
                Q_EMIT failed(QStringLiteral("The stored surveys cannot be listed: %1").arg(done.failure));
                return;
            }
            m_surveyList->show();
            m_surveyList->clear();
            // Each entry shows the survey; it stands for its batch number.
            for (const survey::ListedSurvey& listed : done.value) {
                auto* item = new QListWidgetItem(survey::listText(listed), m_surveyList);
                item->setData(Qt::UserRole, listed.header.batchNumber);
            }
            if (!m_nextChoice.isEmpty())
                chooseSurvey(std::exchange(m_nextChoice, QString()));
        },
        QStringLiteral("Listing the stored surveys"), false);
}

void ReportsTab::chooseSurvey(const QString& batchNumber)
{
    m_batchChoice->setText(batchNumber);
    if (m_task->isRunning()) {
        m_nextChoice = batchNumber;
        return;
    }
    worker::run(
        *m_task, this,
        [database = m_database, batchNumber](worker::BackgroundTask&) {
            return store::openStore(database)->loadSurvey(batchNumber);
        },
        [this, batchNumber](worker::Done<survey::SurveyRecord> done) {
            showChosen(batchNumber, std::move(done.value), done.failure);
            if (!m_task->isRunning() && std::exchange(m_listWanted, false))
                selectSurvey();
        },
        QStringLiteral("Loading survey %1").arg(batchNumber), false);
}

void ReportsTab::showChosen(const QString& batchNumber, survey::SurveyRecord record, const QString& failure)
{
    if (!m_nextChoice.isEmpty()) {
        chooseSurvey(std::exchange(m_nextChoice, QString()));
        return;
    }
    if (!failure.isEmpty()) {
        // Nothing of another survey stays on show.
        record = survey::SurveyRecord{};
        record.batchNumber = batchNumber;
        m_current.choose(record);
        Q_EMIT failed(QStringLiteral("Survey %1 cannot be shown: %2").arg(batchNumber, failure));
        return;
    }
    m_surveyList->hide();
    m_surveyPrompt->hide();
    m_surveyFrame->show();
    m_statisticsFrame->show();
    m_reportChoice->show();
    m_printButton->show();
    m_current.choose(record);
}

void ReportsTab::showSurvey()
{
    const survey::SurveyRecord& shown = m_current.record();
    QHash<QString, QString> texts;
    for (const auto& [field, text] : shown.header.storedFields())
        texts.insert(field, text);
    for (const FieldLabel& shown : kHeaderFields)
        m_values.value(QLatin1String(shown.label))->setText(texts.value(QLatin1String(shown.field)));
    m_source->setText(shown.source);
    m_sourceCaption->setVisible(!shown.source.isEmpty());
    m_source->setVisible(!shown.source.isEmpty());
    texts.clear();
    for (const auto& [field, text] : shown.summary.storedFields())
        texts.insert(field, text);
    for (const FieldLabel& shown : kSummaryFields) {
        const QString text = texts.value(QLatin1String(shown.field));
        bool whole = false;
        const qint64 count = shown.count ? text.toLongLong(&whole) : 0;
        m_values.value(QLatin1String(shown.label))->setText(whole ? text::formatCount(count) : text);
    }

    // The band captions follow the unit of the survey on show.
    const QString& unit = shown.header.radarMode;
    m_bandHeading->setText(survey::bandHeading(unit));
    const QStringList captions = survey::bandCaptions(unit);
    for (size_t band = 0; band < m_bandCaptions.size(); ++band)
        m_bandCaptions[band]->setText(captions[static_cast<int>(band)]);
}

void ReportsTab::showNames()
{
    for (const auto& [list, box] : {std::pair{store::NameList::Agencies, m_agencyBox},
                                    std::pair{store::NameList::Officers, m_officerBox}})
        box->setText(store::printedName(list, m_names.chosen(list).name));
}

} // namespace pelmor::app
