#include "web/pages/PageParts.h"
#include "web/pages/Pages.h"

#include "sites/SiteTrends.h"
#include "store/SurveyStore.h"
#include "study/Intervals.h"
#include "study/SpeedStudy.h"
#include "text/Formats.h"

#include <algorithm>
#include <cmath>

namespace pelmor::web::pages {
namespace {

// What the intervals are worked out for: one survey, or the surveys of one
// site measured in its unit.
struct IntervalSubject {
    QString title;
    QString backHref;
    QString backText;
    QString address; // of the intervals page, without its query
    QStringList batchNumbers;
    QString unit;
    qint64 limit = 0;
    QString note;
    study::IntervalRequest request;
};

// The subject of a request, or the page that says why there is none.
struct SubjectOrPage {
    std::optional<IntervalSubject> subject;
    WebResponse page;
};

// Reads "by", "from" and "to" into the request of `subject`.
std::optional<WebResponse> readChoices(const WebRequest& request, study::IntervalLength byDefault,
                                       IntervalSubject& subject)
{
    const QString by = request.queryValue("by");
    const auto length = by.isEmpty() ? std::optional(byDefault) : study::intervalLengthOf(by);
    if (!length)
        return errorPage(request.visitor, 400,
                         QStringLiteral("The interval \"by\" must be 15m, 1h or 1d, not \"%1\".").arg(by));
    subject.request.length = *length;
    const auto from = queries::readFilterDate(QStringLiteral("From"), request.queryValue("from"));
    if (!from.ok())
        return refusalPage(request.visitor, from);
    const auto to = queries::readFilterDate(QStringLiteral("To"), request.queryValue("to"));
    if (!to.ok())
        return refusalPage(request.visitor, to);
    subject.request.from = *from.value;
    subject.request.until = *to.value;
    return std::nullopt;
}

SubjectOrPage surveySubject(const WebRequest& request, const QString& batchNumber)
{
    IntervalSubject subject;
    if (auto page = readChoices(request, study::IntervalLength::Hour, subject))
        return {std::nullopt, *page};
    const auto stored = queries::storedSurvey(request.database, batchNumber);
    if (!stored.ok())
        return {std::nullopt, refusalPage(request.visitor, stored)};
    subject.title = QStringLiteral("Intervals of survey %1").arg(batchNumber);
    subject.backHref = QStringLiteral("/surveys/") + pathPart(batchNumber);
    subject.backText = QStringLiteral("Survey %1").arg(batchNumber);
    subject.address = subject.backHref + QStringLiteral("/intervals");
    subject.batchNumbers = QStringList{batchNumber};
    subject.unit = stored.value->header.radarMode;
    // The limit the speed study measures the survey against.
    subject.limit = text::toWholeNumber(study::StudyInputs::of(*stored.value).postedLimit).value_or(0);
    subject.request.limit = subject.limit;
    return {subject, {}};
}

SubjectOrPage siteSubject(const WebRequest& request, const QString& named)
{
    IntervalSubject subject;
    if (auto page = readChoices(request, study::IntervalLength::Day, subject))
        return {std::nullopt, *page};
    const auto history = queries::siteHistory(request.database, named);
    if (!history.ok())
        return {std::nullopt, refusalPage(request.visitor, history)};
    const sites::SiteHistory& site = *history.value;
    int otherUnit = 0;
    for (const sites::HistoryRow& row : site.rows) {
        // Speeds of two units cannot be ranked together.
        if (row.converted) {
            ++otherUnit;
            continue;
        }
        subject.batchNumbers << row.batchNumber;
        subject.limit = qint64(std::llround(row.limit)); // that of the latest survey
    }
    if (otherUnit > 0)
        subject.note =
            QStringLiteral("%1 of the site's surveys measured speeds in another unit and are left out.")
                .arg(otherUnit);
    subject.title = QStringLiteral("Intervals of site %1").arg(site.site.id);
    subject.backHref = QStringLiteral("/sites/%1").arg(site.site.id);
    subject.backText = QStringLiteral("Site %1").arg(site.site.id);
    subject.address = subject.backHref + QStringLiteral("/intervals");
    subject.unit = site.unit;
    subject.request.limit = subject.limit;
    return {subject, {}};
}

// The figures, or the page that says the database failed.
std::optional<std::vector<study::IntervalFigures>>
figuresOf(const WebRequest& request, const IntervalSubject& subject, WebResponse& failure)
{
    try {
        const std::unique_ptr<store::SurveyStore> store = store::openStore(request.database);
        return study::intervalFigures(*store, subject.batchNumbers, subject.request);
    } catch (const db::DbError& error) {
        failure = errorPage(request.visitor, 503, error.message());
        return std::nullopt;
    }
}

QString startText(const study::IntervalFigures& figures, study::IntervalLength length)
{
    const QString date = figures.start.date().toString(QStringLiteral("MM/dd/yyyy"));
    return length == study::IntervalLength::Day
               ? date
               : date + QLatin1Char(' ') + text::formatTime24(figures.start.time());
}

QString speedText(const study::IntervalFigures& figures, double speed)
{
    return figures.vehicles > 0 ? text::shortestDecimal(speed) : QStringLiteral("-");
}

// The choices of the request as a query, for the graph and the form.
QString choicesQuery(const WebRequest& request, const IntervalSubject& subject)
{
    return queryString({{QStringLiteral("from"), request.queryValue("from")},
                        {QStringLiteral("to"), request.queryValue("to")},
                        {QStringLiteral("by"), study::intervalKey(subject.request.length)}});
}

WebResponse intervalsPage(const WebRequest& request, SubjectOrPage resolved)
{
    if (!resolved.subject)
        return resolved.page;
    const IntervalSubject& subject = *resolved.subject;
    WebResponse failure;
    const auto figures = figuresOf(request, subject, failure);
    if (!figures)
        return failure;

    QString body = QStringLiteral("<p>") + link(subject.backHref, subject.backText) + QStringLiteral("</p>");
    body += QStringLiteral("<form method=\"get\" action=\"%1\" class=\"filters\">")
                .arg(escaped(subject.address)) +
            textField(QStringLiteral("from"), QStringLiteral("From"), request.queryValue("from"),
                      QStringLiteral("MM/DD/YYYY")) +
            textField(QStringLiteral("to"), QStringLiteral("To"), request.queryValue("to"),
                      QStringLiteral("MM/DD/YYYY")) +
            QStringLiteral("<label>Each <select name=\"by\">");
    for (study::IntervalLength length :
         {study::IntervalLength::QuarterHour, study::IntervalLength::Hour, study::IntervalLength::Day})
        body += QStringLiteral("<option value=\"%1\"%2>%3</option>")
                    .arg(study::intervalKey(length),
                         length == subject.request.length ? QStringLiteral(" selected") : QString(),
                         study::intervalName(length));
    body += QStringLiteral("</select></label><button type=\"submit\">Show</button></form>");
    body += messageHtml(subject.note);
    if (figures->empty()) {
        body += messageHtml(QStringLiteral("No vehicle was logged in the days chosen."));
        return WebResponse::html(pageHtml(request.visitor, subject.title, body));
    }
    body +=
        QStringLiteral("<figure><img src=\"%1\" alt=\"Speeds in each interval\"></figure>")
            .arg(escaped(subject.address + QStringLiteral("/graph.svg") + choicesQuery(request, subject)));
    const QString unit = study::unitText(subject.unit);
    const QStringList columns{QStringLiteral("Start"),        QStringLiteral("Vehicles"),
                              QStringLiteral("50th ") + unit, QStringLiteral("85th ") + unit,
                              QStringLiteral("98th ") + unit, QStringLiteral("Highest ") + unit,
                              QStringLiteral("Over limit %")};
    std::vector<QStringList> rows;
    rows.reserve(figures->size());
    for (const study::IntervalFigures& interval : *figures)
        rows.push_back(
            {startText(interval, subject.request.length), text::formatCount(interval.vehicles),
             speedText(interval, interval.median), speedText(interval, interval.percentile85),
             speedText(interval, interval.percentile98), speedText(interval, double(interval.highest)),
             interval.vehicles > 0 && subject.limit > 0 ? text::formatOneDecimal(interval.percentOverLimit())
                                                        : QStringLiteral("-")});
    body += tableHtml(columns, rows);
    return WebResponse::html(pageHtml(request.visitor, subject.title, body));
}

// A step of a scale that gives some `lines` lines up to `span`.
double niceStep(double span, int lines)
{
    const double rough = std::max(span, 1.0) / lines;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= rough)
            return factor * power;
    }
    return 10.0 * power;
}

charts::LineGraph intervalGraph(const IntervalSubject& subject,
                                const std::vector<study::IntervalFigures>& figures)
{
    const bool days = subject.request.length == study::IntervalLength::Day;
    const QDateTime origin = figures.front().start;
    const auto xOf = [&origin, days](const QDateTime& when) {
        return double(origin.secsTo(when)) / (days ? 86400.0 : 3600.0);
    };
    charts::LineGraph graph;
    graph.title = subject.title + QStringLiteral(", each ") + study::intervalName(subject.request.length);
    graph.leftTitle = QStringLiteral("Speed (%1)").arg(study::unitText(subject.unit));
    graph.bottomTitle = (days ? QStringLiteral("Days from %1") : QStringLiteral("Hours from %1"))
                            .arg(origin.toString(QStringLiteral("MM/dd/yyyy HH:mm")));
    const struct {
        const char* name;
        double study::IntervalFigures::*value;
        QColor colour;
        double width;
    } lines[] = {{"98th percentile", &study::IntervalFigures::percentile98, QColor(150, 150, 150), 1.0},
                 {"85th percentile", &study::IntervalFigures::percentile85, QColor(0, 60, 140), 1.5},
                 {"50th percentile", &study::IntervalFigures::median, QColor(0, 130, 60), 1.0}};
    double highest = double(subject.limit);
    for (const auto& line : lines) {
        charts::LineSeries series;
        series.name = QLatin1String(line.name);
        series.colour = line.colour;
        series.width = line.width;
        for (const study::IntervalFigures& interval : figures) {
            if (interval.vehicles == 0)
                continue;
            series.points.push_back({xOf(interval.start), interval.*line.value});
            highest = std::max(highest, interval.*line.value);
        }
        series.markPoints = series.points.size() < 40;
        graph.series.push_back(series);
    }
    graph.xMinimum = 0;
    graph.xMaximum = std::max(1.0, xOf(figures.back().start) + 1);
    graph.xStep = niceStep(graph.xMaximum, 10);
    graph.yStep = niceStep(highest * 1.1, 6);
    graph.yMaximum = std::max(graph.yStep, std::ceil(highest * 1.1 / graph.yStep) * graph.yStep);
    if (subject.limit > 0) {
        charts::LineSeries limit;
        limit.name =
            QStringLiteral("Posted limit %1 %2").arg(subject.limit).arg(study::unitText(subject.unit));
        limit.colour = QColor(200, 0, 0);
        limit.style = Qt::DashLine;
        limit.points = {{graph.xMinimum, double(subject.limit)}, {graph.xMaximum, double(subject.limit)}};
        graph.series.push_back(limit);
    }
    return graph;
}

WebResponse intervalsGraph(const WebRequest& request, SubjectOrPage resolved)
{
    if (!resolved.subject)
        return resolved.page;
    WebResponse failure;
    const auto figures = figuresOf(request, *resolved.subject, failure);
    if (!figures)
        return failure;
    if (figures->empty())
        return errorPage(request.visitor, 404, QStringLiteral("No vehicle was logged in the days chosen."));
    return svgResponse(lineGraphSvg(intervalGraph(*resolved.subject, *figures)));
}

} // namespace

std::vector<Route> intervalRoutes()
{
    return {
        {"GET", QStringLiteral("/surveys/{batch}/intervals"), Access::Signed,
         [](const WebRequest& request, const QStringList& arguments) {
             return intervalsPage(request, surveySubject(request, arguments.at(0)));
         }},
        {"GET", QStringLiteral("/surveys/{batch}/intervals/graph.svg"), Access::Signed,
         [](const WebRequest& request, const QStringList& arguments) {
             return intervalsGraph(request, surveySubject(request, arguments.at(0)));
         }},
        {"GET", QStringLiteral("/sites/{site}/intervals"), Access::Public,
         [](const WebRequest& request, const QStringList& arguments) {
             return intervalsPage(request, siteSubject(request, arguments.at(0)));
         }},
        {"GET", QStringLiteral("/sites/{site}/intervals/graph.svg"), Access::Public,
         [](const WebRequest& request, const QStringList& arguments) {
             return intervalsGraph(request, siteSubject(request, arguments.at(0)));
         }},
    };
}

} // namespace pelmor::web::pages
