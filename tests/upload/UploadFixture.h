#pragma once

#include "PgTestServer.h"
#include "SurveyFixture.h"
#include "db/ServerChoice.h"
#include "store/SurveyStore.h"

#include <QTest>

#include <map>

// What the upload tests share: one throwaway server per test program with a
// template database set up for the program and an officer who logs in to
// it, and local surveys with vehicles of their own.
namespace pelmor::test {

inline const QString kUploadTemplate = QStringLiteral("upload_template");

// Makes the template database and the officer; what went wrong, or empty.
inline QString prepareUploadServer()
{
    return testServer().setUpTemplate(kUploadTemplate,
                                      QStringLiteral("CREATE ROLE officer1 LOGIN IN ROLE pelmor_officer"));
}

// The test's server as a user names it in a window; `port` 0 for the
// server's own.
inline db::ServerChoice serverChoice(const QString& database,
                                     const QString& user = QStringLiteral("officer1"), int port = 0)
{
    db::ServerChoice choice;
    choice.useServer = true;
    choice.host = QStringLiteral("127.0.0.1");
    choice.port = port ? port : testServer().port();
    choice.database = database;
    choice.user = user;
    choice.tlsMode = QStringLiteral("disable");
    return choice;
}

// A survey of `vehicles` vehicles over two days whose speeds and
// directions follow `seed`, so that two seeds give different vehicles.
inline Survey localSurvey(const QString& batchNumber, int vehicles, int seed)
{
    Survey survey;
    survey.batchNumber = batchNumber;
    survey.start = at(QStringLiteral("05/03/26 08:00"));
    survey.durationSeconds = 2 * 24 * 3600;
    survey.headerFields.insert(QStringLiteral("Time"), QStringLiteral("08:00"));
    for (int i = 0; i < vehicles; ++i) {
        survey.speeds.push_back(20 + (i * 7 + seed * 13) % 31);
        survey.directions.append("+-?"[(i + seed) % 3]);
    }
    return survey;
}

// The batch numbers on a store with their vehicle counts.
inline std::map<QString, qint64> vehicleCounts(store::SurveyStore& store)
{
    std::map<QString, qint64> counts;
    for (const survey::ListedSurvey& listed : store.listSurveys())
        counts[listed.header.batchNumber] = listed.vehicles;
    return counts;
}

// Every survey on the store is whole: its statistics row counts exactly
// the vehicles stored under its number. The first that is not, or empty.
inline QString partialSurvey(store::SurveyStore& store)
{
    for (const survey::ListedSurvey& listed : store.listSurveys()) {
        const survey::SurveyRecord record = store.loadSurvey(listed.header.batchNumber);
        if (!record.hasSummary || record.summary.totalVehicles.trimmed().toLongLong() != listed.vehicles)
            return QStringLiteral("%1: %2 vehicles, statistics for %3")
                .arg(listed.header.batchNumber)
                .arg(listed.vehicles)
                .arg(record.hasSummary ? record.summary.totalVehicles : QStringLiteral("none"));
    }
    return QString();
}

} // namespace pelmor::test
