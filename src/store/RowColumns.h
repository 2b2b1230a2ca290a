#pragma once

#include <QByteArray>
#include <QByteArrayList>

namespace pelmor::store {

// The row's fields as a column list, in table order, each name quoted and
// led by `table` (an alias with its dot, or nothing): h."Batch_Number", ...
template <typename Row> QByteArray columnsOf(const char* table)
{
    QByteArrayList columns;
    Row row;
    Row::forEachField(
        row, [&](const char* name, const auto&) { columns << QByteArray(table) + '"' + name + '"'; });
    return columns.join(", ");
}

} // namespace pelmor::store
