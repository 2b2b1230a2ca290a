#include "app/TableExporter.h"

#include "app/AppState.h"
#include "app/GraphsTab.h"
#include "db/Files.h"
#include "survey/SurveyRecord.h"
#include "ui/CsvFileDialog.h"
#include "ui/Messages.h"
#include "worker/Run.h"

#include <QFileInfo>
#include <QWidget>

namespace pelmor::app {

TableExporter::TableExporter(AppState& state, ui::Messages& messages, worker::BackgroundTask& task,
                             GraphsTab& graphs, QWidget* window)
    : QObject(window)
    , m_state(state)
    , m_messages(messages)
    , m_task(task)
    , m_graphs(graphs)
    , m_window(window)
{
}

void TableExporter::exportTable(csv::Table table)
{
    const QString batch = m_state.current.batchNumber();
    if (table != csv::Table::Breakdown && batch.isEmpty()) {
        m_messages.tell(survey::noSurveyMessage());
        return;
    }
    static const char* const names[] = {"vehicles", "breakdown", "statistics"};
    const QString what = QLatin1String(names[static_cast<int>(table)]);
    static const char* const saved[] = {"The vehicles of survey %1 were saved as %2",
                                        "The traffic flow breakdown in the grid was saved as %2",
                                        "The statistics of survey %1 were saved as %2"};
    const QString path = ui::askCsvFile(
        m_window, csv::suggestedFileName(batch.isEmpty() ? QStringLiteral("last") : batch, what));
    if (path.isEmpty())
        return;
    worker::run(
        m_task, this,
        [database = m_state.database, table, batch, path,
         rows = m_graphs.breakdownRows()](worker::BackgroundTask& task) {
            return csv::saveTable(database, table, batch, path, rows, &task);
        },
        [this, table, batch, path](worker::Done<QString> done) {
            const QString& failure = done.value;
            // Stopped: no file, and nothing to say. A cancel that came
            // after the last row still has a file to tell of.
            if (m_task.isCancelled() && !failure.isEmpty())
                return;
            if (!failure.isEmpty()) {
                m_messages.tell(failure, ui::Messages::defaultTitle(), ui::Messages::Icon::Critical);
                return;
            }
            m_messages.tell(
                QString::fromLatin1(saved[static_cast<int>(table)])
                    .replace(QLatin1String("%1"), batch)
                    .replace(QLatin1String("%2"), db::displayPath(QFileInfo(path).absoluteFilePath())),
                ui::Messages::defaultTitle(), ui::Messages::Icon::Information);
        },
        table == csv::Table::Breakdown ? QStringLiteral("Saving the traffic flow breakdown")
                                       : QStringLiteral("Saving the %1 of survey %2").arg(what, batch),
        true);
}

} // namespace pelmor::app
