#pragma once

#include "sites/SitePlacement.h"
#include "store/SurveyStore.h"
#include "survey/SurveyRecord.h"

#include <QByteArrayView>
#include <QDate>

#include <memory>
#include <optional>

namespace pelmor::import {

// A new survey being stored, the same way for a download imported and for
// a survey sent to the agency server: its header row first, its vehicles
// one by one, then its statistics and its place among the sites, all of it
// landing at once on commit() or not at all.
class NewSurvey {
public:
    // Begins the survey (see store::SurveyStore::beginSurvey: the write
    // lock is taken and the batch number claimed, or DuplicateBatch thrown).
    // `source` is where the vehicles came from (see beginSurvey).
    NewSurvey(store::SurveyStore& store, const survey::HeaderRow& header, const QString& source = QString());

    void addVehicle(qint64 offset, QByteArrayView direction, qint64 speed, int secondOfDay, const QDate& date,
                    std::optional<double> length = std::nullopt)
    {
        m_writer->addVehicle(offset, direction, speed, secondOfDay, date, length);
    }

    // Works out the statistics of the vehicles added and stores them with
    // the survey at its site; returns them. Throws stats::StatisticsError
    // when they cannot be worked out, and what store::SurveyWriter::commit
    // throws.
    survey::SummaryRow commit();

private:
    survey::HeaderRow m_header;
    std::unique_ptr<store::SurveyWriter> m_writer;
};

} // namespace pelmor::import
