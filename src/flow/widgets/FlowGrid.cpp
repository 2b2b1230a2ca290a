#include "flow/widgets/FlowGrid.h"

#include "flow/widgets/BreakdownModel.h"

#include <QHeaderView>
#include <QTableView>

namespace pelmor::flow {

void formatFlowGrid(QTableView* grid, BinLength bins)
{
    auto* model = qobject_cast<BreakdownModel*>(grid->model());
    if (!model)
        return;
    grid->setColumnWidth(1, kTimeSpanTwips * grid->logicalDpiX() / 1440);
    if (bins == BinLength::QuarterHour)
        model->setColumnAlignment(1, Qt::AlignLeft | Qt::AlignVCenter);
    const char* const headings[] = {"Date", "Time Span", "Veh Count", "Hour Total"};
    for (int column = 0; column < 4; ++column)
        model->setHeaderData(column, Qt::Horizontal, QLatin1String(headings[column]));
}

} // namespace pelmor::flow
