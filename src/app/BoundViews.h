#pragma once

#include "db/RecordView.h"

#include <QObject>
#include <QString>

#include <array>

namespace pelmor::app {

// The main window's eight bound record views, each on its fixed record
// source: Data1 "Summary" (the import tab's hidden result labels), Data2
// "Header" and Data3 "Summary" (the reports tab), Data4 "Agency", Data5
// "Officer", Data6 "Breakdown" (the flow grid), Data7 "Radar" (the unit
// chooser) and Data8 "header" (clean-up after a failed import).
class BoundViews {
public:
    explicit BoundViews(QObject* owner);

    db::RecordView* data(int number) const { return m_views.at(static_cast<size_t>(number - 1)); }
    db::RecordView* data1() const { return data(1); }
    db::RecordView* data2() const { return data(2); }
    db::RecordView* data3() const { return data(3); }
    db::RecordView* data4() const { return data(4); }
    db::RecordView* data5() const { return data(5); }
    db::RecordView* data6() const { return data(6); }
    db::RecordView* data7() const { return data(7); }
    db::RecordView* data8() const { return data(8); }

    // Gives every view the database path, Data1 to Data8 in order, and opens
    // each on its record source. Returns the first failure's message (naming
    // the database file), or an empty text when all opened.
    QString open(const QString& databasePath);

private:
    std::array<db::RecordView*, 8> m_views{};
};

} // namespace pelmor::app
