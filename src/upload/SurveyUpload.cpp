#include "upload/SurveyUpload.h"

#include "import/HeaderChecks.h"
#include "import/NewSurvey.h"
#include "stats/Pace.h"
#include "store/SurveyStore.h"
#include "text/Formats.h"

#include <QLocale>

#include <algorithm>
#include <limits>
#include <map>
#include <memory>

namespace pelmor::upload {
namespace {

using Kind = SurveyOutcome::Kind;

// Values of a header are shown in a message up to this many characters.
constexpr int kShownCharacters = 40;

QString vehiclesText(qint64 vehicles)
{
    return QStringLiteral("%1 %2").arg(QLocale(QLocale::English).toString(vehicles),
                                       vehicles == 1 ? QStringLiteral("vehicle")
                                                     : QStringLiteral("vehicles"));
}

// A stored text as a message shows it: a character that does not print (a
// control character, a direction mark, a line break) is written as its
// code, "<U+0000>", so that a line shows what the text holds and nothing
// of it turns the line around. Texts longer than `characters` are cut
// there with "...".
QString shownText(const QString& text, int characters = std::numeric_limits<int>::max())
{
    const QList<uint> codes = text.toUcs4();
    QString shown;
    for (qsizetype i = 0; i < codes.size() && i < characters; ++i) {
        const char32_t code = codes[i];
        if (QChar::isPrint(code) && code != 0x2028 && code != 0x2029)
            shown += QString::fromUcs4(&code, 1);
        else
            shown += QStringLiteral("<U+%1>").arg(
                QString::number(uint(code), 16).toUpper().rightJustified(4, u'0'));
    }
    if (codes.size() > characters)
        shown += QStringLiteral("...");
    return shown;
}

// What the officer does about a survey that must not go as it is stored.
const QString kDeleteAndImport = QStringLiteral(
    "delete the survey (\"Delete Individual Survey or Complete Database\" in \"Database Management\" on "
    "the administration tab, or pelmor-cli delete) and import its saved download again, then send it.");

QString notHere(const QString& batchNumber)
{
    return QStringLiteral("Survey %1 is not in the database on this computer; check the batch number in the "
                          "list of surveys.")
        .arg(shownText(batchNumber));
}

QString heldTwice(const QString& batchNumber)
{
    return QStringLiteral("Survey %1 is not sent: the database on this computer holds more than one survey "
                          "under that number, so they cannot be told apart. Delete the surveys stored under "
                          "%1 (\"Delete Individual Survey or Complete Database\" in \"Database Management\" "
                          "on the administration tab, or pelmor-cli delete), import their saved downloads "
                          "again with a letter of their own each, then send them.")
        .arg(shownText(batchNumber));
}

QString headerRefused(const QString& batchNumber, const QString& problem)
{
    return QStringLiteral(
               "Survey %1 is not sent: its header fails the checks of an import. %2 To correct it, %3")
        .arg(shownText(batchNumber), problem, kDeleteAndImport);
}

// The statistics row of a survey does not count the vehicles stored under
// its number: a repair, or a program other than this one, left it short.
QString notWhole(const QString& batchNumber, const survey::SurveyRecord& record, qint64 stored)
{
    QString statistics = QStringLiteral("it has no statistics row");
    if (record.hasSummary) {
        const std::optional<qint64> counted = text::toWholeNumber(record.summary.totalVehicles);
        statistics = counted ? QStringLiteral("its statistics count %1").arg(vehiclesText(*counted))
                             : QStringLiteral("its statistics count \"%1\" vehicles")
                                   .arg(shownText(record.summary.totalVehicles, kShownCharacters));
    }
    return QStringLiteral(
               "Survey %1 is not sent: %2, but %3 %4 stored under it on this computer, so the survey "
               "is not whole. Repair the database first if it is damaged (\"Repair Database\" in "
               "\"Database Management\" on the administration tab, or pelmor-cli repair); if the "
               "survey still does not add up, %5")
        .arg(shownText(batchNumber), statistics, vehiclesText(stored),
             stored == 1 ? QStringLiteral("is") : QStringLiteral("are"), kDeleteAndImport);
}

QString differentSurvey(const QString& batchNumber, const QString& differences)
{
    return QStringLiteral(
               "Survey %1 is not sent: the agency server holds a different survey under that number. %2 "
               "The survey stays on this computer as it is; import its download again with a "
               "higher letter for the batch number and send that, or ask an administrator of the "
               "agency database which survey the server holds.")
        .arg(shownText(batchNumber), differences);
}

// Why a survey of this computer must not be sent as it is stored, found
// before anything is sent; empty when it may go. Its vehicles are counted
// as they are stored now, not taken from the list: a damaged file may have
// lost some since the survey was written.
QString localRefusal(store::SurveyStore& local, const survey::ListedSurvey& listed,
                     const QStringList& heldTwiceOver)
{
    const QString& batchNumber = listed.header.batchNumber;
    if (heldTwiceOver.contains(batchNumber))
        return heldTwice(batchNumber);
    if (const auto problem = import::checkHeader(import::surveyHeader(listed.header)))
        return headerRefused(batchNumber, problem->message);
    const survey::SurveyRecord record = local.loadSurvey(batchNumber);
    const qint64 stored = local.tally(batchNumber)->vehicles();
    if (!record.hasSummary || text::toWholeNumber(record.summary.totalVehicles) != stored)
        return notWhole(batchNumber, record, stored);
    return QString();
}

// The header fields in which the server's survey differs from this
// computer's, with both texts: "Its survey location is "Oak Ave" on the
// server and "Elm St" here." Empty when the headers are the same.
QString headerDifferences(const survey::HeaderRow& ours, const survey::HeaderRow& theirs)
{
    const auto ourFields = ours.storedFields();
    const auto theirFields = theirs.storedFields();
    QStringList fields;
    for (size_t i = 0; i < ourFields.size(); ++i) {
        if (ourFields[i].second != theirFields[i].second)
            fields << QStringLiteral("its %1 is \"%2\" on the server and \"%3\" here")
                          .arg(import::storedFieldName(ourFields[i].first),
                               shownText(theirFields[i].second, kShownCharacters),
                               shownText(ourFields[i].second, kShownCharacters));
    }
    if (fields.isEmpty())
        return QString();
    QString text = fields.join(QStringLiteral("; ")) + QLatin1Char('.');
    text[0] = text[0].toUpper();
    return text;
}

// The server holds this survey's download (the same vehicles, whatever the
// header says) as another survey: what differs between the two.
QString downloadHeldAs(store::SurveyStore& server, const survey::HeaderRow& header, const QString& storedAs)
{
    const survey::SurveyRecord theirs = server.loadSurvey(storedAs);
    return QStringLiteral(
               "Survey %1 is not sent: the agency server holds its download (the same vehicles) as "
               "survey %2. %3 A download is stored once: if survey %2 is the wrong one, ask an "
               "administrator of the agency database to delete it, then send %1 again.")
        .arg(shownText(header.batchNumber), shownText(storedAs), headerDifferences(header, theirs.header));
}

// How the server's survey under the batch number differs from this
// computer's: the header fields that differ with both texts, or else the
// vehicles (compared one by one in stored order, and counted). Empty when
// it is the same survey.
QString differences(store::SurveyStore& local, store::SurveyStore& server, const survey::HeaderRow& header)
{
    const survey::SurveyRecord theirs = server.loadSurvey(header.batchNumber);
    if (!theirs.hasHeader)
        return QStringLiteral("The server holds vehicles or statistics under that number, but no header.");
    if (const QString fields = headerDifferences(header, theirs.header); !fields.isEmpty())
        return fields;

    // Both are read to the end, so that the message can give both counts.
    const auto ourVehicles = local.readWrittenVehicles(header.batchNumber);
    const auto theirVehicles = server.readWrittenVehicles(header.batchNumber);
    qint64 ourOffset = 0, theirOffset = 0, ourSpeed = 0, theirSpeed = 0;
    QByteArrayView ourDirection, theirDirection;
    qint64 ourCount = 0, theirCount = 0;
    bool moreOurs = true, moreTheirs = true, same = true;
    for (;;) {
        moreOurs = moreOurs && ourVehicles->next(ourOffset, ourDirection, ourSpeed);
        moreTheirs = moreTheirs && theirVehicles->next(theirOffset, theirDirection, theirSpeed);
        if (!moreOurs && !moreTheirs)
            break;
        ourCount += moreOurs ? 1 : 0;
        theirCount += moreTheirs ? 1 : 0;
        if (moreOurs != moreTheirs || ourOffset != theirOffset || ourSpeed != theirSpeed ||
            ourDirection != theirDirection)
            same = false;
    }
    if (same)
        return QString();
    return QStringLiteral("Its header is the same, but its vehicles are not: %1 on the server, %2 here.")
        .arg(vehiclesText(theirCount), vehiclesText(ourCount));
}

// The upload was stopped from outside a survey's transaction.
struct Stop {
    QString reason;
};

// Copies one survey into the server in one transaction; the vehicles sent.
// Throws store::DuplicateBatch when the server holds the number already.
// The survey's statistics counted `expected` vehicles when it was checked:
// a survey that has lost or gained vehicles since is not committed.
qint64 sendSurvey(store::SurveyStore& local, store::SurveyStore& server, const survey::HeaderRow& header,
                  qint64 expected, qint64 done, qint64 total, UploadReport& report)
{
    const auto changed = [&header]() {
        return db::DbError(QStringLiteral("The vehicles of survey %1 changed on this computer while they "
                                          "were sent; send it again.")
                               .arg(shownText(header.batchNumber)));
    };
    // The survey goes with its lengths and where its vehicles came from.
    import::NewSurvey survey(server, header, local.loadSurvey(header.batchNumber).source);
    // The direction text comes from the rows as written, the stored clock
    // and date from the scan: both walk the rows in stored order.
    const auto written = local.readWrittenVehicles(header.batchNumber);
    qint64 sent = 0;
    qint64 offset = 0, speed = 0;
    QByteArrayView direction;
    local.scanVehicles(
        header.batchNumber, store::VehicleOrder::Stored, [&](const store::VehicleRow& vehicle) {
            if (!written->next(offset, direction, speed) || offset != vehicle.offset ||
                speed != vehicle.speed)
                throw changed();
            survey.addVehicle(offset, direction, speed, vehicle.secondOfDay, vehicle.date, vehicle.length);
            if (++sent % 4096 == 0)
                report.progress(done + sent, total);
            return true;
        });
    if (sent != expected)
        throw changed();
    survey.commit();
    return sent;
}

} // namespace

QString outcomeText(const SurveyOutcome& outcome)
{
    const QString batchNumber = shownText(outcome.batchNumber);
    switch (outcome.kind) {
    case Kind::Sent:
        return QStringLiteral("%1  sent, %2").arg(batchNumber, vehiclesText(outcome.vehicles));
    case Kind::AlreadyThere:
        return QStringLiteral("%1  already there, %2").arg(batchNumber, vehiclesText(outcome.vehicles));
    case Kind::Refused:
        return QStringLiteral("%1  refused: %2").arg(batchNumber, outcome.reason);
    case Kind::Failed:
        return QStringLiteral("%1  failed: %2").arg(batchNumber, outcome.reason);
    case Kind::MaybeSent:
        return QStringLiteral("%1  may have been sent: the connection was lost as the server was saving it; "
                              "send it again once the server can be reached, and it is told as sent or "
                              "already there")
            .arg(batchNumber);
    case Kind::NotSent:
        break;
    }
    return QStringLiteral("%1  not sent").arg(batchNumber);
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
           count(Kind::NotSent) == 0 && count(Kind::MaybeSent) == 0;
}

QString UploadResult::countsText() const
{
    QString counts = QStringLiteral("%1 sent, %2 already there, %3 refused, %4 failed, %5 not sent")
                         .arg(count(Kind::Sent))
                         .arg(count(Kind::AlreadyThere))
                         .arg(count(Kind::Refused))
                         .arg(count(Kind::Failed))
                         .arg(count(Kind::NotSent));
    if (const qint64 unknown = count(Kind::MaybeSent))
        counts += QStringLiteral(", %1 may have been sent").arg(unknown);
    return counts;
}

UploadResult uploadSurveys(const db::Database& local, const db::Database& server,
                           const QStringList& batchNumbers, UploadReport& report)
{
    UploadResult result;
    std::unique_ptr<store::SurveyStore> from;
    // One entry a batch number, also for one that an older file holds twice.
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
        result.surveys.push_back({batchNumber, Kind::Refused, 0, notHere(batchNumber)});
    }
    // Every chosen survey is checked before the server is asked for
    // anything. The surveys that may not go are refused; the others still
    // go, as each of them is whole under a number of its own and the upload
    // only reads the file.
    try {
        const QStringList heldTwiceOver = from->duplicatedBatches();
        for (SurveyOutcome& outcome : result.surveys) {
            if (outcome.kind == Kind::NotSent) {
                outcome.reason = localRefusal(*from, held.at(outcome.batchNumber), heldTwiceOver);
                if (!outcome.reason.isEmpty())
                    outcome.kind = Kind::Refused;
            }
            if (outcome.kind == Kind::Refused)
                report.surveyDone(outcome);
        }
    } catch (const db::DbError& error) {
        result.stopped = error.message();
        tellNotSent();
        return result;
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
        result.loginRefused = error.failure() == db::Failure::LoginRefused;
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
            const survey::ListedSurvey& listed = held.at(outcome.batchNumber);
            try {
                outcome.vehicles =
                    sendSurvey(*from, *to, listed.header, listed.vehicles, done, total, report);
                outcome.kind = Kind::Sent;
            } catch (const store::DuplicateBatch&) {
                // Another officer's upload, or an import on the server, got
                // the number first: whether it is this survey decides.
                const QString differing = differences(*from, *to, listed.header);
                if (differing.isEmpty()) {
                    outcome.kind = Kind::AlreadyThere;
                } else {
                    outcome.kind = Kind::Refused;
                    outcome.reason = differentSurvey(outcome.batchNumber, differing);
                }
            } catch (const store::DuplicateDownload& stored) {
                outcome.kind = Kind::Refused;
                outcome.reason = downloadHeldAs(*to, listed.header, stored.storedAs());
            } catch (const db::DbError& error) {
                if (error.failure() == db::Failure::MaybeSaved) {
                    // The link broke as the server was told to keep it: whether
                    // it did is told by sending it again once the server can be
                    // reached ("already there" or "sent").
                    outcome.kind = Kind::MaybeSent;
                    report.surveyDone(outcome);
                    throw Stop{error.message()};
                }
                if (error.failure() == db::Failure::ConnectionLost)
                    throw Stop{error.message()};
                outcome.kind = Kind::Failed;
                outcome.reason = error.message();
            } catch (const stats::StatisticsError& error) {
                outcome.kind = Kind::Failed;
                outcome.reason = QStringLiteral("The statistics of survey %1 cannot be worked out: %2")
                                     .arg(shownText(outcome.batchNumber), QString::fromUtf8(error.what()));
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
