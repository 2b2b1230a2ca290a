#include "web/pages/PageParts.h"
#include "web/pages/Pages.h"

#include "compare/ComparisonGraph.h"
#include "compare/ComparisonTables.h"
#include "reports/ReportChoice.h"

namespace pelmor::web::pages {
namespace {

QString compareForm(const QString& a, const QString& b)
{
    return QStringLiteral("<form method=\"get\" action=\"/compare\" class=\"filters\">") +
           textField(QStringLiteral("a"), QStringLiteral("Survey before"), a,
                     QStringLiteral("batch number")) +
           textField(QStringLiteral("b"), QStringLiteral("Survey after"), b, QStringLiteral("batch number")) +
           QStringLiteral("<button type=\"submit\">Compare</button></form>");
}

QString linesHtml(const QStringList& lines)
{
    QString html = QStringLiteral("<ul>");
    for (const QString& line : lines)
        html += QStringLiteral("<li>%1</li>").arg(escaped(line));
    return html + QStringLiteral("</ul>");
}

QString comparisonHtml(const compare::Comparison& comparison, const QString& pair)
{
    QString html = QStringLiteral("<h2>%1</h2>").arg(escaped(compare::comparisonHeading(comparison)));
    html += QStringLiteral("<p class=\"lead\">%1</p>").arg(escaped(comparison.headline));
    html += linesHtml({compare::surveyLine(comparison, true), compare::surveyLine(comparison, false)});
    html += QStringLiteral(
                "<nav class=\"actions\" aria-label=\"Comparison\"><ul><li>%1</li><li>%2</li></ul></nav>")
                .arg(link(QStringLiteral("/compare/document.pdf") + pair,
                          QStringLiteral("Comparison report (PDF)")),
                     link(QStringLiteral("/api/compare") + pair, QStringLiteral("Comparison (JSON)")));
    std::vector<QStringList> rows;
    for (const compare::ComparisonRow& row : compare::comparisonRows(comparison))
        rows.push_back({row.caption, row.a, row.b, row.change});
    html += tableHtml(compare::comparisonColumns(comparison), rows, false);
    html += QStringLiteral("<p class=\"note\">%1</p>").arg(escaped(compare::unitNote(comparison)));
    html += QStringLiteral("<h3>Verdicts</h3>") + linesHtml(compare::verdictLines(comparison));
    std::vector<QStringList> tests;
    for (const compare::TestRow& row : compare::testRows(comparison))
        tests.push_back({row.question, row.test, row.statistic, row.pValue, row.verdict});
    html += tableHtml(compare::testColumns(), tests, false);
    if (comparison.warnings.empty()) {
        html += QStringLiteral("<p>%1</p>").arg(escaped(compare::fairComparisonNote()));
    } else {
        QStringList warnings;
        for (const study::Warning& warning : comparison.warnings)
            warnings << warning.text;
        html += QStringLiteral("<h3>%1</h3>").arg(escaped(compare::unfairComparisonHeading())) +
                QStringLiteral("<div class=\"warnings\">") + linesHtml(warnings) + QStringLiteral("</div>");
    }
    html += QStringLiteral(
                "<figure><img src=\"%1\" alt=\"Cumulative speed distributions of both surveys\"></figure>")
                .arg(escaped(QStringLiteral("/compare/graph.svg") + pair));
    html += QStringLiteral("<p class=\"note\">%1</p>").arg(escaped(compare::plainTermsNote()));
    return html;
}

QString pairQuery(const QString& a, const QString& b)
{
    return queryString({{QStringLiteral("a"), a}, {QStringLiteral("b"), b}});
}

WebResponse comparePage(const WebRequest& request)
{
    const Visitor& visitor = request.visitor;
    const QString title = QStringLiteral("Compare two surveys");
    const QString a = request.queryValue("a").trimmed();
    const QString b = request.queryValue("b").trimmed();
    QString body = compareForm(a, b);
    if (a.isEmpty() && b.isEmpty())
        return WebResponse::html(pageHtml(visitor, title, body));
    if (a.isEmpty() || b.isEmpty())
        return WebResponse::html(
            pageHtml(
                visitor, title,
                messageHtml(QStringLiteral("Give the batch numbers of both surveys: the one before and the "
                                           "one after."),
                            true) +
                    body),
            400);
    const auto comparison = queries::comparison(request.database, a, b);
    if (!comparison.ok())
        return WebResponse::html(pageHtml(visitor, title, messageHtml(comparison.message, true) + body),
                                 statusOf(comparison.refusal));
    return WebResponse::html(
        pageHtml(visitor, title, body + comparisonHtml(*comparison.value, pairQuery(a, b))));
}

WebResponse compareGraph(const WebRequest& request)
{
    const auto comparison =
        queries::comparison(request.database, request.queryValue("a"), request.queryValue("b"));
    if (!comparison.ok())
        return refusalPage(request.visitor, comparison);
    return svgResponse(lineGraphSvg(compare::comparisonCurve(*comparison.value)));
}

WebResponse compareDocument(const WebRequest& request)
{
    queries::DocumentRequest document;
    document.number = int(reports::ReportChoice::ComparisonReport);
    document.batchNumber = request.queryValue("a");
    document.secondBatch = request.queryValue("b");
    return documentResponse(request, document);
}

} // namespace

std::vector<Route> compareRoutes()
{
    return {
        {"GET", QStringLiteral("/compare"), Access::Signed,
         [](const WebRequest& request, const QStringList&) {
             return comparePage(request);
         }},
        {"GET", QStringLiteral("/compare/graph.svg"), Access::Signed,
         [](const WebRequest& request, const QStringList&) {
             return compareGraph(request);
         }},
        {"GET", QStringLiteral("/compare/document.pdf"), Access::Signed,
         [](const WebRequest& request, const QStringList&) {
             return compareDocument(request);
         }},
    };
}

} // namespace pelmor::web::pages
