#include "import/NewSurvey.h"

#include "stats/Summary.h"

namespace pelmor::import {

NewSurvey::NewSurvey(store::SurveyStore& store, const survey::HeaderRow& header, const QString& source)
    : m_header(header)
    , m_writer(store.beginSurvey(header, source))
{
}

survey::SummaryRow NewSurvey::commit()
{
    const stats::SummaryInputs inputs{m_header.batchNumber, m_header.violationAlert, m_header.radarMode,
                                      m_header.time, m_header.date};
    survey::SummaryRow statistics = stats::computeSummary(m_writer->tally(), inputs);
    // The survey's site and figures land with it, in its transaction.
    m_writer->commit(statistics, sites::placementOf(m_header, statistics, m_writer->tally()));
    return statistics;
}

} // namespace pelmor::import
