#pragma once

#include "import/LogParser.h"
#include "import/SurveyImport.h"
#include "loggen/LogWriter.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringList>

#include <functional>

// Downloads as the import receives them and the header the user completes.
namespace pelmor::test {

// Records what an import tells the user and asks; answers every question
// with `answer`.
class ImportMessages : public import::ImportReport {
public:
    void message(const QString& text, const QString& reason) override
    {
        if (onMessage)
            onMessage(text);
        messages << text;
        reasons << reason;
    }
    void progress(qint64 written, qint64 expected) override
    {
        if (onProgress)
            onProgress(written, expected);
    }
    bool confirm(const QString& question) override
    {
        questions << question;
        return answer;
    }
    QStringList messages;
    QStringList reasons;
    QStringList questions;
    bool answer = false;
    // Runs as each message is told, before it is recorded.
    std::function<void(const QString& text)> onMessage;
    // Runs while the vehicles are written, inside the import's transaction.
    std::function<void(qint64 written, qint64 expected)> onProgress;
};

// The sign's log of these vehicles, processed: its end marked.
inline QByteArray processedLog(const loggen::LogHeader& header, const std::vector<loggen::Vehicle>& vehicles)
{
    QByteArray log = loggen::writeLog(header, vehicles);
    import::markEnd(log);
    return log;
}

// A log without its "Speed Units:" line: the header completed for it alone
// decides the unit.
inline QByteArray withoutUnit(QByteArray log)
{
    return log.replace("Speed Units: MPH\r\n", "");
}

// A processed download of `count` vehicles ten seconds apart, at speeds
// 20 to 39 in turn, stating no unit.
inline QByteArray largeDownload(const QDate& date, qint64 count)
{
    std::vector<loggen::Vehicle> list;
    for (qint64 i = 0; i < count; ++i)
        list.push_back({i * 10, i % 3 ? '+' : '-', int(20 + i % 20)});
    loggen::LogHeader header;
    header.startDate = date;
    return withoutUnit(processedLog(header, list));
}

// A processed download from vehicles written "offset direction speed"
// ("90061-30"), or as a speed alone ten seconds after the one before,
// stating no unit.
inline QByteArray download(const QDate& date, const QString& vehicles, int hour = 8, int minute = 0)
{
    std::vector<loggen::Vehicle> list;
    const QRegularExpression written(QStringLiteral("^(\\d+)([-+?])(\\d+)$"));
    for (const QString& vehicle : vehicles.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const auto m = written.match(vehicle);
        list.push_back(m.hasMatch() ? loggen::Vehicle{m.captured(1).toLongLong(),
                                                      char(m.captured(2)[0].unicode()), m.captured(3).toInt()}
                                    : loggen::Vehicle{qint64(list.size()) * 10, '+', vehicle.toInt()});
    }
    loggen::LogHeader header;
    header.startDate = date;
    header.startHour = hour;
    header.startMinute = minute;
    return withoutUnit(processedLog(header, list));
}

// The import header as the user completes it for a download (trailer A, in
// KPH), with changes "field=value; field=value" made to it.
inline import::SurveyHeader completeHeader(const QByteArray& buffer, const QString& changes = QString())
{
    using import::SurveyHeader;
    const import::HeaderFields f = import::readHeaderFields(buffer);
    SurveyHeader header{f.batchNumber(QStringLiteral("A")),
                        f.locationCode,
                        QStringLiteral("Elm Street"),
                        f.startDate(),
                        f.startTime(),
                        f.postedSpeed,
                        f.cutoff,
                        f.alarm,
                        QStringLiteral("KPH"),
                        QStringLiteral("North"),
                        QStringLiteral("School")};
    const QHash<QString, QString SurveyHeader::*> fields = {
        {"location", &SurveyHeader::location}, {"direction", &SurveyHeader::direction},
        {"zone", &SurveyHeader::zone},         {"posted", &SurveyHeader::postedSpeed},
        {"batch", &SurveyHeader::batchNumber}, {"date", &SurveyHeader::startDate},
        {"time", &SurveyHeader::startTime},    {"unit", &SurveyHeader::unit},
        {"code", &SurveyHeader::locationCode}};
    for (const QString& change : changes.split(QStringLiteral("; "), Qt::SkipEmptyParts))
        header.*fields.value(change.section(QLatin1Char('='), 0, 0)) = change.section(QLatin1Char('='), 1);
    return header;
}

} // namespace pelmor::test
