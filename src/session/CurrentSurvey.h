#pragma once

#include "compare/Comparison.h"
#include "flow/FlowBreakdown.h"
#include "reports/ReportChoice.h"
#include "study/SpeedStudy.h"
#include "survey/SurveyRecord.h"

#include <QImage>
#include <QObject>

#include <optional>
#include <vector>

namespace pelmor::session {

// The rows of one survey's breakdown, as the flow documents print them.
struct SurveyBreakdown {
    QString batchNumber;
    flow::BinLength bins = flow::BinLength::QuarterHour;
    std::vector<flow::BreakdownRow> rows;
};

// A drawn speed graph: the picture the graph documents place.
struct DrawnGraph {
    QString batchNumber;
    // PercentileReport for the speed distribution, TrafficFlowGraphReport
    // for the vehicles per speed.
    reports::ReportChoice document = reports::ReportChoice::None;
    bool blackAndWhite = false;
    QImage image;
};

// The survey the officer works on and what has been worked out for it in
// this session: its record, its last breakdown, the last drawn graph, the
// document to print and what the Speed Study tab chose for it. The tabs
// write here and follow the signals; none of them reads another's widgets.
// Nothing of this is stored where another session could see it.
class CurrentSurvey : public QObject {
    Q_OBJECT
public:
    explicit CurrentSurvey(QObject* parent = nullptr);

    // The chosen survey; its batch number is empty until one is chosen.
    const survey::SurveyRecord& record() const { return m_record; }
    const QString& batchNumber() const { return m_record.batchNumber; }
    // Makes another survey (or the same one read again) the current one.
    // What was worked out for the one before is dropped with it.
    void choose(const survey::SurveyRecord& record);

    // The last breakdown, when it was made for the survey chosen now with
    // these bins; nullptr otherwise.
    const SurveyBreakdown* breakdownFor(flow::BinLength bins) const;
    const std::optional<SurveyBreakdown>& breakdown() const { return m_breakdown; }
    void setBreakdown(SurveyBreakdown breakdown);

    // The last graph drawn for the survey chosen now; null image when none.
    const DrawnGraph& graph() const { return m_graph; }
    void setGraph(DrawnGraph graph);
    void clearGraph();

    // The document that "Print Graph /Chart" prints; None until first set.
    reports::ReportChoice reportChoice() const { return m_reportChoice; }
    void setReportChoice(reports::ReportChoice choice);

    // The printer mode the graphs are drawn for: "Laser (B&W)" when true.
    bool blackAndWhite() const { return m_blackAndWhite; }
    void setBlackAndWhite(bool blackAndWhite) { m_blackAndWhite = blackAndWhite; }

    // The study the Speed Study tab shows, with the enforcement threshold
    // set there, and the comparison it shows; none when the tab shows none
    // or shows another survey.
    const std::optional<study::SpeedStudy>& study() const { return m_study; }
    const std::optional<compare::Comparison>& comparison() const { return m_comparison; }
    void setStudyChoices(const std::optional<study::SpeedStudy>& study,
                         const std::optional<compare::Comparison>& comparison);

Q_SIGNALS:
    void surveyChanged();
    void breakdownChanged();
    void graphChanged();
    void reportChoiceChanged(pelmor::reports::ReportChoice choice);
    void studyChoicesChanged();

private:
    survey::SurveyRecord m_record;
    std::optional<SurveyBreakdown> m_breakdown;
    DrawnGraph m_graph;
    reports::ReportChoice m_reportChoice = reports::ReportChoice::None;
    bool m_blackAndWhite = false;
    std::optional<study::SpeedStudy> m_study;
    std::optional<compare::Comparison> m_comparison;
};

} // namespace pelmor::session
