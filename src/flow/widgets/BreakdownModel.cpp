#include "flow/widgets/BreakdownModel.h"

namespace pelmor::flow {
namespace {

const char* const kFieldNames[] = {"cDate", "cTime", "cCount", "cHourTotal"};

bool isNumber(const QString& text)
{
    bool number = false;
    text.toLongLong(&number);
    return number;
}

} // namespace

BreakdownModel::BreakdownModel(QObject* parent)
    : QAbstractTableModel(parent)
{
    for (int column = 0; column < kColumns; ++column)
        m_headings[static_cast<size_t>(column)] = QLatin1String(kFieldNames[column]);
}

int BreakdownModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int BreakdownModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

QVariant BreakdownModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= kColumns)
        return QVariant();
    const BreakdownRow& row = m_rows[static_cast<size_t>(index.row())];
    const QString* const fields[] = {&row.cDate, &row.cTime, &row.cCount, &row.cHourTotal};
    const QString& text = *fields[index.column()];
    switch (role) {
    case Qt::DisplayRole:
        return text;
    case Qt::TextAlignmentRole:
        if (const auto& alignment = m_alignments[static_cast<size_t>(index.column())])
            return QVariant::fromValue(*alignment);
        return QVariant::fromValue(isNumber(text) ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignCenter);
    default:
        return QVariant();
    }
}

QVariant BreakdownModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < kColumns)
        return m_headings[static_cast<size_t>(section)];
    return QAbstractTableModel::headerData(section, orientation, role);
}

bool BreakdownModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value, int role)
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumns ||
        (role != Qt::EditRole && role != Qt::DisplayRole))
        return false;
    m_headings[static_cast<size_t>(section)] = value.toString();
    Q_EMIT headerDataChanged(orientation, section, section);
    return true;
}

void BreakdownModel::setColumnAlignment(int column, std::optional<Qt::Alignment> alignment)
{
    if (column < 0 || column >= kColumns)
        return;
    m_alignments[static_cast<size_t>(column)] = alignment;
    if (!m_rows.empty())
        Q_EMIT dataChanged(index(0, column), index(rowCount() - 1, column), {Qt::TextAlignmentRole});
}

void BreakdownModel::setRows(std::vector<BreakdownRow> rows, const QString& failure)
{
    beginResetModel();
    m_rows = std::move(rows);
    m_readFailure = failure;
    endResetModel();
}

} // namespace pelmor::flow
