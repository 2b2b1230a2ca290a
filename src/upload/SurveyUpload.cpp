#include "upload/SurveyUpload.h"

#include "sites/SitePlacement.h"
#include "stats/Pace.h"
#include "stats/Summary.h"
#include "store/SurveyStore.h"

#include <QLocale>

#include <algorithm>

#include <map>
#include <memory>

namespace pelmor::upload {
namespace {

using Kind = SurveyOutcome::Kind;

QString vehiclesText(qint64 vehicles)
{
    return QStringLiteral("%1 %2").arg(QLocale(QLocale::English).toString(vehicles),
                                       vehicles == 1 ? QStringLiteral("vehicle")
                                                     : QStringLiteral("vehicles"));
}

QString differentSurvey(const QString& batchNumber)
{
    return QStringLiteral(
               "Survey %1 is not sent: the agency server holds a different survey under that number. "
               "The survey stays on this computer as it is; import its download again with a "
               "higher letter for the batch number and send that, or ask an administrator of the "
               "agency database which survey the server holds.")
        .arg(batchNumber);
}

// The upload was stopped from outside a survey's transaction.
struct Stop {
    QString reason;
};

// Whether the server's survey under a batch number has the local one's
// vehicles, the same ones in the same stored order.
bool sameVehicles(store::SurveyStore& local, store::SurveyStore& server, const QString& batchNumber)
{
    const auto ours = local.readWrittenVehicles(batchNumber);
    const auto theirs = server.readWrittenVehicles(batchNumber);
    qint64 offsetA = 0, offsetB = 0, speedA = 0, speedB = 0;
    QByteArrayView directionA, directionB;
    for (;;) {
        const bool moreA = ours->next(offsetA, directionA, speedA);
        const bool moreB = theirs->next(offsetB, directionB, speedB);
        if (moreA != moreB)
            return false;
        if (!moreA)
            return true;
        if (offsetA != offsetB || speedA != speedB || directionA != directionB)
            return false;
    }
}

// Copies one survey into the server in one transaction; the vehicles sent.
// Throws store::DuplicateBatch when the server holds the number already.
qint64 sendSurvey(store::SurveyStore& local, store::SurveyStore& server, const survey::HeaderRow& header,
                  qint64 done, qint64 total, UploadReport& report)
{
    const std::unique_ptr<store::SurveyWriter> writer = server.beginSurvey(header);
    // The direction text comes from the rows as written, the stored clock
    // and date from the scan: both walk the rows in stored order.
    const auto written = local.readWrittenVehicles(header.batchNumber);
    sites::FiguresTally tally;
    qint64 sent = 0;
    qint64 offset = 0, speed = 0;
    QByteArrayView direction;
    local.scanVehicles(
        header.batchNumber, store::VehicleOrder::Stored, [&](const store::VehicleRow& vehicle) {
            if (!written->next(offset, direction, speed) || offset != vehicle.offset ||
                speed != vehicle.speed)
                throw db::DbError(
                    QStringLiteral("The vehicles of survey %1 changed on this computer while they "
                                   "were sent; send it again.")
                        .arg(header.batchNumber));
            writer->addVehicle(offset, direction, speed, vehicle.secondOfDay, vehicle.date);
            tally.add(offset, speed);
            if (++sent % 4096 == 0)
                report.progress(done + sent, total);
            return true;
        });
    const stats::SummaryInputs inputs{header.batchNumber, header.violationAlert, header.radarMode,
                                      header.time, header.date};
    const survey::SummaryRow statistics = stats::computeSummary(writer->figures(), inputs);
    // The survey's site and figures land with it, in its transaction.
    writer->commit(statistics, sites::placementOf(header, statistics, tally));
    return sent;
}

} // namespace

QString outcomeText(const SurveyOutcome& outcome)
{
    switch (outcome.kind) {
    case Kind::Sent:
        return QStringLiteral("%1  sent, %2").arg(outcome.batchNumber, vehiclesText(outcome.vehicles));
    case Kind::AlreadyThere:
        return QStringLiteral("%1  already there, %2")
            .arg(outcome.batchNumber, vehiclesText(outcome.vehicles));
    case Kind::Refused:
        return QStringLiteral("%1  refused: %2").arg(outcome.batchNumber, outcome.reason);
    case Kind::Failed:
        return QStringLiteral("%1  failed: %2").arg(outcome.batchNumber, outcome.reason);
    case Kind::NotSent:
        break;
    }
    return QStringLiteral("%1  not sent").arg(outcome.batchNumber);
}

qint64 UploadResult::count(SurveyOutcome::Kind kind) const
{
    qint64 number = 0;
    for (const SurveyOutcome& outcome : surveys)
        number += outcome.kind == kind ? 1 : 0;
    return number;
}

bool UploadResult::complete() const
{
    return stopped.isEmpty() && !cancelled && count(Kind::Refused) == 0 && count(Kind::Failed) == 0 &&
           count(Kind::NotSent) == 0;
}

QString UploadResult::countsText() const
{
    return QStringLiteral("%1 sent, %2 already there, %3 refused, %4 failed, %5 not sent")
        .arg(count(Kind::Sent))
        .arg(count(Kind::AlreadyThere))
        .arg(count(Kind::Refused))
        .arg(count(Kind::Failed))
        .arg(count(Kind::NotSent));
}

UploadResult uploadSurveys(const db::Database& local, const db::Database& server,
                           const QStringList& batchNumbers, UploadReport& report)
{
    UploadResult result;
    std::unique_ptr<store::SurveyStore> from;
    std::map<QString, survey::ListedSurvey> held;
    try {
        from = store::openStore(local);
        for (survey::ListedSurvey& listed : from->listSurveys()) {
            if (batchNumbers.isEmpty())
                result.surveys.push_back(
                    {listed.header.batchNumber, Kind::NotSent, listed.vehicles, QString()});
            held.emplace(listed.header.batchNumber, std::move(listed));
        }
    } catch (const db::DbError& error) {
        result.stopped = error.message();
        return result;
    }
    // Each outcome is told once: refusals of this computer's own at once,
    // the others as each survey is done, the ones not reached at the end.
    const auto tellNotSent = [&result, &report]() {
        for (const SurveyOutcome& outcome : result.surveys)
            if (outcome.kind == Kind::NotSent)
                report.surveyDone(outcome);
    };
    for (const QString& batchNumber : batchNumbers) {
        const bool named =
            std::any_of(result.surveys.begin(), result.surveys.end(),
                        [&](const SurveyOutcome& chosen) { return chosen.batchNumber == batchNumber; });
        if (named)
            continue; // named twice
        const auto found = held.find(batchNumber);
        if (found != held.end()) {
            result.surveys.push_back({batchNumber, Kind::NotSent, found->second.vehicles, QString()});
            continue;
        }
        result.surveys.push_back(
            {batchNumber, Kind::Refused, 0,
             QStringLiteral("Survey %1 is not in the database on this computer; check the "
                            "batch number in the list of surveys.")
                 .arg(batchNumber)});
        report.surveyDone(result.surveys.back());
    }
    qint64 total = 0;
    for (const SurveyOutcome& outcome : result.surveys)
        total += outcome.kind == Kind::NotSent ? outcome.vehicles : 0;

    std::unique_ptr<store::SurveyStore> to;
    try {
        to = store::openStore(server);
    } catch (const db::DbError& error) {
        result.stopped = error.message();
        result.passwordNeeded = error.failure() == db::Failure::PasswordNeeded;
        tellNotSent();
        return result;
    }

    qint64 done = 0;
    report.progress(done, total);
    try {
        for (SurveyOutcome& outcome : result.surveys) {
            if (outcome.kind != Kind::NotSent)
                continue;
            if (report.cancelled()) {
                result.cancelled = true;
                break;
            }
            const survey::HeaderRow& header = held.at(outcome.batchNumber).header;
            try {
                outcome.vehicles = sendSurvey(*from, *to, header, done, total, report);
                outcome.kind = Kind::Sent;
            } catch (const store::DuplicateBatch&) {
                // Another officer's upload, or an import on the server, got
                // the number first: whether it is this survey decides.
                if (sameVehicles(*from, *to, outcome.batchNumber)) {
                    outcome.kind = Kind::AlreadyThere;
                } else {
                    outcome.kind = Kind::Refused;
                    outcome.reason = differentSurvey(outcome.batchNumber);
                }
            } catch (const db::DbError& error) {
                if (error.failure() == db::Failure::ConnectionLost)
                    throw Stop{error.message()};
                outcome.kind = Kind::Failed;
                outcome.reason = error.message();
            } catch (const stats::StatisticsError& error) {
                outcome.kind = Kind::Failed;
                outcome.reason = QStringLiteral("The statistics of survey %1 cannot be worked out: %2")
                                     .arg(outcome.batchNumber, QString::fromUtf8(error.what()));
            }
            done += held.at(outcome.batchNumber).vehicles;
            report.progress(done, total);
            report.surveyDone(outcome);
        }
    } catch (const Stop& stop) {
        result.stopped = stop.reason;
    } catch (const db::DbError& error) {
        // The comparison with the server's survey failed.
        result.stopped = error.message();
    }
    tellNotSent();
    return result;
}

} // namespace pelmor::upload
