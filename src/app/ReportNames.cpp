#include "app/ReportNames.h"

#include "db/DbError.h"

namespace pelmor::app {

ReportNames::ReportNames(QObject* parent)
    : QObject(parent)
{
}

QString ReportNames::load(const db::Database& database)
{
    QString firstFailure;
    std::unique_ptr<store::SurveyStore> store;
    for (const store::NameList list : {store::NameList::Agencies, store::NameList::Officers}) {
        QString& failure = m_failure[index(list)];
        m_chosen[index(list)] = {};
        failure.clear();
        try {
            if (!store)
                store = store::openStore(database);
            const std::vector<store::NamedEntry> entries = store->names(list);
            if (!entries.empty())
                m_chosen[index(list)] = entries.front();
        } catch (const db::DbError& error) {
            failure = error.message();
            if (firstFailure.isEmpty())
                firstFailure = failure;
        }
    }
    Q_EMIT changed();
    return firstFailure;
}

void ReportNames::choose(store::NameList list, const store::NamedEntry& entry)
{
    m_chosen[index(list)] = entry;
    m_failure[index(list)].clear();
    Q_EMIT changed();
}

} // namespace pelmor::app
