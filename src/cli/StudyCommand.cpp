#include "Command.h"
#include "SharedOptions.h"
#include "db/DbError.h"
#include "store/SurveyStore.h"
#include "study/StudyExport.h"
#include "study/StudyTables.h"
#include "survey/SurveyRecord.h"
#include "text/Formats.h"
#include "text/MessageText.h"

#include <QJsonDocument>
#include <QRegularExpression>

#include <algorithm>
#include <limits>

namespace pelmor::cli {
namespace {

const QCommandLineOption& jsonOption()
{
    static const QCommandLineOption option(QStringLiteral("json"),
                                           QStringLiteral("Print the study as one JSON object."));
    return option;
}

} // namespace

QString textTable(const QStringList& columns, const std::vector<QStringList>& rows)
{
    std::vector<QStringList> all{columns};
    all.insert(all.end(), rows.begin(), rows.end());
    std::vector<qsizetype> widths(size_t(columns.size()), 0);
    for (const QStringList& row : all)
        for (qsizetype i = 0; i < row.size() && i < columns.size(); ++i)
            widths[size_t(i)] = std::max(widths[size_t(i)], row[i].size());
    QString text;
    for (const QStringList& row : all) {
        QStringList cells;
        for (qsizetype i = 0; i < row.size() && i < columns.size(); ++i)
            cells << (i == 0 ? row[i].leftJustified(widths[size_t(i)])
                             : row[i].rightJustified(widths[size_t(i)]));
        QString line = cells.join(QStringLiteral("  "));
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
        text += line + QLatin1Char('\n');
    }
    return text;
}

const QCommandLineOption& thresholdOption()
{
    static const QCommandLineOption option(
        QStringLiteral("threshold"),
        QStringLiteral(
            "The enforcement threshold: vehicles faster than N are counted (default: the limit + 10)."),
        QStringLiteral("N"));
    return option;
}

bool readThreshold(const QCommandLineParser& parser, Context& context, std::optional<qint64>& threshold)
{
    threshold.reset();
    if (!parser.isSet(thresholdOption()))
        return true;
    const QString given = parser.value(thresholdOption());
    const QString digits = given.trimmed();
    bool number = false;
    const qint64 speed = digits.toLongLong(&number);
    if (number && speed >= 1) {
        threshold = speed;
        return true;
    }
    static const QRegularExpression whole(QStringLiteral("^[+-]?[0-9]+$"));
    const QString what = QStringLiteral("The threshold %1 ").arg(text::quotedValue(given));
    const QString instead = QStringLiteral(": give --threshold a whole speed above 0, such as 45.");
    if (!whole.match(digits).hasMatch())
        fail(context, what + QStringLiteral("is not a whole number") + instead);
    else if (number || digits.startsWith(QLatin1Char('-')))
        fail(context, what + QStringLiteral("is not above 0") + instead);
    else
        fail(context, what + QStringLiteral("is above the largest allowed, %1: give --threshold a smaller "
                                            "whole speed.")
                                 .arg(text::formatCount(std::numeric_limits<qint64>::max())));
    return false;
}

std::optional<study::SpeedStudy> studyOf(const QCommandLineParser& parser, Context& context,
                                         const QString& batchNumber)
{
    std::optional<qint64> threshold;
    if (!readThreshold(parser, context, threshold))
        return std::nullopt;
    survey::SurveyRecord survey;
    try {
        survey = store::openStore(context.database)->loadSurvey(batchNumber);
    } catch (const db::DbError& error) {
        fail(context, error.message());
        return std::nullopt;
    }
    if (!survey.hasHeader) {
        fail(context, QStringLiteral("The database holds no survey %1.").arg(batchNumber));
        return std::nullopt;
    }
    study::StudyResult result = study::runStudy(context.database, study::StudyInputs::of(survey, threshold));
    if (!result.ok())
        fail(context, result.message);
    return std::move(result.study);
}

void addStudyOptions(QCommandLineParser& parser)
{
    parser.addPositionalArgument(QStringLiteral("BATCH"), QStringLiteral("The batch number of the survey."));
    parser.addOption(jsonOption());
    parser.addOption(thresholdOption());
}

int runStudy(const QCommandLineParser& parser, Context& context)
{
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() != 2)
        return fail(context,
                    QStringLiteral("Name the survey: pelmor-cli study BATCH [--json] [--threshold N]"));
    const std::optional<study::SpeedStudy> found = studyOf(parser, context, arguments.at(1));
    if (!found)
        return 1;
    const study::SpeedStudy& study = *found;
    if (parser.isSet(jsonOption())) {
        context.out << QJsonDocument(study::studyJson(study)).toJson(QJsonDocument::Indented);
        return 0;
    }
    context.out << study::studyHeading(study) << "\n\n";
    std::vector<QStringList> figures;
    for (const study::FigureRow& row : study::figureRows(study))
        figures.push_back(QStringList{row.caption} + QStringList(row.cells.begin(), row.cells.end()));
    QStringList directions{QString()};
    for (const study::Direction direction : study::kDirections)
        directions << study::directionName(direction);
    context.out << textTable(directions, figures) << study::percentileNote() << "\n\n";
    const study::TextTable hours = study::hourlyTable(study);
    context.out << textTable(hours.columns, hours.rows) << '\n';
    if (study.warnings.empty())
        context.out << study::noWarningsText() << '\n';
    for (const study::Warning& warning : study.warnings)
        context.out << "Warning: " << warning.text << '\n';
    return 0;
}

} // namespace pelmor::cli
