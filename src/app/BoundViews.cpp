#include "app/BoundViews.h"

#include "db/DbError.h"

namespace pelmor::app {
namespace {

db::RecordView* makeView(const char* name, const char* source, QObject* owner)
{
    auto* view = new db::RecordView(QLatin1String(name), owner); // owned by `owner`
    view->setRecordSource(QLatin1String(source));
    return view;
}

} // namespace

BoundViews::BoundViews(QObject* owner)
    : m_agency(makeView("Data4", "Agency", owner))
    , m_officer(makeView("Data5", "Officer", owner))
{
}

QString BoundViews::open(const db::Database& database)
{
    QString firstFailure;
    for (db::RecordView* view : {m_agency, m_officer}) {
        view->setDatabase(database);
        try {
            view->refresh();
        } catch (const db::DbError& error) {
            if (firstFailure.isEmpty())
                firstFailure = error.message();
        }
    }
    return firstFailure;
}

void BoundViews::close()
{
    for (db::RecordView* view : {m_agency, m_officer})
        view->close();
}

} // namespace pelmor::app
