#pragma once

#include "flow/FlowBreakdown.h"

#include <QAbstractTableModel>
#include <QPointer>

#include <array>
#include <optional>
#include <vector>

namespace pelmor::db {
class RecordView;
}

namespace pelmor::flow {

// The rows of the Breakdown table as a read-only grid, bound to the record
// view on that table: whenever the view re-reads or moves, the grid shows
// the table's rows again, in the order they were written. Until headings are
// set, the columns are headed by the field names, as a bound grid heads them.
// Cells are aligned as the grid's default (numbers right, other text
// centred) unless a column is given its own alignment. A table that cannot
// be read shows no rows, and readFailure() says why.
class BreakdownModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit BreakdownModel(db::RecordView* view, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role = Qt::EditRole) override;

    // A column's own alignment; none gives the column the grid's default.
    void setColumnAlignment(int column, std::optional<Qt::Alignment> alignment);

    const std::vector<BreakdownRow>& rows() const { return m_rows; }
    // Why the rows cannot be shown: the table could not be read, now or
    // when the view last re-read it. Empty while the rows show.
    const QString& readFailure() const { return m_readFailure; }

    // Reads the rows from the view again.
    void reload();

private:
    static constexpr int kColumns = 4;

    QPointer<db::RecordView> m_view;
    std::vector<BreakdownRow> m_rows;
    QString m_readFailure;
    std::array<QString, kColumns> m_headings;
    std::array<std::optional<Qt::Alignment>, kColumns> m_alignments;
};

} // namespace pelmor::flow
