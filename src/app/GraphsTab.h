#pragma once

#include "csv/TableExport.h"
#include "flow/FlowBreakdown.h"
#include "reports/ReportChoice.h"

#include <QImage>
#include <QWidget>

#include <array>

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTableView;

namespace pelmor::flow {
class BreakdownModel;
}

namespace pelmor::app {

// The "View Graphs" tab: the buttons that draw the speed graphs or break the
// traffic down into time bins, the printer mode the graphs are drawn for,
// "Print Graph /Chart", and the two display areas (the flow grid and the
// graph), which start hidden and share the right-hand side of the tab.
class GraphsTab : public QWidget {
    Q_OBJECT
public:
    explicit GraphsTab(QWidget* parent = nullptr);

    QPushButton* quarterHourFlowButton() const { return m_quarterHourFlow; }
    QPushButton* hourFlowButton() const { return m_hourFlow; }
    // "Export CSV...": a menu of the tables to export.
    QPushButton* exportCsvButton() const { return m_exportCsv; }

    // The marker beside the button whose graph or grid is on show, numbered
    // as the reports they print: 1 "85th Percentile", 2 "Traffic Volume",
    // 3 "Time / Volume", 4 "15 Min Traffic Flow", 5 "Hour Traffic Flow"
    // ("GraphType1" .. "GraphType5").
    QLabel* graphTypeMarker(int number) const { return m_markers.at(static_cast<size_t>(number - 1)); }

    // True while "Laser (B&W)" is the chosen printer mode.
    bool isBlackAndWhite() const;

    QGroupBox* gridFrame() const { return m_gridFrame; }
    QGroupBox* graphFrame() const { return m_graphFrame; }
    QTableView* flowGrid() const { return m_flowGrid; }
    QLabel* graphArea() const { return m_graphArea; }
    QLabel* summaryNote() const { return m_summaryNote; }
    // Why the flow grid shows no rows, when its table cannot be read;
    // hidden otherwise.
    QLabel* gridFailure() const { return m_gridFailure; }

    // Shows a drawn graph in the graph area, scaled to fit it with its
    // proportions kept, and again whenever the area changes size.
    void setGraphImage(const QImage& image);
    const QImage& graphImage() const { return m_graphImage; }

    // What the graph buttons show: the graph area in place of the flow grid.
    void showGraphFrame();
    // What "Time / Volume" shows: neither graph nor grid, but a note that
    // "Print Graph /Chart" prints the survey's summary report.
    void showSummaryNote();
    // The marker beside button `number` (1 to 5) alone: the arrow marks one
    // button at a time, the one whose graph or grid is on show.
    void markGraphType(int number);

    // The flow grid's rows: the breakdown of the survey on show, if any.
    flow::BreakdownModel* breakdownModel() const { return m_breakdownModel; }
    // Shows the rows of a breakdown made elsewhere (for a flow report), or
    // none (another survey was chosen).
    void showBreakdownRows(std::vector<flow::BreakdownRow> rows);
    // The rows the grid shows.
    const std::vector<flow::BreakdownRow>& breakdownRows() const;

    // What "15 Min Traffic Flow" and "Hour Traffic Flow" show once the
    // survey is broken down: the grid in place of the graph, marked as on
    // show and formatted, with the rows given by showBreakdownRows(); after
    // a failed breakdown, no rows and the reason above them. Returns the
    // failure, or an empty text.
    QString showFlowGrid(flow::BinLength bins, const QString& walkFailure);

Q_SIGNALS:
    void closeRequested();
    // "85th Percentile" (PercentileReport), "Traffic Volume"
    // (TrafficFlowGraphReport) or "Time / Volume" (SurveySummaryReport).
    void graphRequested(pelmor::reports::ReportChoice report);
    // A printer mode was clicked: whether it is "Laser (B&W)".
    void printerModeChosen(bool blackAndWhite);
    // "Print Graph /Chart".
    void printRequested();
    // A flow button was pressed; the main window gathers the survey.
    void flowRequested(pelmor::flow::BinLength bins);
    // A table was chosen under "Export CSV..."; the main window asks where to.
    void csvExportRequested(pelmor::csv::Table table);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildButtonPanel();
    void showScaledGraph();
    void showGridFailure();
    void setUpFlowGrid();

    QPushButton* m_percentileGraph = nullptr;
    QPushButton* m_trafficVolume = nullptr;
    QPushButton* m_timeVolume = nullptr;
    QPushButton* m_quarterHourFlow = nullptr;
    QPushButton* m_hourFlow = nullptr;
    QPushButton* m_printGraph = nullptr;
    QPushButton* m_exportCsv = nullptr;
    std::array<QLabel*, 5> m_markers{};
    QRadioButton* m_blackAndWhite = nullptr;
    QRadioButton* m_colour = nullptr;
    QGroupBox* m_gridFrame = nullptr;
    QGroupBox* m_graphFrame = nullptr;
    QTableView* m_flowGrid = nullptr;
    QLabel* m_graphArea = nullptr;
    QLabel* m_summaryNote = nullptr;
    QLabel* m_gridFailure = nullptr;
    QImage m_graphImage;
    flow::BreakdownModel* m_breakdownModel = nullptr;
};

} // namespace pelmor::app
