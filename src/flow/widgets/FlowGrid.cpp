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
    // The quarter-hour grid aligns its time spans left; the hourly grid
    // shows the default, also after a quarter-hour grid.
    model->setColumnAlignment(1, bins == BinLength::QuarterHour
                                     ? std::optional<Qt::Alignment>(Qt::AlignLeft | Qt::AlignVCenter)
                                     : std::nullopt);
    const char* const headings[] = {"Date", "Time Span", "Veh Count", "Hour Total"};
    for (int column = 0; column < 4; ++column)
        model->setHeaderData(column, Qt::Horizontal, QLatin1String(headings[column]));
}

} // namespace pelmor::flow
