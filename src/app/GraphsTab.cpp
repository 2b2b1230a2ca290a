#include "app/GraphsTab.h"

#include "db/DbError.h"
#include "flow/widgets/BreakdownModel.h"
#include "flow/widgets/FlowGrid.h"
#include "ui/Style.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QVBoxLayout>

namespace pelmor::app {
namespace {

// Width of the left-hand column of buttons.
constexpr int kPanelWidth = 254;

// A hidden widget keeps its place in the layout, so the buttons beside it do
// not shift when it is shown or hidden.
void keepRoomWhenHidden(QWidget* widget)
{
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
}

// The small pointer beside the graph button whose graph is on show.
QLabel* makeMarker(const QString& objectName, QWidget* parent)
{
    auto* marker = new QLabel(QStringLiteral("\u25C4"), parent);
    marker->setObjectName(objectName);
    marker->setStyleSheet(QStringLiteral("color: #c0392b; font-size: 13pt; font-weight: bold;"));
    marker->setFixedWidth(20);
    marker->setAlignment(Qt::AlignCenter);
    marker->setToolTip(QStringLiteral("On show"));
    keepRoomWhenHidden(marker);
    return marker;
}

} // namespace

GraphsTab::GraphsTab(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("GraphsTab"));

    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(12, 10, 12, 10);
    outer->setSpacing(14);
    outer->addWidget(buildButtonPanel());

    // The grid and the graph take turns on the right; the area keeps its
    // size while both are hidden.
    auto* display = new QWidget(this);
    display->setObjectName(QStringLiteral("DisplayArea"));
    display->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* displayLayout = new QVBoxLayout(display);
    displayLayout->setContentsMargins(0, 0, 0, 0);

    m_gridFrame = ui::makeFrame(QString(), QStringLiteral("GridFrame"), display);
    auto* gridLayout = new QVBoxLayout(m_gridFrame);
    m_flowGrid = new QTableView(m_gridFrame);
    m_flowGrid->setObjectName(QStringLiteral("FlowGrid"));
    m_flowGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_flowGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_flowGrid->setAlternatingRowColors(true);
    m_flowGrid->verticalHeader()->hide();
    m_flowGrid->horizontalHeader()->setHighlightSections(false);
    m_gridFailure = ui::makeNote(QString(), m_gridFrame, QStringLiteral("FlowGridFailure"));
    m_gridFailure->setStyleSheet(
        QStringLiteral("background: #fbe3e3; color: #7a1010; border: 1px solid #d88; padding: 6px 8px;"));
    m_gridFailure->hide();
    gridLayout->addWidget(m_gridFailure);
    gridLayout->addWidget(m_flowGrid);
    displayLayout->addWidget(m_gridFrame);

    m_graphFrame = ui::makeFrame(QString(), QStringLiteral("GraphFrame"), display);
    auto* graphLayout = new QVBoxLayout(m_graphFrame);
    m_graphArea = new QLabel(m_graphFrame);
    m_graphArea->setObjectName(QStringLiteral("GraphArea"));
    m_graphArea->setAlignment(Qt::AlignCenter);
    m_graphArea->setStyleSheet(QStringLiteral("background: white;"));
    // The image follows the area's size, never the other way round.
    m_graphArea->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    m_graphArea->setMinimumSize(1, 1);
    m_graphArea->installEventFilter(this);
    graphLayout->addWidget(m_graphArea);
    displayLayout->addWidget(m_graphFrame);

    m_summaryNote = ui::makeNote(QStringLiteral("\"Print Graph /Chart\" prints the Traffic Summary Report of "
                                                "the survey chosen on the \"View / Print Reports\" tab: its "
                                                "times, speeds and vehicle counts. It has no graph."),
                                 display, QStringLiteral("SummaryNote"));
    m_summaryNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    displayLayout->addWidget(m_summaryNote, 1);

    outer->addWidget(display, 1);

    m_gridFrame->hide();
    m_graphFrame->hide();
    m_summaryNote->hide();
    setUpFlowGrid();
}

QWidget* GraphsTab::buildButtonPanel()
{
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("GraphButtonPanel"));
    panel->setFixedWidth(kPanelWidth);
    // Everything stands in the first column; the second holds the markers
    // beside the graph buttons, so every control of the panel is as wide.
    auto* column = new QGridLayout(panel);
    column->setContentsMargins(0, 0, 0, 0);
    column->setHorizontalSpacing(4);
    column->setVerticalSpacing(8);
    column->setColumnMinimumWidth(1, 20);
    int row = 0;

    column->addWidget(ui::makeNote(QStringLiteral("Click to choose the graph or table wanted. It shows "
                                                  "the survey chosen on the \"View / Print Reports\" "
                                                  "tab; the arrow marks the one on show."),
                                   panel, QStringLiteral("GraphHint")),
                      row++, 0, 1, 2);
    column->setRowMinimumHeight(row++, 4);

    m_percentileGraph =
        ui::makeButton(QStringLiteral("85th Percentile"), QStringLiteral("PercentileGraph"), panel);
    m_trafficVolume =
        ui::makeButton(QStringLiteral("Traffic Volume"), QStringLiteral("TrafficVolume"), panel);
    m_timeVolume = ui::makeButton(QStringLiteral("Time / Volume"), QStringLiteral("TimeVolume"), panel);
    m_quarterHourFlow =
        ui::makeButton(QStringLiteral("15 Min Traffic Flow"), QStringLiteral("QuarterHourFlow"), panel);
    m_hourFlow = ui::makeButton(QStringLiteral("Hour Traffic Flow"), QStringLiteral("HourFlow"), panel);
    // Each button has its marker beside it, numbered as the report it prints.
    QPushButton* const buttons[] = {m_percentileGraph, m_trafficVolume, m_timeVolume, m_quarterHourFlow,
                                    m_hourFlow};
    for (int i = 0; i < 5; ++i) {
        if (i == 3)
            column->setRowMinimumHeight(row++, 6);
        QLabel* marker = makeMarker(QStringLiteral("GraphType%1").arg(i + 1), panel);
        m_markers[static_cast<size_t>(i)] = marker;
        column->addWidget(buttons[i], row, 0);
        column->addWidget(marker, row++, 1);
        marker->hide();
    }
    column->setRowMinimumHeight(row++, 10);

    auto* printerMode =
        ui::makeFrame(QStringLiteral("Printer Mode"), QStringLiteral("PrinterModeFrame"), panel);
    printerMode->setToolTip(QStringLiteral("The colours the graphs are drawn in"));
    auto* modeLayout = new QVBoxLayout(printerMode);
    m_blackAndWhite = new QRadioButton(QStringLiteral("Laser (B&&W)"), printerMode);
    m_blackAndWhite->setObjectName(QStringLiteral("PrinterBW"));
    m_colour = new QRadioButton(QStringLiteral("Color Printer"), printerMode);
    m_colour->setObjectName(QStringLiteral("PrinterColor"));
    m_colour->setChecked(true);
    modeLayout->addWidget(m_blackAndWhite);
    modeLayout->addWidget(m_colour);
    column->addWidget(printerMode, row++, 0);

    m_printGraph = ui::makeButton(QStringLiteral("Print Graph /Chart"), QStringLiteral("Command12"), panel);
    column->addWidget(m_printGraph, row++, 0);

    // The survey's vehicles and statistics row, or the breakdown in the grid.
    m_exportCsv = ui::makeButton(QStringLiteral("Export CSV..."), QStringLiteral("ExportCsv"), panel);
    m_exportCsv->setToolTip(QStringLiteral("Save a table of the chosen survey as comma-separated values"));
    auto* exports = new QMenu(m_exportCsv);
    const std::pair<const char*, csv::Table> choices[] = {
        {"Vehicles of the survey", csv::Table::Vehicles},
        {"Traffic flow breakdown (the grid)", csv::Table::Breakdown},
        {"Statistics of the survey", csv::Table::Summary}};
    const char* const names[] = {"ExportVehiclesCsv", "ExportBreakdownCsv", "ExportSummaryCsv"};
    for (size_t i = 0; i < std::size(choices); ++i) {
        QAction* action = exports->addAction(QLatin1String(choices[i].first));
        action->setObjectName(QLatin1String(names[i]));
        const csv::Table table = choices[i].second;
        connect(action, &QAction::triggered, this, [this, table] { Q_EMIT csvExportRequested(table); });
    }
    m_exportCsv->setMenu(exports);
    column->addWidget(m_exportCsv, row++, 0);
    column->setRowStretch(row++, 1);

    auto* close = ui::makeButton(QStringLiteral("Close"), QStringLiteral("Close"), panel);
    close->setToolTip(QStringLiteral("End the program"));
    connect(close, &QPushButton::clicked, this, &GraphsTab::closeRequested);
    column->addWidget(close, row, 0);
    return panel;
}

bool GraphsTab::isBlackAndWhite() const
{
    return m_blackAndWhite->isChecked();
}

void GraphsTab::setGraphImage(const QImage& image)
{
    m_graphImage = image;
    showScaledGraph();
}

void GraphsTab::showScaledGraph()
{
    if (m_graphImage.isNull()) {
        m_graphArea->clear();
        return;
    }
    m_graphArea->setPixmap(QPixmap::fromImage(
        m_graphImage.scaled(m_graphArea->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

bool GraphsTab::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_graphArea && event->type() == QEvent::Resize)
        showScaledGraph();
    return QWidget::eventFilter(watched, event);
}

void GraphsTab::setUpFlowGrid()
{
    m_breakdownModel = new flow::BreakdownModel(this); // owned by the tab
    m_flowGrid->setModel(m_breakdownModel);
    connect(m_breakdownModel, &QAbstractItemModel::modelReset, this, &GraphsTab::showGridFailure);
    showGridFailure();
    // One line per row; a text wider than its column is cut off at the
    // edge (the twenty hyphens of a total row), never wrapped or elided.
    m_flowGrid->setWordWrap(false);
    m_flowGrid->setTextElideMode(Qt::ElideNone);
    m_flowGrid->verticalHeader()->setDefaultSectionSize(m_flowGrid->fontMetrics().height() + 8);
    connect(m_percentileGraph, &QPushButton::clicked, this,
            [this] { Q_EMIT graphRequested(reports::ReportChoice::PercentileReport); });
    connect(m_trafficVolume, &QPushButton::clicked, this,
            [this] { Q_EMIT graphRequested(reports::ReportChoice::TrafficFlowGraphReport); });
    connect(m_timeVolume, &QPushButton::clicked, this,
            [this] { Q_EMIT graphRequested(reports::ReportChoice::SurveySummaryReport); });
    for (QRadioButton* mode : {m_blackAndWhite, m_colour})
        connect(mode, &QRadioButton::clicked, this, [this] { Q_EMIT printerModeChosen(isBlackAndWhite()); });
    connect(m_printGraph, &QPushButton::clicked, this, &GraphsTab::printRequested);
    connect(m_quarterHourFlow, &QPushButton::clicked, this,
            [this] { Q_EMIT flowRequested(flow::BinLength::QuarterHour); });
    connect(m_hourFlow, &QPushButton::clicked, this, [this] { Q_EMIT flowRequested(flow::BinLength::Hour); });
}

QString GraphsTab::showFlowGrid(flow::BinLength bins, const QString& walkFailure)
{
    m_graphFrame->hide();
    m_summaryNote->hide();
    m_gridFrame->show();
    markGraphType(bins == flow::BinLength::QuarterHour ? 4 : 5);
    // After a failure the reason shows above an empty grid; the button
    // says it too.
    if (!walkFailure.isEmpty())
        m_breakdownModel->setRows({}, walkFailure);
    flow::formatFlowGrid(m_flowGrid, bins);
    return walkFailure;
}

void GraphsTab::showBreakdownRows(std::vector<flow::BreakdownRow> rows)
{
    m_breakdownModel->setRows(std::move(rows));
}

const std::vector<flow::BreakdownRow>& GraphsTab::breakdownRows() const
{
    return m_breakdownModel->rows();
}

void GraphsTab::showGraphFrame()
{
    m_gridFrame->hide();
    m_summaryNote->hide();
    m_graphFrame->show();
}

void GraphsTab::showSummaryNote()
{
    m_gridFrame->hide();
    m_graphFrame->hide();
    m_summaryNote->show();
}

void GraphsTab::showGridFailure()
{
    const QString& failure = m_breakdownModel->readFailure();
    m_gridFailure->setText(
        failure.isEmpty() ? QString()
                          : QStringLiteral("The breakdown cannot be shown: %1\nPress the flow button again; "
                                           "if this comes back, use Database Management on the "
                                           "Administration / Setup tab to repair the database.")
                                .arg(failure));
    m_gridFailure->setVisible(!failure.isEmpty());
}

void GraphsTab::markGraphType(int number)
{
    for (size_t i = 0; i < m_markers.size(); ++i)
        m_markers[i]->setVisible(static_cast<int>(i) + 1 == number);
}

} // namespace pelmor::app
