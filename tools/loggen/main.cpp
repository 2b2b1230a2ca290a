// pelmor-loggen: writes a realistic radar speed sign log for testing the
// download and import paths of the program.

#include "db/SafeFileWriter.h"
#include "loggen/LogGenerator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QRegularExpression>

#include <cmath>
#include <cstdio>
#include <optional>

using namespace pelmor::loggen;

namespace {

constexpr double kMaxDays = 3660.0;
constexpr qint64 kMaxVehicles = 50000000;

struct Failure {
    QString message;
};

void printError(const QString& message)
{
    std::fprintf(stderr, "pelmor-loggen: %s\n", qPrintable(message));
}

QRegularExpressionMatch matchWhole(const QString& pattern, const QString& text)
{
    return QRegularExpression(QStringLiteral("\\A%1\\z").arg(pattern)).match(text);
}

QDate parseStartDate(const QString& text)
{
    const auto m = matchWhole(QStringLiteral("(\\d{1,2})/(\\d{1,2})/(\\d{4})"), text);
    if (!m.hasMatch())
        throw Failure{QStringLiteral("--start-date \"%1\" is not a date of the form MM/DD/YYYY").arg(text)};
    const QDate date(m.captured(3).toInt(), m.captured(1).toInt(), m.captured(2).toInt());
    if (!date.isValid())
        throw Failure{QStringLiteral("--start-date \"%1\" is not a calendar date").arg(text)};
    // The sign keeps a two-digit year, which reads back as 2000-2099.
    if (date.year() < 2000 || date.year() > 2099)
        throw Failure{QStringLiteral("--start-date \"%1\": the year must lie in 2000-2099, "
                                     "since the sign stores two digits")
                          .arg(text)};
    return date;
}

void parseStartTime(const QString& text, LogHeader& header)
{
    const auto m = matchWhole(QStringLiteral("(\\d{1,2}):(\\d{2})"), text);
    const int hour = m.hasMatch() ? m.captured(1).toInt() : -1;
    const int minute = m.hasMatch() ? m.captured(2).toInt() : -1;
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59)
        throw Failure{QStringLiteral("--start-time \"%1\" is not a 24-hour time HH:MM").arg(text)};
    header.startHour = hour;
    header.startMinute = minute;
}

// A field the sign prints with a fixed number of digits: 1 to `width` digits,
// padded with zeros.
QString digitField(const QString& option, const QString& text, int width)
{
    if (!matchWhole(QStringLiteral("\\d{1,%1}").arg(width), text).hasMatch())
        throw Failure{QStringLiteral("--%1 \"%2\" must be 1 to %3 digits").arg(option, text).arg(width)};
    return text.rightJustified(width, QLatin1Char('0'));
}

double positiveNumber(const QString& option, const QString& text, bool zeroAllowed)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < 0.0 || (!zeroAllowed && value == 0.0))
        throw Failure{
            QStringLiteral("--%1 \"%2\" must be a number %3")
                .arg(option, text, zeroAllowed ? QStringLiteral("of 0 or more") : QStringLiteral("above 0"))};
    return value;
}

qint64 wholeNumber(const QString& option, const QString& text, qint64 low, qint64 high)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok || value < low || value > high)
        throw Failure{QStringLiteral("--%1 \"%2\" must be a whole number from %3 to %4")
                          .arg(option, text)
                          .arg(low)
                          .arg(high)};
    return value;
}

qint64 durationSeconds(const QCommandLineParser& parser)
{
    const bool hours = parser.isSet(QStringLiteral("duration-hours"));
    const bool days = parser.isSet(QStringLiteral("days"));
    if (hours && days)
        throw Failure{QStringLiteral("give either --duration-hours or --days, not both")};
    if (!hours && !days)
        return 24 * 3600;
    const QString option = hours ? QStringLiteral("duration-hours") : QStringLiteral("days");
    const double value = positiveNumber(option, parser.value(option), false);
    const double seconds = std::round(value * (hours ? 3600.0 : 86400.0));
    if (seconds < 1.0 || seconds > kMaxDays * 86400.0)
        throw Failure{QStringLiteral("--%1 \"%2\" must give a survey from 1 second to %3 days")
                          .arg(option, parser.value(option))
                          .arg(kMaxDays)};
    return qint64(seconds);
}

SurveyProfile profileFromOptions(const QCommandLineParser& parser)
{
    LogHeader header;
    header.startDate = parser.isSet(QStringLiteral("start-date"))
                           ? parseStartDate(parser.value(QStringLiteral("start-date")))
                           : QDate::currentDate();
    if (parser.isSet(QStringLiteral("start-time")))
        parseStartTime(parser.value(QStringLiteral("start-time")), header);

    const QString unit = parser.value(QStringLiteral("unit")).toUpper();
    if (unit != QLatin1String("MPH") && unit != QLatin1String("KPH"))
        throw Failure{
            QStringLiteral("--unit \"%1\" must be MPH or KPH").arg(parser.value(QStringLiteral("unit")))};
    header.unit = unit;
    header.locationCode = digitField(QStringLiteral("location"), parser.value(QStringLiteral("location")), 5);
    header.postedLimit = digitField(QStringLiteral("limit"), parser.value(QStringLiteral("limit")), 3);
    header.cutoff = digitField(QStringLiteral("cutoff"), parser.value(QStringLiteral("cutoff")), 3);
    header.alarm = digitField(QStringLiteral("alarm"), parser.value(QStringLiteral("alarm")), 3);

    SurveyProfile profile = profileForHeader(header);
    profile.durationSeconds = durationSeconds(parser);
    if (parser.isSet(QStringLiteral("mean")))
        profile.meanSpeed =
            positiveNumber(QStringLiteral("mean"), parser.value(QStringLiteral("mean")), false);
    if (parser.isSet(QStringLiteral("sd")))
        profile.speedSd = positiveNumber(QStringLiteral("sd"), parser.value(QStringLiteral("sd")), true);
    if (parser.isSet(QStringLiteral("seed")))
        profile.seed =
            quint32(wholeNumber(QStringLiteral("seed"), parser.value(QStringLiteral("seed")), 0, 4294967295));
    if (parser.isSet(QStringLiteral("vehicles")))
        profile.exactCount = wholeNumber(QStringLiteral("vehicles"), parser.value(QStringLiteral("vehicles")),
                                         1, kMaxVehicles);
    return profile;
}

bool writeOutput(const QString& path, const QByteArray& log)
{
    if (path.isEmpty() || path == QLatin1String("-")) {
        QFile out;
        if (!out.open(stdout, QIODevice::WriteOnly) || out.write(log) != log.size() || !out.flush()) {
            printError(QStringLiteral("cannot write to standard output: %1").arg(out.errorString()));
            return false;
        }
        return true;
    }
    const QString failure = pelmor::db::saveFile(path, [&log](QIODevice& out) {
        // A refused write is told by the file itself.
        out.write(log);
        return QString();
    });
    if (!failure.isEmpty())
        printError(failure);
    return failure.isEmpty();
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pelmor-loggen"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Writes the log a radar speed sign sends after a survey: header, vehicle records\n"
                       "\"offset,direction,speed,\" and the closing line of '+'. Traffic follows a daily\n"
                       "profile of a residential street (about 1,500 vehicles a day) unless --vehicles\n"
                       "sets the count. The same options and seed give the same log.\n\n"
                       "Example: pelmor-loggen --start-date 05/03/2026 --days 2 --rsx -o survey.rsx"));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("start-date"), QStringLiteral("Survey start date (default: today)."),
         QStringLiteral("MM/DD/YYYY")},
        {QStringLiteral("start-time"), QStringLiteral("Survey start, 24-hour (default: 08:00)."),
         QStringLiteral("HH:MM")},
        {QStringLiteral("duration-hours"), QStringLiteral("Survey length in hours."), QStringLiteral("H")},
        {QStringLiteral("days"), QStringLiteral("Survey length in days (default: 1)."), QStringLiteral("D")},
        {QStringLiteral("vehicles"), QStringLiteral("Exactly N vehicles, spread by the daily profile."),
         QStringLiteral("N")},
        {QStringLiteral("limit"), QStringLiteral("Posted limit, 1-3 digits (default: 035)."),
         QStringLiteral("L"), QStringLiteral("035")},
        {QStringLiteral("unit"), QStringLiteral("Speed unit (default: MPH)."), QStringLiteral("MPH|KPH"),
         QStringLiteral("MPH")},
        {QStringLiteral("location"), QStringLiteral("Location code, 1-5 digits (default: 00415)."),
         QStringLiteral("CODE"), QStringLiteral("00415")},
        {QStringLiteral("cutoff"), QStringLiteral("High speed cut-off, 1-3 digits (default: 080)."),
         QStringLiteral("S"), QStringLiteral("080")},
        {QStringLiteral("alarm"), QStringLiteral("Alarm speed, 1-3 digits (default: 045)."),
         QStringLiteral("S"), QStringLiteral("045")},
        {QStringLiteral("mean"), QStringLiteral("Mean speed (default: limit + 3 MPH or limit + 5 KPH)."),
         QStringLiteral("S")},
        {QStringLiteral("sd"), QStringLiteral("Standard deviation of speeds (default: 6 MPH or 10 KPH)."),
         QStringLiteral("S")},
        {QStringLiteral("seed"), QStringLiteral("Random seed (default: 1)."), QStringLiteral("N")},
        {QStringLiteral("per-line"), QStringLiteral("Vehicle records per line (default: 8)."),
         QStringLiteral("N"), QStringLiteral("8")},
        {QStringLiteral("no-terminator"), QStringLiteral("Leave out the closing line of '+'.")},
        {QStringLiteral("rsx"),
         QStringLiteral("Write the log as the program saves a download (one more CR LF).")},
        {{QStringLiteral("o"), QStringLiteral("output")},
         QStringLiteral("Write to FILE instead of standard output."),
         QStringLiteral("FILE")},
    });
    parser.process(app);

    try {
        if (!parser.positionalArguments().isEmpty())
            throw Failure{
                QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().constFirst())};
        const SurveyProfile profile = profileFromOptions(parser);
        WriteOptions options;
        options.recordsPerLine =
            int(wholeNumber(QStringLiteral("per-line"), parser.value(QStringLiteral("per-line")), 1, 100000));
        options.terminator = !parser.isSet(QStringLiteral("no-terminator"));

        QByteArray log = writeLog(profile.header, generateVehicles(profile), options);
        if (parser.isSet(QStringLiteral("rsx")))
            log.append("\r\n");
        return writeOutput(parser.value(QStringLiteral("output")), log) ? 0 : 1;
    } catch (const Failure& failure) {
        printError(failure.message);
        std::fprintf(stderr, "Try 'pelmor-loggen --help' for the options.\n");
        return 2;
    }
}
