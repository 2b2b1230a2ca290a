#pragma once

#include "flow/FlowBreakdown.h"

#include <QAbstractTableModel>

#include <array>
#include <optional>
#include <vector>

namespace pelmor::flow {

// The rows of a breakdown as a read-only grid, in their order. It starts
// empty and shows the rows it is given, the breakdown of the survey on show.
// Until headings are set, the columns are headed by the field names of the
// Breakdown table. Cells are aligned as the grid's default (numbers right,
// other text centred) unless a column is given its own alignment. A
// breakdown that failed shows the rows made before the failure, and
// readFailure() says why.
class BreakdownModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit BreakdownModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role = Qt::EditRole) override;

    // A column's own alignment; none gives the column the grid's default.
    void setColumnAlignment(int column, std::optional<Qt::Alignment> alignment);

    const std::vector<BreakdownRow>& rows() const { return m_rows; }
    // Why the breakdown on show stopped short; empty when it is whole.
    const QString& readFailure() const { return m_readFailure; }

    // Shows these rows, and why the breakdown stopped short (if it did).
    void setRows(std::vector<BreakdownRow> rows, const QString& failure = QString());

private:
    static constexpr int kColumns = 4;

    std::vector<BreakdownRow> m_rows;
    QString m_readFailure;
    std::array<QString, kColumns> m_headings;
    std::array<std::optional<Qt::Alignment>, kColumns> m_alignments;
};

} // namespace pelmor::flow
