#include "Command.h"
#include "SharedOptions.h"
#include "compare/ComparisonExport.h"
#include "compare/ComparisonTables.h"
#include "queries/Queries.h"

namespace pelmor::cli {

void addCompareOptions(QCommandLineParser& parser)
{
    parser.addPositionalArgument(
        QStringLiteral("BATCH_A"),
        QStringLiteral("The batch number of the first survey, usually the one before."));
    parser.addPositionalArgument(
        QStringLiteral("BATCH_B"),
        QStringLiteral("The batch number of the second survey, usually the one after."));
    parser.addOption({QStringLiteral("json"), QStringLiteral("Print the comparison as one JSON object.")});
}

int runCompare(const QCommandLineParser& parser, Context& context)
{
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() != 3)
        return fail(context, QStringLiteral("Name two surveys: pelmor-cli compare BATCH_A BATCH_B [--json]"));
    const auto result = queries::comparison(context.database, arguments[1], arguments[2]);
    if (!result.ok())
        return failed(context, result);
    const compare::Comparison& comparison = *result.value;
    if (parser.isSet(QStringLiteral("json"))) {
        context.out << queries::jsonText(compare::comparisonJson(comparison));
        return 0;
    }
    context.out << compare::comparisonHeading(comparison) << "\n\n"
                << compare::surveyLine(comparison, true) << '\n'
                << compare::surveyLine(comparison, false) << '\n'
                << compare::unitNote(comparison) << '\n';
    std::vector<QStringList> rows;
    for (const compare::ComparisonRow& row : compare::comparisonRows(comparison))
        rows.push_back({row.caption, row.a, row.b, row.change});
    context.out << '\n' << textTable(compare::comparisonColumns(comparison), rows) << '\n';
    context.out << comparison.headline << "\n\n";
    for (const QString& line : compare::verdictLines(comparison))
        context.out << line << '\n';
    context.out << '\n';
    if (comparison.warnings.empty())
        context.out << compare::fairComparisonNote() << '\n';
    for (const study::Warning& warning : comparison.warnings)
        context.out << "Warning: " << warning.text << '\n';
    return 0;
}

} // namespace pelmor::cli
