#include "app/BoundViews.h"

#include "db/DbError.h"

namespace pelmor::app {

BoundViews::BoundViews(QObject* owner)
{
    static const char* const sources[] = {"Summary", "Header",    "Summary", "Agency",
                                          "Officer", "Breakdown", "Radar",   "header"};
    for (int i = 0; i < 8; ++i) {
        auto* view = new db::RecordView(QStringLiteral("Data%1").arg(i + 1), owner); // owned by `owner`
        view->setRecordSource(QLatin1String(sources[i]));
        m_views[static_cast<size_t>(i)] = view;
    }
}

QString BoundViews::open(const QString& databasePath)
{
    QString firstFailure;
    for (db::RecordView* view : m_views) {
        view->setDatabaseName(databasePath);
        try {
            view->refresh();
        } catch (const db::DbError& error) {
            if (firstFailure.isEmpty())
                firstFailure = error.message();
        }
    }
    return firstFailure;
}

} // namespace pelmor::app
