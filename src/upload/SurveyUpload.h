#pragma once

#include "db/Database.h"

#include <QString>
#include <QStringList>

#include <vector>

// Sends surveys of the database file on this computer to the agency's
// server, each survey whole or not at all.
namespace pelmor::upload {

// What became of one survey chosen for sending.
struct SurveyOutcome {
    enum class Kind {
        Sent,         // stored on the server with its vehicles and statistics
        AlreadyThere, // the server holds the same survey under its number
        Refused,      // the server holds another survey under its number, or
                      // it is not on this computer, or it is not fit to send as
                      // stored (its number held twice, a header an import
                      // refuses, statistics that do not count its vehicles)
        Failed,       // the server or the file failed while it was sent
        NotSent,      // the upload stopped before it (cancelled, connection lost)
        MaybeSent,    // the connection was lost as the server was saving it: it may
                      // be stored there or not
    };
    QString batchNumber;
    Kind kind = Kind::NotSent;
    qint64 vehicles = 0;
    // Why it was refused or failed; empty otherwise.
    QString reason;
};

// One line for a survey's outcome, as the headless tool prints it and the
// window lists it: "050326-A  sent, 2,947 vehicles".
QString outcomeText(const SurveyOutcome& outcome);

// What the upload tells along the way.
class UploadReport {
public:
    virtual ~UploadReport() = default;
    // Vehicles dealt with so far (sent, or found there already) of all the
    // chosen surveys hold.
    virtual void progress(qint64 done, qint64 total) = 0;
    // Whether the user asked to stop; looked at between surveys.
    virtual bool cancelled() const { return false; }
    // One survey has been dealt with.
    virtual void surveyDone(const SurveyOutcome& outcome) { Q_UNUSED(outcome); }
};

struct UploadResult {
    // One per chosen survey, in the order they were chosen.
    std::vector<SurveyOutcome> surveys;
    bool cancelled = false;
    // Why the upload stopped before the end, or could not begin (the server
    // cannot be reached, wants a password, the file cannot be read); empty
    // when it went through all the surveys.
    QString stopped;
    // The server wants a password that was not given: nothing was sent.
    bool passwordNeeded = false;
    // The server refused the user or the password given: nothing was sent.
    bool loginRefused = false;

    qint64 count(SurveyOutcome::Kind kind) const;
    // True when nothing was refused, failed or left unsent.
    bool complete() const;
    // The closing line: "3 sent, 1 already there, 0 refused, 0 failed, 0 not sent".
    QString countsText() const;
};

// Sends the surveys `batchNumbers` names (all of the file's when empty)
// from the file of `local` to the server of `server`. Before the server is
// asked for anything, each chosen survey is checked as the file holds it:
// a batch number the file holds more than once, a header that the import's
// checks refuse, and statistics whose vehicle count is not the count of the
// vehicles stored under the number each refuse that survey, naming it; the
// others still go. Each survey is one transaction on the server: its
// header, its vehicles in stored order and its statistics, worked out on
// the server as an import there works them out. A batch number the server
// holds already is compared field by field and then vehicle by vehicle:
// the same survey is reported as already there, another one is refused
// saying what differs; the local survey is never changed. A lost
// connection stops the upload; the result says which surveys were sent and
// which were not.
UploadResult uploadSurveys(const db::Database& local, const db::Database& server,
                           const QStringList& batchNumbers, UploadReport& report);

} // namespace pelmor::upload
