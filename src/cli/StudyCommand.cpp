#include "Command.h"
#include "SharedOptions.h"
#include "queries/Queries.h"
#include "study/StudyExport.h"
#include "study/StudyTables.h"
#include "text/Formats.h"
#include "text/MessageText.h"

#include <algorithm>

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

void addSurveyFilterOptions(QCommandLineParser& parser)
{
    parser.addOption(
        {QStringLiteral("zone"), QStringLiteral("Only surveys of this zone."), QStringLiteral("Z")});
    parser.addOption({QStringLiteral("direction"),
                      QStringLiteral("Only surveys of this direction of travel."), QStringLiteral("D")});
    parser.addOption({QStringLiteral("since"),
                      QStringLiteral("Only surveys that began on or after this date."),
                      QStringLiteral("MM/DD/YYYY")});
    parser.addOption({QStringLiteral("until"),
                      QStringLiteral("Only surveys that began on or before this date."),
                      QStringLiteral("MM/DD/YYYY")});
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
    const auto given = queries::readThreshold(QStringLiteral("--threshold"), parser.value(thresholdOption()));
    if (!given.ok()) {
        failed(context, given);
        return false;
    }
    threshold = *given.value;
    return true;
}

std::optional<study::SpeedStudy> studyOf(const QCommandLineParser& parser, Context& context,
                                         const QString& batchNumber)
{
    std::optional<qint64> threshold;
    if (!readThreshold(parser, context, threshold))
        return std::nullopt;
    auto study = queries::speedStudy(context.database, batchNumber, threshold);
    if (!study.ok())
        failed(context, study);
    return std::move(study.value);
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
        context.out << queries::jsonText(study::studyJson(study));
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
