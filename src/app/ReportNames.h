#pragma once

#include "db/Database.h"
#include "store/SurveyStore.h"

#include <QObject>
#include <QString>

#include <array>

namespace pelmor::app {

// The agency the documents are prepared for and the officer who prepares
// them: the entries last chosen, added or renamed on the Administration /
// Setup tab, or the first entry of each list when the window opens. The
// reports tab shows them and the documents are headed and signed with them.
class ReportNames : public QObject {
    Q_OBJECT
public:
    explicit ReportNames(QObject* parent = nullptr);

    // Chooses the first entry of each list of the database (none for an
    // empty list). Returns the first failure's message, naming the
    // database, or an empty text when both lists were read.
    QString load(const db::Database& database);

    // The chosen entry of a list; an entry with id 0 and no name when there
    // is none.
    const store::NamedEntry& chosen(store::NameList list) const { return m_chosen[index(list)]; }
    // Why the list could not be read when the window opened; empty when it
    // was read, or an entry was chosen since.
    const QString& failure(store::NameList list) const { return m_failure[index(list)]; }

    void choose(store::NameList list, const store::NamedEntry& entry);

Q_SIGNALS:
    void changed();

private:
    static size_t index(store::NameList list) { return list == store::NameList::Agencies ? 0 : 1; }

    std::array<store::NamedEntry, 2> m_chosen;
    std::array<QString, 2> m_failure;
};

} // namespace pelmor::app
