#pragma once

#include "db/Database.h"
#include "db/RecordView.h"

#include <QObject>
#include <QString>

namespace pelmor::app {

// The main window's record views that stay open while it is: the agency and
// officer lists ("Data4", "Data5", standing on the current agency and
// officer). Each is named as the control it stands for.
class BoundViews {
public:
    explicit BoundViews(QObject* owner);

    db::RecordView* agency() const { return m_agency; }
    db::RecordView* officer() const { return m_officer; }

    // Gives every view the database and opens each on its record source.
    // Returns the first failure's message (naming the database file), or an
    // empty text when all opened.
    QString open(const db::Database& database);
    // Closes every view and its connection (the maintenance window needs the
    // file to itself).
    void close();

private:
    db::RecordView* m_agency;
    db::RecordView* m_officer;
};

} // namespace pelmor::app
