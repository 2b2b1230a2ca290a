#include "reports/SiteReports.h"

#include "charts/LineGraphRenderer.h"
#include "reports/FramedPages.h"
#include "reports/ReportChoice.h"
#include "sites/SiteExport.h"
#include "sites/SiteGraphs.h"
#include "study/StudyText.h"

#include <QPainter>

#include <algorithm>

namespace pelmor::reports {
namespace {

using namespace framed;

constexpr double kGraphHeight = 3.2 * kTwipsPerInch;
constexpr double kShortestGraph = 2.2 * kTwipsPerInch;

// Column widths that share the body in proportion to `parts`.
std::vector<double> widthsOf(const std::vector<double>& parts)
{
    double sum = 0;
    for (const double part : parts)
        sum += part;
    std::vector<double> widths;
    for (const double part : parts)
        widths.push_back(kBodyWidth * part / sum);
    return widths;
}

class SiteHistoryWriter : private FramedPageWriter {
public:
    SiteHistoryWriter(PageComposer& page, const DocumentInputs& inputs)
        : FramedPageWriter(page, inputs, documentName(ReportChoice::SiteHistoryReport))
    {
    }

    void write()
    {
        beginPage();
        if (!m_inputs.siteHistory) {
            printNote(QStringLiteral("No site was chosen: choose one on the Sites tab."), 10);
            return;
        }
        const sites::SiteHistory& history = *m_inputs.siteHistory;
        setSpan(kBodyLeft, kBodyRight);
        setFont(13, true);
        m_page.printLine(QStringLiteral("Site History: ") + sites::siteTitle(history.site));
        skip(kHeadingGap);
        setFont(10);
        m_page.printLine(siteLine(history));
        skip(kBlockGap);

        printHeading(QStringLiteral("The surveys in time order"));
        TableSpec table;
        table.columns = sites::historyColumns(history);
        table.rows = sites::historyRows(history);
        table.widths = widthsOf({1.35, 1.0, 1.0, 0.75, 0.9, 0.9, 0.9, 0.95, 0.95, 0.95, 1.2});
        table.headingLines = 2;
        placeTable(kBodyLeft, table);
        skip(kHeadingGap);
        QStringList notes;
        notes << QStringLiteral("Speeds in %1; shares of all the vehicles of a survey; the changes are from "
                                "the survey before, and \"(sig.)\" marks a change of the mean larger than "
                                "chance alone would make at 95 %%.")
                     .arg(study::unitText(history.unit))
                     .replace(QStringLiteral("%%"), QStringLiteral("%"));
        if (!history.conversionNote.isEmpty())
            notes << QStringLiteral("* ") + history.conversionNote;
        printNote(notes.join(QLatin1Char(' ')), 8);
        skip(kBlockGap);

        QStringList verdicts;
        for (const sites::HistoryRow& row : history.rows) {
            if (row.change)
                verdicts << QStringLiteral("%1: the change of the mean is %2.")
                                .arg(row.batchNumber, row.change->verdict);
        }
        if (!verdicts.isEmpty()) {
            printHeading(QStringLiteral("Whether each change is more than chance"));
            printBullets(verdicts);
            skip(kBlockGap);
        }

        // The graphs go over to a second page when this one has no room.
        const charts::LineGraph speeds = sites::speedHistoryGraph(history, m_inputs.blackAndWhite);
        const charts::LineGraph volume = sites::volumeHistoryGraph(history, m_inputs.blackAndWhite);
        if (roomLeft() < 2 * kShortestGraph + kBlockGap)
            beginPage(QStringLiteral("Site: ") + sites::siteTitle(history.site));
        const double height = std::min(kGraphHeight, (roomLeft() - kBlockGap) / 2);
        placeChart(height, [speeds](QPainter& painter, const QSize& size) {
            charts::LineGraphRenderer(speeds, size).paint(painter);
        });
        skip(kBlockGap);
        placeChart(height, [volume](QPainter& painter, const QSize& size) {
            charts::LineGraphRenderer(volume, size).paint(painter);
        });
    }

private:
    static QString siteLine(const sites::SiteHistory& history)
    {
        QString line = QStringLiteral("%1 surveys, from %2 to %3; shown in %4, the unit of the first.")
                           .arg(history.rows.size())
                           .arg(history.rows.front().startDate, history.rows.back().stopDate,
                                study::unitText(history.unit));
        if (history.rows.size() == 1)
            line = QStringLiteral("1 survey, from %1 to %2; shown in %3.")
                       .arg(history.rows.front().startDate, history.rows.front().stopDate,
                            study::unitText(history.unit));
        if (history.site.latitude && history.site.longitude)
            line += QStringLiteral(" Position %1, %2.")
                        .arg(QString::number(*history.site.latitude, 'f', 5),
                             QString::number(*history.site.longitude, 'f', 5));
        return line;
    }
};

class PrioritiesWriter : private FramedPageWriter {
public:
    PrioritiesWriter(PageComposer& page, const DocumentInputs& inputs)
        : FramedPageWriter(page, inputs, documentName(ReportChoice::SpeedingPriorities))
    {
    }

    void write()
    {
        beginPage();
        setSpan(kBodyLeft, kBodyRight);
        setFont(13, true);
        m_page.printLine(QStringLiteral("Where Speeding Is Worst"));
        skip(kHeadingGap);
        printNote(
            QStringLiteral("Each site is ranked by the drivers a day more than 10 over its posted limit "
                           "(10 mph, or 10 km/h) in its latest survey%1; sites with as many come by the "
                           "higher 85th percentile over the limit, then by name. The 85th percentile over "
                           "the limit stands beside it: how fast the faster drivers go. Figures are in "
                           "each survey's own unit.")
                .arg(filterText()),
            10);
        skip(kBlockGap);
        if (m_inputs.priorities.empty()) {
            printNote(QStringLiteral("No site has a survey that matches."), 10);
            return;
        }
        const std::vector<QStringList> rows = sites::prioritiesRows(m_inputs.priorities);
        TableSpec table;
        table.columns = sites::prioritiesColumns();
        table.widths = widthsOf({0.55, 0.55, 2.2, 1.1, 1.25, 0.9, 0.9, 0.75, 0.95, 0.95, 1.0});
        table.headingLines = 2;
        table.leftColumns = {3, 4};
        // As many rows as each page holds, the heading row again on each.
        size_t next = 0;
        while (next < rows.size()) {
            TableSpec part = table;
            part.rows.clear();
            while (next < rows.size()) {
                part.rows.push_back(rows[next]);
                if (tableHeight(part) > roomLeft()) {
                    part.rows.pop_back();
                    break;
                }
                ++next;
            }
            if (part.rows.empty()) { // not even one row fits under the page's top
                part.rows.push_back(rows[next++]);
            }
            placeTable(kBodyLeft, part);
            if (next < rows.size())
                beginPage(QStringLiteral("Speeding Priorities, continued"));
        }
    }

private:
    QString filterText() const
    {
        const sites::PriorityFilter& filter = m_inputs.priorityFilter;
        QStringList parts;
        if (!filter.zone.isEmpty())
            parts << QStringLiteral("in the zone %1").arg(filter.zone);
        if (!filter.direction.isEmpty())
            parts << QStringLiteral("of traffic going %1").arg(filter.direction);
        if (filter.since)
            parts << QStringLiteral("begun on or after %1")
                         .arg(filter.since->toString(QStringLiteral("MM/dd/yyyy")));
        if (filter.until)
            parts << QStringLiteral("begun on or before %1")
                         .arg(filter.until->toString(QStringLiteral("MM/dd/yyyy")));
        return parts.isEmpty()
                   ? QString()
                   : QStringLiteral(" (surveys ") + parts.join(QStringLiteral(", ")) + QLatin1Char(')');
    }
};

} // namespace

std::optional<PagedDocument> buildSiteHistoryReport(const DocumentInputs& inputs)
{
    return buildFramedDocument(inputs,
                               [&inputs](PageComposer& page) { SiteHistoryWriter(page, inputs).write(); });
}

std::optional<PagedDocument> buildPrioritiesReport(const DocumentInputs& inputs)
{
    return buildFramedDocument(inputs,
                               [&inputs](PageComposer& page) { PrioritiesWriter(page, inputs).write(); });
}

} // namespace pelmor::reports
