#include "cli/Command.h"
#include "db/Connection.h"
#include "db/DbError.h"
#include "db/Recordset.h"
#include "db/Schema.h"
#include "db/SqlText.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace pelmor::cli {

int runSurveys(const QCommandLineParser&, Context& context)
{
    try {
        db::Connection connection(context.databasePath);
        db::Recordset surveys =
            connection.openRecordset(QStringLiteral("select distinct [Batch_Number] from  Header"));
        for (surveys.moveFirst(); !surveys.eof(); surveys.moveNext())
            context.out << surveys.text(QStringLiteral("Batch_Number")) << '\n';
    } catch (const db::DbError& error) {
        return fail(context, error.message());
    }
    return 0;
}

void addSummaryOptions(QCommandLineParser& parser)
{
    parser.addPositionalArgument(QStringLiteral("batch"), QStringLiteral("The batch number of the survey."));
    parser.addOption({QStringLiteral("json"), QStringLiteral("Print the row as one JSON object.")});
}

int runSummary(const QCommandLineParser& parser, Context& context)
{
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() != 2)
        return fail(context, QStringLiteral("Name the survey: pelmor-cli summary BATCH"));
    const QString batch = arguments[1];
    try {
        db::Connection connection(context.databasePath);
        const db::TableInfo& table = *db::findTable(QStringLiteral("Summary"));
        db::Recordset rows = db::Recordset::openTable(connection, table);
        if (!rows.findFirst(QStringLiteral("Batch_Number = '") + db::escapeText(batch) + QLatin1Char('\'')))
            return fail(context, QStringLiteral("No statistics of a survey %1 are stored.").arg(batch));
        if (parser.isSet(QStringLiteral("json"))) {
            QJsonObject object;
            for (const db::FieldInfo& field : table.fields)
                object.insert(field.name, rows.text(field.name));
            context.out << QJsonDocument(object).toJson(QJsonDocument::Indented);
        } else {
            for (const db::FieldInfo& field : table.fields)
                context.out << field.name << ": " << rows.text(field.name) << '\n';
        }
    } catch (const db::DbError& error) {
        return fail(context, error.message());
    }
    return 0;
}

} // namespace pelmor::cli
