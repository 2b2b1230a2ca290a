#include "session/CurrentSurvey.h"

#include <utility>

namespace pelmor::session {

CurrentSurvey::CurrentSurvey(QObject* parent)
    : QObject(parent)
{
}

void CurrentSurvey::choose(const survey::SurveyRecord& record)
{
    m_record = record;
    const bool hadBreakdown = m_breakdown.has_value();
    const bool hadGraph = !m_graph.image.isNull();
    m_breakdown.reset();
    m_graph = DrawnGraph();
    if (hadBreakdown)
        Q_EMIT breakdownChanged();
    if (hadGraph)
        Q_EMIT graphChanged();
    Q_EMIT surveyChanged();
}

const SurveyBreakdown* CurrentSurvey::breakdownFor(flow::BinLength bins) const
{
    if (!m_breakdown || m_breakdown->bins != bins || batchNumber().isEmpty() ||
        m_breakdown->batchNumber != batchNumber())
        return nullptr;
    return &*m_breakdown;
}

void CurrentSurvey::setBreakdown(SurveyBreakdown breakdown)
{
    m_breakdown = std::move(breakdown);
    Q_EMIT breakdownChanged();
}

void CurrentSurvey::setGraph(DrawnGraph graph)
{
    m_graph = std::move(graph);
    Q_EMIT graphChanged();
}

void CurrentSurvey::clearGraph()
{
    if (m_graph.image.isNull())
        return;
    m_graph = DrawnGraph();
    Q_EMIT graphChanged();
}

void CurrentSurvey::setReportChoice(reports::ReportChoice choice)
{
    m_reportChoice = choice;
    Q_EMIT reportChoiceChanged(choice);
}

void CurrentSurvey::setStudyChoices(const std::optional<study::SpeedStudy>& study,
                                    const std::optional<compare::Comparison>& comparison)
{
    m_study = study;
    m_comparison = comparison;
    Q_EMIT studyChoicesChanged();
}

} // namespace pelmor::session
