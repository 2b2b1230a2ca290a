#include "web/pages/PageParts.h"
#include "web/pages/Pages.h"
#include "web/pages/SurveyFigures.h"

#include "charts/BarGraphRenderer.h"
#include "charts/HeatMapRenderer.h"
#include "charts/LineGraphRenderer.h"
#include "flow/FlowBreakdown.h"
#include "reports/Documents.h"
#include "study/StudyGraphs.h"
#include "study/StudyTables.h"
#include "text/Formats.h"

#include <QRegularExpression>

#include <algorithm>
#include <array>

namespace pelmor::web::pages {
namespace {

constexpr int kSurveysPerPage = 50;

// A column of the list of surveys: its key in the address, its title, and
// how it orders two surveys.
struct ListColumn {
    const char* key;
    const char* title;
    bool (*less)(const survey::ListedSurvey& a, const survey::ListedSurvey& b);
};

bool textLess(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) < 0;
}

// Dates that cannot be read go last.
qint64 dayOf(const QString& text)
{
    const auto date = text::parseDate(text);
    return date ? date->toJulianDay() : std::numeric_limits<qint64>::max();
}

qint64 limitOf(const QString& text)
{
    return text::toWholeNumber(text).value_or(-1);
}

const std::array<ListColumn, 8>& listColumns()
{
    static const std::array<ListColumn, 8> columns = {{
        {"batch", "Batch",
         [](const auto& a, const auto& b) {
             return textLess(a.header.batchNumber, b.header.batchNumber);
         }},
        {"location", "Location",
         [](const auto& a, const auto& b) {
             return textLess(a.header.location, b.header.location);
         }},
        {"direction", "Direction",
         [](const auto& a, const auto& b) {
             return textLess(a.header.direction, b.header.direction);
         }},
        {"date", "Date",
         [](const auto& a, const auto& b) {
             return dayOf(a.header.date) < dayOf(b.header.date);
         }},
        {"time", "Time",
         [](const auto& a, const auto& b) {
             return a.header.time < b.header.time;
         }},
        {"limit", "Posted limit",
         [](const auto& a, const auto& b) {
             return limitOf(a.header.violationAlert) < limitOf(b.header.violationAlert);
         }},
        {"zone", "Zone",
         [](const auto& a, const auto& b) {
             return textLess(a.header.zone, b.header.zone);
         }},
        {"vehicles", "Vehicles",
         [](const auto& a, const auto& b) {
             return a.vehicles < b.vehicles;
         }},
    }};
    return columns;
}

const ListColumn* listColumn(const QString& key)
{
    for (const ListColumn& column : listColumns()) {
        if (key == QLatin1String(column.key))
            return &column;
    }
    return nullptr;
}

QString surveyHref(const QString& batchNumber)
{
    return QStringLiteral("/surveys/") + pathPart(batchNumber);
}

// The filters of the list as they stand in its addresses.
std::vector<std::pair<QString, QString>> listFilters(const WebRequest& request)
{
    std::vector<std::pair<QString, QString>> filters;
    for (const char* name : {"text", "zone", "direction", "since", "until"})
        filters.emplace_back(QLatin1String(name), request.queryValue(QLatin1String(name)));
    return filters;
}

QString listForm(const WebRequest& request)
{
    QString form = QStringLiteral("<form method=\"get\" action=\"/surveys\" class=\"filters\">");
    form +=
        textField(QStringLiteral("text"), QStringLiteral("Batch or location"), request.queryValue("text"));
    form += textField(QStringLiteral("zone"), QStringLiteral("Zone"), request.queryValue("zone"));
    form +=
        textField(QStringLiteral("direction"), QStringLiteral("Direction"), request.queryValue("direction"));
    form += textField(QStringLiteral("since"), QStringLiteral("Since"), request.queryValue("since"),
                      QStringLiteral("MM/DD/YYYY"));
    form += textField(QStringLiteral("until"), QStringLiteral("Until"), request.queryValue("until"),
                      QStringLiteral("MM/DD/YYYY"));
    for (const char* kept : {"sort", "order"}) {
        const QString value = request.queryValue(QLatin1String(kept));
        if (!value.isEmpty())
            form += QStringLiteral("<input type=\"hidden\" name=\"%1\" value=\"%2\">")
                        .arg(QLatin1String(kept), escaped(value));
    }
    return form + QStringLiteral("<button type=\"submit\">Show</button></form>");
}

WebResponse surveyList(const WebRequest& request)
{
    const Visitor& visitor = request.visitor;
    const QString title = QStringLiteral("Surveys");
    QString body;
    const QString deleted = request.queryValue("deleted");
    if (!deleted.isEmpty())
        body += messageHtml(QStringLiteral("Survey %1 was deleted.").arg(deleted));
    if (visitor.maySend)
        body += QStringLiteral("<p>") +
                link(QStringLiteral("/surveys/new"), QStringLiteral("Send a download")) +
                QStringLiteral("</p>");
    body += listForm(request);

    queries::SurveyFilter filter;
    filter.text = request.queryValue("text");
    filter.zone = request.queryValue("zone");
    filter.direction = request.queryValue("direction");
    const auto since = queries::readFilterDate(QStringLiteral("Since"), request.queryValue("since"));
    const auto until = queries::readFilterDate(QStringLiteral("Until"), request.queryValue("until"));
    for (const auto* date : {&since, &until}) {
        if (!date->ok())
            return WebResponse::html(pageHtml(visitor, title, messageHtml(date->message, true) + body),
                                     statusOf(date->refusal));
    }
    filter.since = *since.value;
    filter.until = *until.value;

    auto listed = queries::listSurveys(request.database, filter);
    if (!listed.ok())
        return refusalPage(visitor, listed);
    std::vector<survey::ListedSurvey>& surveys = *listed.value;

    const QString sortKey = request.queryValue("sort");
    const bool descending = request.queryValue("order") == QLatin1String("desc");
    if (const ListColumn* column = listColumn(sortKey)) {
        std::stable_sort(surveys.begin(), surveys.end(), [column, descending](const auto& a, const auto& b) {
            return descending ? column->less(b, a) : column->less(a, b);
        });
    } else if (descending) {
        std::reverse(surveys.begin(), surveys.end());
    }

    const int total = int(surveys.size());
    const int pages = std::max(1, (total + kSurveysPerPage - 1) / kSurveysPerPage);
    const int page = std::clamp(request.queryValue("page").toInt(), 1, pages);
    const int first = (page - 1) * kSurveysPerPage;
    const int past = std::min(total, first + kSurveysPerPage);

    const auto address = [&request](const QString& sort, const QString& order, int toPage) {
        auto items = listFilters(request);
        items.emplace_back(QStringLiteral("sort"), sort);
        items.emplace_back(QStringLiteral("order"), order);
        if (toPage > 1)
            items.emplace_back(QStringLiteral("page"), QString::number(toPage));
        return QStringLiteral("/surveys") + queryString(items);
    };

    if (total == 0) {
        body += messageHtml(QStringLiteral("No stored survey matches these filters."));
        return WebResponse::html(pageHtml(visitor, title, body));
    }
    body += QStringLiteral("<p>Surveys %1 to %2 of %3.</p>")
                .arg(text::formatCount(first + 1), text::formatCount(past), text::formatCount(total));
    body += QStringLiteral("<div class=\"table-wrap\"><table class=\"surveys\"><thead><tr>");
    for (const ListColumn& column : listColumns()) {
        const QString key = QLatin1String(column.key);
        const bool current = key == sortKey;
        const QString order = current && !descending ? QStringLiteral("desc") : QStringLiteral("asc");
        body += QStringLiteral("<th scope=\"col\"%1>%2</th>")
                    .arg(current ? (descending ? QStringLiteral(" aria-sort=\"descending\"")
                                               : QStringLiteral(" aria-sort=\"ascending\""))
                                 : QString(),
                         link(address(key, order, 1), QLatin1String(column.title)));
    }
    body += QStringLiteral("</tr></thead><tbody>");
    for (int i = first; i < past; ++i) {
        const survey::HeaderRow& header = surveys[size_t(i)].header;
        body += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td>%4</td><td>%5</td><td>%6</td>"
                               "<td>%7</td><td class=\"number\">%8</td></tr>")
                    .arg(link(surveyHref(header.batchNumber), header.batchNumber), escaped(header.location),
                         escaped(header.direction), escaped(header.date), escaped(header.time),
                         escaped(header.violationAlert), escaped(header.zone),
                         text::formatCount(surveys[size_t(i)].vehicles));
    }
    body += QStringLiteral("</tbody></table></div>");
    if (pages > 1) {
        body += QStringLiteral("<nav class=\"pages\" aria-label=\"Pages\">");
        if (page > 1)
            body += link(address(sortKey, request.queryValue("order"), page - 1), QStringLiteral("Previous"));
        body += QStringLiteral(" <span>Page %1 of %2</span> ").arg(page).arg(pages);
        if (page < pages)
            body += link(address(sortKey, request.queryValue("order"), page + 1), QStringLiteral("Next"));
        body += QStringLiteral("</nav>");
    }
    return WebResponse::html(pageHtml(visitor, title, body));
}

// A stored field's name as a caption: "Posted_Limit" reads "Posted Limit".
QString fieldCaption(const QString& field)
{
    if (field == QLatin1String("Averge_Over"))
        return QStringLiteral("Average Over");
    if (field == QLatin1String("Total_Receeding"))
        return QStringLiteral("Total Receding");
    return QString(field).replace(QLatin1Char('_'), QLatin1Char(' '));
}

std::vector<std::pair<QString, QString>> captioned(const std::vector<std::pair<QString, QString>>& fields,
                                                   bool withNames)
{
    std::vector<std::pair<QString, QString>> shown;
    for (const auto& [field, value] : fields) {
        // Who set the sign up is an officer's name.
        if (!withNames && field == QLatin1String("Field_Setup"))
            continue;
        shown.emplace_back(fieldCaption(field), value);
    }
    return shown;
}

// The survey's fields, with where its vehicles came from after them when
// another device's log gave them.
std::vector<std::pair<QString, QString>> sourced(std::vector<std::pair<QString, QString>> fields,
                                                 const QString& source)
{
    if (!source.isEmpty())
        fields.emplace_back(QStringLiteral("Vehicles Read From"), source);
    return fields;
}

QString flowGrid(const flow::BreakdownResult& result, flow::BinLength bins)
{
    const bool quarters = bins == flow::BinLength::QuarterHour;
    const QString heading =
        quarters ? QStringLiteral("Vehicles per 15 minutes") : QStringLiteral("Vehicles per hour");
    // The rows are shown also when only keeping them for other programs failed.
    if (result.rows.empty())
        return QStringLiteral("<h3>%1</h3>").arg(heading) + messageHtml(result.failure, true);
    std::vector<QStringList> rows;
    rows.reserve(result.rows.size());
    for (const flow::BreakdownRow& row : result.rows)
        rows.push_back({row.cDate, row.cTime, row.cCount, row.cHourTotal});
    return QStringLiteral("<details><summary>%1 (%2 bins)</summary>").arg(heading).arg(result.binRows) +
           tableHtml({QStringLiteral("Date"), QStringLiteral("Time"), QStringLiteral("Vehicles"),
                      quarters ? QStringLiteral("Hour total") : QStringLiteral("Day total")},
                     rows, false) +
           QStringLiteral("</details>");
}

QString image(const QString& href, const QString& alt)
{
    return QStringLiteral("<figure><img src=\"%1\" alt=\"%2\"></figure>").arg(escaped(href), escaped(alt));
}

QString studySection(const study::SpeedStudy& study, const QString& graphs, const QString& base,
                     const QString& threshold)
{
    QString html = QStringLiteral("<section id=\"study\"><h2>Speed study</h2><p>%1</p>")
                       .arg(escaped(study::studyHeading(study)));
    html += QStringLiteral("<form method=\"get\" action=\"%1\" class=\"filters\">").arg(escaped(base)) +
            textField(QStringLiteral("threshold"), QStringLiteral("Enforcement threshold"), threshold,
                      QString::number(study::defaultThreshold(study.limit))) +
            QStringLiteral("<button type=\"submit\">Count again</button></form>");
    QStringList columns{QString()};
    for (study::Direction direction : study::kDirections)
        columns << study::directionName(direction);
    std::vector<QStringList> rows;
    for (const study::FigureRow& row : study::figureRows(study))
        rows.push_back(QStringList{row.caption} + QStringList(row.cells.begin(), row.cells.end()));
    html += tableHtml(columns, rows, false);
    html += QStringLiteral("<p class=\"note\">%1</p>").arg(escaped(study::percentileNote()));
    html +=
        image(graphs + QStringLiteral("speed-curve.svg"), QStringLiteral("Cumulative speed distribution"));
    html += QStringLiteral("<h3>By hour of the day</h3>");
    const study::TextTable hours = study::hourlyTable(study);
    html += tableHtml(hours.columns, hours.rows);
    html += QStringLiteral("<h3>By hour of the week</h3>");
    html += image(graphs + QStringLiteral("weekly.svg"),
                  QStringLiteral("Share over the limit by hour of the week"));
    html += QStringLiteral("<h3>%1</h3>").arg(escaped(study::warningsHeading()));
    const QStringList warnings = study::warningLines(study);
    if (warnings.isEmpty()) {
        html += QStringLiteral("<p>%1</p>").arg(escaped(study::noWarningsText()));
    } else {
        html += QStringLiteral("<ul class=\"warnings\">");
        for (const QString& line : warnings)
            html += QStringLiteral("<li>%1</li>").arg(escaped(line));
        html += QStringLiteral("</ul>");
    }
    return html + QStringLiteral("</section>");
}

bool isSurveyDocument(const reports::DocumentKind& kind)
{
    return kind.forSurvey && kind.choice != reports::ReportChoice::ComparisonReport;
}

// Where a page takes a survey's figures from: surveyFigures() works them out
// when they are not kept, keptSurveyFigures() gives only those kept.
using FiguresOf = std::shared_ptr<const SurveyFigures> (*)(const db::Database& database,
                                                           const survey::SurveyRecord& survey,
                                                           std::optional<qint64> threshold);

// The survey's page; none when `figuresOf` has no figures for it.
std::optional<WebResponse> surveyPage(const WebRequest& request, const QString& batchNumber,
                                      FiguresOf figuresOf)
{
    const Visitor& visitor = request.visitor;
    const auto stored = queries::storedSurvey(request.database, batchNumber);
    if (!stored.ok())
        return refusalPage(visitor, stored);
    const survey::SurveyRecord& record = *stored.value;
    const QString base = surveyHref(batchNumber);
    const QString graphs = base + QStringLiteral("/graphs/");
    const QString title = QStringLiteral("Survey %1").arg(batchNumber);

    QString body =
        QStringLiteral("<p class=\"lead\">%1</p>")
            .arg(
                escaped(QStringList{record.header.location, record.header.direction, record.header.date}.join(
                    QStringLiteral(", "))));
    body += QStringLiteral("<nav class=\"actions\" aria-label=\"Survey\"><ul>");
    const auto action = [&body](const QString& href, const QString& text) {
        body += QStringLiteral("<li>") + link(href, text) + QStringLiteral("</li>");
    };
    action(base + QStringLiteral("/intervals?by=1h"), QStringLiteral("Intervals"));
    action(QStringLiteral("/api/surveys/") + pathPart(batchNumber) + QStringLiteral("/summary"),
           QStringLiteral("Statistics (JSON)"));
    action(QStringLiteral("/api/surveys/") + pathPart(batchNumber) + QStringLiteral("/study"),
           QStringLiteral("Speed study (JSON)"));
    if (!visitor.publicOnly)
        action(QStringLiteral("/api/surveys/") + pathPart(batchNumber) + QStringLiteral("/vehicles.csv"),
               QStringLiteral("Vehicles (CSV)"));
    if (visitor.mayDelete)
        action(base + QStringLiteral("/delete"), QStringLiteral("Delete this survey"));
    body += QStringLiteral("</ul></nav>");

    body += QStringLiteral("<form method=\"get\" action=\"/compare\" class=\"filters\">"
                           "<input type=\"hidden\" name=\"a\" value=\"%1\">")
                .arg(escaped(batchNumber)) +
            textField(QStringLiteral("b"), QStringLiteral("Compare with survey"), QString(),
                      QStringLiteral("batch number")) +
            QStringLiteral("<button type=\"submit\">Compare</button></form>");

    body += QStringLiteral("<div class=\"columns\"><section><h2>Survey</h2>") +
            fieldsHtml(sourced(captioned(record.header.storedFields(), !visitor.publicOnly), record.source)) +
            QStringLiteral("</section><section><h2>Statistics</h2>") +
            fieldsHtml(captioned(record.summary.storedFields(), true)) + QStringLiteral("</section></div>");

    // The speed study counts the vehicles over the threshold given, or the default.
    const QString thresholdText = request.queryValue("threshold").trimmed();
    const auto threshold = queries::readThreshold(QStringLiteral("Enforcement threshold"), thresholdText);
    if (!threshold.ok())
        return WebResponse::html(pageHtml(visitor, title, messageHtml(threshold.message, true) + body),
                                 statusOf(threshold.refusal));

    body += QStringLiteral("<section id=\"documents\"><h2>Documents</h2><ul>");
    for (const reports::DocumentKind& kind : reports::documentKinds()) {
        if (!isSurveyDocument(kind))
            continue;
        const QString query = kind.choice == reports::ReportChoice::SpeedStudyReport
                                  ? queryString({{QStringLiteral("threshold"), thresholdText}})
                                  : QString();
        body += QStringLiteral("<li>%1</li>")
                    .arg(link(base + QStringLiteral("/documents/%1.pdf").arg(int(kind.choice)) + query,
                              reports::documentName(kind.choice) + QStringLiteral(" (PDF)")));
    }
    body += QStringLiteral("</ul></section>");

    const std::shared_ptr<const SurveyFigures> figures =
        figuresOf(request.database, record, *threshold.value);
    if (!figures)
        return std::nullopt;
    const auto& study = figures->study;
    if (study.ok()) {
        body +=
            QStringLiteral("<section id=\"graphs\"><h2>Graphs</h2>") +
            image(graphs + QStringLiteral("speed-distribution.svg"), QStringLiteral("Speed distribution")) +
            image(graphs + QStringLiteral("traffic-volume.svg"), QStringLiteral("Traffic volume by speed")) +
            QStringLiteral("</section>");
        body += QStringLiteral("<section id=\"flow\"><h2>Traffic flow</h2>") +
                flowGrid(figures->quarterHours, flow::BinLength::QuarterHour) +
                flowGrid(figures->hours, flow::BinLength::Hour) + QStringLiteral("</section>");
        body += studySection(*study.value, graphs, base, thresholdText);
    } else {
        body += messageHtml(study.message, true);
    }
    return WebResponse::html(pageHtml(visitor, title, body));
}

QByteArray barGraphSvg(const charts::BarGraph& graph)
{
    const charts::BarGraphRenderer renderer(graph, QSize(960, 600));
    return svgDocument(QSize(960, 600), graph.title,
                       [&renderer](QPainter& painter) { renderer.paint(painter); });
}

// The graph; none when `figuresOf` has no figures for the survey.
std::optional<WebResponse> surveyGraph(const WebRequest& request, const QString& batchNumber,
                                       const QString& file, FiguresOf figuresOf)
{
    const Visitor& visitor = request.visitor;
    const QString name = file.endsWith(QLatin1String(".svg")) ? file.chopped(4) : QString();
    const bool barGraph =
        name == QLatin1String("speed-distribution") || name == QLatin1String("traffic-volume");
    if (!barGraph && name != QLatin1String("speed-curve") && name != QLatin1String("weekly"))
        return errorPage(visitor, 404,
                         QStringLiteral("There is no graph %1; the graphs are speed-distribution.svg, "
                                        "traffic-volume.svg, speed-curve.svg and weekly.svg.")
                             .arg(file));
    const auto stored = queries::storedSurvey(request.database, batchNumber);
    if (!stored.ok())
        return refusalPage(visitor, stored);
    const std::shared_ptr<const SurveyFigures> figures =
        figuresOf(request.database, *stored.value, std::nullopt);
    if (!figures)
        return std::nullopt;
    if (barGraph) {
        const charts::GraphResult& result =
            name == QLatin1String("speed-distribution") ? figures->speedDistribution : figures->trafficVolume;
        if (!result.drawn())
            return errorPage(visitor, 404, result.message);
        return svgResponse(barGraphSvg(*result.graph));
    }
    const auto& study = figures->study;
    if (!study.ok())
        return refusalPage(visitor, study);
    if (name == QLatin1String("speed-curve"))
        return svgResponse(lineGraphSvg(study::speedCurve(*study.value)));
    const charts::HeatMap map = study::weeklyHeatMap(*study.value);
    const charts::HeatMapRenderer renderer(map, QSize(1100, 480));
    return svgResponse(svgDocument(QSize(1100, 480), map.title,
                                   [&renderer](QPainter& painter) { renderer.paint(painter); }));
}

WebResponse surveyDocument(const WebRequest& request, const QString& batchNumber, const QString& file)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,2})\\.pdf$"));
    const QRegularExpressionMatch match = pattern.match(file);
    const reports::DocumentKind* kind =
        match.hasMatch() ? reports::documentKind(reports::reportChoiceFromNumber(match.captured(1).toInt()))
                         : nullptr;
    if (!kind || !isSurveyDocument(*kind))
        return errorPage(
            request.visitor, 404,
            QStringLiteral("There is no survey document %1; the survey page lists them.").arg(file));
    const auto threshold = queries::readThreshold(QStringLiteral("Enforcement threshold"),
                                                  request.queryValue("threshold").trimmed());
    if (!threshold.ok())
        return refusalPage(request.visitor, threshold);
    queries::DocumentRequest document;
    document.number = int(kind->choice);
    document.batchNumber = batchNumber;
    document.threshold = *threshold.value;
    return documentResponse(request, document);
}

} // namespace

std::vector<Route> surveyRoutes()
{
    return {
        {"GET", QStringLiteral("/surveys"), Access::Signed,
         [](const WebRequest& request, const QStringList&) { return surveyList(request); }, Work::Light},
        {"GET", QStringLiteral("/surveys/{batch}"), Access::Signed,
         [](const WebRequest& request, const QStringList& arguments) {
             return *surveyPage(request, arguments.at(0), surveyFigures);
         },
         Work::ReadsVehicles,
         [](const WebRequest& request, const QStringList& arguments) {
             return surveyPage(request, arguments.at(0), keptSurveyFigures);
         }},
        {"GET", QStringLiteral("/surveys/{batch}/graphs/{file}"), Access::Signed,
         [](const WebRequest& request, const QStringList& arguments) {
             return *surveyGraph(request, arguments.at(0), arguments.at(1), surveyFigures);
         },
         Work::ReadsVehicles,
         [](const WebRequest& request, const QStringList& arguments) {
             return surveyGraph(request, arguments.at(0), arguments.at(1), keptSurveyFigures);
         }},
        {"GET", QStringLiteral("/surveys/{batch}/documents/{file}"), Access::Signed,
         [](const WebRequest& request, const QStringList& arguments) {
             return surveyDocument(request, arguments.at(0), arguments.at(1));
         }},
    };
}

} // namespace pelmor::web::pages
