#include "reports/StudyReport.h"

#include "charts/HeatMapRenderer.h"
#include "charts/LineGraphRenderer.h"
#include "reports/PageStyle.h"
#include "study/StudyGraphs.h"
#include "study/StudyTables.h"
#include "study/StudyText.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <functional>

namespace pelmor::reports {
namespace {

using study::Direction;

// Every page: the frame's rules across 0.7 to 7.7 inches, the body between
// the one-inch margins, from just under the top rule to just above the
// bottom one.
constexpr double kFrameLeft = 1008;
constexpr double kFrameRight = 11088;
constexpr double kTopRule = 1872;
constexpr double kBottomRule = 14400;
constexpr double kBodyLeft = 1440;
constexpr double kBodyRight = 10800;
constexpr double kBodyWidth = kBodyRight - kBodyLeft;
constexpr double kBodyTop = 2016;
constexpr double kBodyBottom = kBottomRule - 144;
// Between two blocks of a page, and between a heading and its block.
constexpr double kBlockGap = 216;
constexpr double kHeadingGap = 72;
// The tables: their text size, the room over and under a row's text, and
// the gap between tables side by side.
constexpr double kTablePoints = 9;
constexpr double kSmallestTablePoints = 7;
constexpr double kRowPadding = 24;
constexpr double kTableGap = 360;
// The warning box: the room inside its edge, where the bullets stand and
// where their texts start.
constexpr double kBoxPadding = 144;
constexpr double kBulletIndent = 72;
constexpr double kWarningIndent = 288;
// The speed bins go in two tables side by side once there are more than this.
constexpr size_t kBinsInOneTable = 8;

QString title()
{
    return QStringLiteral("Speed Study Report");
}

// The shades of the page: in colour, or greys for a black-and-white printer.
struct Look {
    QColor warningFill;
    QColor warningEdge;
    QColor cleanFill;
    QColor cleanEdge;
    QColor headingRow;
    QColor keyRow; // the 85th percentile's row of the figures
    QColor tableRule;
};

const Look& lookFor(bool blackAndWhite)
{
    static const Look colour{QColor(255, 243, 205), QColor(204, 150, 0),   QColor(227, 244, 230),
                             QColor(120, 180, 130), QColor(221, 230, 241), QColor(255, 236, 153),
                             QColor(150, 150, 150)};
    static const Look grey{QColor(232, 232, 232), QColor(0, 0, 0),       QColor(255, 255, 255),
                           QColor(0, 0, 0),       QColor(215, 215, 215), QColor(236, 236, 236),
                           QColor(120, 120, 120)};
    return blackAndWhite ? grey : colour;
}

// A table to place: its column widths, titles and rows, how many lines its
// heading row has, and the shade of any body row (numbered from 1).
struct TableSpec {
    std::vector<double> widths;
    QStringList columns;
    std::vector<QStringList> rows;
    int headingLines = 1;
    std::function<std::optional<QColor>(int row)> shade;
};

class StudyReportWriter {
public:
    StudyReportWriter(PageComposer& page, const DocumentInputs& inputs)
        : m_page(page)
        , m_inputs(inputs)
        , m_study(inputs.study ? &*inputs.study : nullptr)
        , m_look(lookFor(inputs.blackAndWhite))
    {
    }

    void write()
    {
        beginPage(true);
        printSurveyBlock();
        if (!m_study) {
            printNote(QStringLiteral("The speed study of this survey was not worked out: it has no vehicles "
                                     "that could be read."),
                      10);
            return;
        }
        printWarnings();
        printFigures();

        beginPage(false);
        printSpeedDistribution();
        printSpeedBins();

        beginPage(false);
        printHourlyProfile();
        printWeeklyHeatMap();
    }

private:
    // --- style and room

    void setFont(double points, bool bold = false)
    {
        m_page.setFontName(QStringLiteral("Arial"));
        m_page.setFontSize(points);
        m_page.setBold(bold);
        m_page.setUnderline(false);
        m_page.setItalic(false);
    }
    // Text between two x positions on the page.
    void setSpan(double left, double right)
    {
        m_page.setLeftMargin(left);
        m_page.setRightMargin(m_page.pageSize().width() - right);
    }
    double rowHeight() const { return m_page.textHeight(QStringLiteral("X")) + 2 * kRowPadding; }

    // --- page parts

    // The frame's two rules and the title lines; under them, on the pages
    // after the first, which survey the page belongs to.
    void beginPage(bool first)
    {
        if (!first) {
            m_page.setColumns(1);
            m_page.columnBreak(); // on to a new page
        }
        m_page.setPenWidth(25);
        m_page.setLineColour(Qt::black);
        drawPageFrame(m_page, kTopRule, {});
        // The title is centred on the page, as on every document.
        m_page.setLeftMargin(kFrameLeft);
        m_page.setRightMargin(kFrameLeft);
        m_page.setCurrentY(m_page.topMargin());
        m_page.setLineSpacing(100);
        printTitleBlock(m_page, m_inputs.agency, title());
        m_page.setTextAlignment(Alignment::Left);
        m_page.setLineSpacing(115);
        m_page.setCurrentY(kBodyTop);
        if (first)
            return;
        setSpan(kBodyLeft, kBodyRight);
        setFont(10);
        m_page.printLine(QStringLiteral("Batch Number: %1    Survey Location: %2")
                             .arg(m_inputs.survey.header.batchNumber, m_inputs.survey.header.location));
        skip(kHeadingGap);
    }

    void printHeading(const QString& text)
    {
        setSpan(kBodyLeft, kBodyRight);
        setFont(12, true);
        m_page.printLine(text);
        setFont(10);
        skip(kHeadingGap);
    }

    void printNote(const QString& text, double points)
    {
        setSpan(kBodyLeft, kBodyRight);
        setFont(points);
        m_page.printLine(text);
    }

    void skip(double twips) { m_page.setCurrentY(m_page.currentY() + twips); }

    // The survey in a box across the frame: the posted limit and the period
    // studied, then the site at the left and the vehicles at the right.
    void printSurveyBlock()
    {
        const survey::HeaderRow& header = m_inputs.survey.header;
        const double top = kBodyTop;
        m_page.setCurrentY(top + kBoxPadding);
        setSpan(kBodyLeft, kBodyRight);
        setFont(10, true);
        if (m_study)
            m_page.printLine(study::studyPeriod(*m_study));
        setFont(10);
        m_page.setColumns(2);
        for (const QString& line : {QStringLiteral("Batch Number: ") + header.batchNumber,
                                    QStringLiteral("Survey Location: ") + header.location,
                                    QStringLiteral("Survey Zone: ") + header.zone,
                                    QStringLiteral("Direction of travel: ") + header.direction})
            m_page.printLine(line);
        const double leftEnd = m_page.currentY();
        m_page.columnBreak();
        for (const QString& line : vehicleLines())
            m_page.printLine(line);
        const double bottom = std::max(leftEnd, m_page.currentY()) + kBoxPadding;
        m_page.setColumns(1);
        m_page.setPenWidth(25);
        m_page.setLineColour(Qt::black);
        m_page.setBrushStyle(BrushStyle::None);
        m_page.drawRectangle(kFrameLeft, top, kFrameRight, bottom);
        m_page.setCurrentY(bottom + kBlockGap);
    }

    QStringList vehicleLines() const
    {
        if (!m_study)
            return {QStringLiteral("Vehicles surveyed: ") + m_inputs.survey.summary.totalVehicles};
        const qint64 all = m_study->figures(Direction::Both).vehicles;
        const qint64 approaching = m_study->figures(Direction::Approaching).vehicles;
        const qint64 receding = m_study->figures(Direction::Receding).vehicles;
        return {QStringLiteral("Vehicles surveyed: ") + study::formatCount(all),
                QStringLiteral("Approaching: %1    Receding: %2")
                    .arg(study::formatCount(approaching), study::formatCount(receding)),
                QStringLiteral("Unknown direction: ") + study::formatCount(all - approaching - receding),
                QStringLiteral("Enforcement threshold: %1 %2")
                    .arg(m_study->threshold)
                    .arg(study::unitText(m_study->unit))};
    }

    // The warnings in a shaded box with a heavy edge, each line after a
    // bullet; or, without any, the one line that says so in a light box.
    void printWarnings()
    {
        const QStringList lines = study::warningLines(*m_study);
        const bool any = !lines.isEmpty();
        const double top = m_page.currentY();
        const double textLeft = kBodyLeft + (any ? kWarningIndent : 0);

        // Measured first: the box is drawn under its text.
        setSpan(kBodyLeft, kBodyRight);
        setFont(11, true);
        double height = 2 * kBoxPadding + (any ? m_page.paragraphHeight(study::warningsHeading()) : 0);
        setSpan(textLeft, kBodyRight);
        setFont(10);
        if (!any)
            height += m_page.paragraphHeight(study::noWarningsText());
        for (const QString& line : lines)
            height += m_page.paragraphHeight(line);

        m_page.setLineColour(any ? m_look.warningEdge : m_look.cleanEdge);
        m_page.setPenWidth(any ? 40 : 15);
        m_page.setBrushStyle(BrushStyle::Solid);
        m_page.setBrushColour(any ? m_look.warningFill : m_look.cleanFill);
        m_page.drawRectangle(kFrameLeft, top, kFrameRight, top + height);
        m_page.setBrushStyle(BrushStyle::None);
        m_page.setLineColour(Qt::black);
        m_page.setPenWidth(25);

        m_page.setCurrentY(top + kBoxPadding);
        if (!any) {
            m_page.printLine(study::noWarningsText());
        } else {
            setSpan(kBodyLeft, kBodyRight);
            setFont(11, true);
            m_page.printLine(study::warningsHeading());
            setFont(10);
            for (const QString& line : lines) {
                const double lineTop = m_page.currentY();
                setSpan(kBodyLeft + kBulletIndent, kBodyRight);
                m_page.printLine(QStringLiteral("\u2022"));
                setSpan(textLeft, kBodyRight);
                m_page.setCurrentY(lineTop);
                m_page.printLine(line);
            }
        }
        m_page.setCurrentY(top + height + kBlockGap);
    }

    // Whether every text of the table fits its cell in the current font:
    // the body on one line, the headings on as many as their row has.
    bool fitsItsCells(const TableSpec& spec) const
    {
        const auto fits = [&](const QStringList& texts, int lines) {
            for (qsizetype column = 0; column < texts.size() && column < qsizetype(spec.widths.size());
                 ++column) {
                const double room = spec.widths[size_t(column)] - 2 * PageComposer::kCellPaddingX;
                if (m_page.lineCount(texts[column], room) > lines)
                    return false;
            }
            return true;
        };
        if (!fits(spec.columns, spec.headingLines))
            return false;
        return std::all_of(spec.rows.begin(), spec.rows.end(),
                           [&](const QStringList& row) { return fits(row, 1); });
    }

    // The table with its top at the current height and its left edge at
    // `left`, in the table size or, where a text would not fit its cell,
    // as much smaller as it takes; the current height is then under it.
    void placeTable(double left, const TableSpec& spec)
    {
        double right = left;
        QStringList format;
        for (const double width : spec.widths) {
            format << QString::number(width);
            right += width;
        }
        setSpan(left, right);
        for (double points = kTablePoints; points >= kSmallestTablePoints; points -= 0.5) {
            setFont(points);
            if (fitsItsCells(spec))
                break;
        }
        m_page.setLineColour(m_look.tableRule);
        m_page.setPenWidth(10);
        m_page.setTableBorder(1);
        m_page.startTable();
        m_page.addTableRows(format.join(QLatin1Char('|')), spec.columns.join(QLatin1Char('|')), spec.rows);
        const double row = rowHeight();
        m_page.setRowHeight(0, row + (spec.headingLines - 1) * m_page.textHeight(QStringLiteral("X")));
        m_page.setRowBackground(0, m_look.headingRow);
        m_page.setRowAlignment(0, Alignment::Centre);
        for (int index = 1; index <= m_page.tableRowCount(); ++index) {
            m_page.setRowHeight(index, row);
            m_page.setRowAlignment(index, Alignment::Right);
            m_page.setCellAlignment(index, 1, Alignment::Left);
            if (spec.shade) {
                if (const std::optional<QColor> shade = spec.shade(index))
                    m_page.setRowBackground(index, *shade);
            }
        }
        m_page.endTable();
        m_page.setLineColour(Qt::black);
        m_page.setPenWidth(25);
    }

    // The figures by direction, the 85th percentile's row picked out, and
    // what the percentiles and the directions mean.
    void printFigures()
    {
        printHeading(QStringLiteral("Measured speeds by direction"));
        TableSpec spec;
        spec.widths = {4260, 1700, 1700, 1700};
        spec.columns << QStringLiteral("Figure");
        for (const Direction direction : study::kDirections)
            spec.columns << study::directionName(direction);
        int keyRow = 0;
        for (const study::FigureRow& row : study::figureRows(*m_study)) {
            spec.rows.push_back(QStringList{row.caption} + QStringList(row.cells.begin(), row.cells.end()));
            if (row.caption.startsWith(QLatin1String("85th percentile")))
                keyRow = int(spec.rows.size());
        }
        const QColor key = m_look.keyRow;
        spec.shade = [keyRow, key](int row) {
            return row == keyRow ? std::optional<QColor>(key) : std::nullopt;
        };
        placeTable(kBodyLeft, spec);
        skip(kHeadingGap);
        printNote(study::percentileNote() +
                      QStringLiteral(" Vehicles of unknown direction count under both directions only; per "
                                     "cents are of the vehicles of the same direction."),
                  8);
    }

    // A drawing of `height` twips across the body at the current height.
    void placeChart(double height, std::function<void(QPainter&, const QSize&)> paint)
    {
        const QRectF rect(kBodyLeft, m_page.currentY(), kBodyWidth, height);
        const QSize canvas = rect.size().toSize();
        m_page.placeDrawing(rect, QSizeF(canvas),
                            [paint, canvas](QPainter& painter) { paint(painter, canvas); });
        m_page.setCurrentY(rect.bottom());
    }

    void printSpeedDistribution()
    {
        printHeading(QStringLiteral("Cumulative speed distribution"));
        printNote(
            QStringLiteral("The per cent of the vehicles at or below each speed; the 15th, 50th and 85th "
                           "percentiles of both directions and the posted limit marked."),
            9);
        skip(kHeadingGap);
        charts::LineGraph curve = study::speedCurve(*m_study, m_inputs.blackAndWhite);
        curve.title.clear(); // the heading above says it
        placeChart(4.5 * kTwipsPerInch, [curve](QPainter& painter, const QSize& size) {
            charts::LineGraphRenderer(curve, size).paint(painter);
        });
        skip(kBlockGap);
    }

    // The speed bins of both directions: in one table, or in two side by
    // side. Bins with no vehicles are left out when the bins would not fit
    // the rest of the page, and the fastest are folded into one row when
    // even that is too many.
    void printSpeedBins()
    {
        const QString unit = study::unitText(m_study->unit);
        printHeading(QStringLiteral("Speed bins of %1 %2, both directions").arg(study::kBinWidth).arg(unit));
        setFont(kTablePoints);
        const double row = rowHeight();
        const size_t fit = size_t(std::max(1.0, std::floor((kBodyBottom - m_page.currentY() - row) / row)));
        const study::TextTable table = study::binTable(*m_study, Direction::Both);
        const std::vector<study::SpeedBin>& bins = m_study->figures(Direction::Both).bins;
        std::vector<QStringList> rows = table.rows;
        if (rows.size() > 2 * fit) {
            rows.clear();
            for (size_t i = 0; i < bins.size(); ++i) {
                if (bins[i].vehicles > 0)
                    rows.push_back(table.rows[i]);
            }
        }
        if (rows.size() > 2 * fit) {
            // The fastest bins in one row, from the first of them on.
            const QStringList first = rows[2 * fit - 1];
            const int low = first.first().section(QLatin1Char(' '), 0, 0).toInt();
            qint64 vehicles = 0;
            for (const study::SpeedBin& bin : bins)
                vehicles += bin.low >= low ? bin.vehicles : 0;
            const study::DirectionFigures& all = m_study->figures(Direction::Both);
            rows.resize(2 * fit - 1);
            rows.push_back({QStringLiteral("%1 and over").arg(low), study::formatCount(vehicles),
                            study::formatPercent(all.percentOf(vehicles)), study::formatPercent(100)});
        }
        const size_t parts = rows.size() > kBinsInOneTable ? 2 : 1;
        const size_t perPart = (rows.size() + parts - 1) / parts;
        const double top = m_page.currentY();
        double bottom = top;
        for (size_t part = 0; part < parts; ++part) {
            TableSpec spec;
            spec.widths = {1300, 1000, 1000, 1200};
            spec.columns = table.columns;
            const auto from = rows.begin() + qsizetype(std::min(rows.size(), part * perPart));
            spec.rows.assign(from, rows.begin() + qsizetype(std::min(rows.size(), (part + 1) * perPart)));
            m_page.setCurrentY(top);
            placeTable(kBodyLeft + double(part) * (4500 + kTableGap), spec);
            bottom = std::max(bottom, m_page.currentY());
        }
        m_page.setCurrentY(bottom);
    }

    void printHourlyProfile()
    {
        printHeading(QStringLiteral("Hourly profile, all days together"));
        printNote(
            QStringLiteral("Vehicles per day: the average over the days on which the survey covered the "
                           "whole hour. Speeds and the share over the limit: every vehicle of the hour."),
            9);
        skip(kHeadingGap);
        const study::TextTable table = study::hourlyTable(*m_study);
        TableSpec spec;
        spec.widths = {1300, 1420, 1000, 1300, 1440, 1440, 1460};
        spec.columns = table.columns;
        spec.rows = table.rows;
        spec.headingLines = 2;
        placeTable(kBodyLeft, spec);
        skip(kBlockGap);
    }

    void printWeeklyHeatMap()
    {
        printHeading(QStringLiteral("Vehicles over the limit by hour of the week"));
        charts::HeatMap map = study::weeklyHeatMap(*m_study, m_inputs.blackAndWhite);
        map.title.clear(); // the heading above says it
        placeChart(kBodyBottom - m_page.currentY(), [map](QPainter& painter, const QSize& size) {
            charts::HeatMapRenderer(map, size).paint(painter);
        });
    }

    PageComposer& m_page;
    const DocumentInputs& m_inputs;
    const study::SpeedStudy* m_study;
    const Look& m_look;
};

} // namespace

std::optional<PagedDocument> buildStudyReport(const DocumentInputs& inputs)
{
    PageComposer page(inputs.pageSize);
    applyDefaultStyle(page);
    if (!startPageLayout(page))
        return std::nullopt;
    StudyReportWriter(page, inputs).write();
    page.setLeftMargin(kBodyLeft);
    page.setRightMargin(kBodyLeft);
    setIssuedLine(page, inputs.today);
    return page.endDocument();
}

} // namespace pelmor::reports
