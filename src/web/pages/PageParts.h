#pragma once

#include "charts/LineGraph.h"
#include "queries/Queries.h"
#include "web/WebRequest.h"

#include <QByteArray>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <utility>
#include <vector>

class QPainter;

// What the pages are made of: links built from escaped and percent-encoded
// parts, tables, forms, the answer to a refused question, and graphs drawn
// as SVG.
namespace pelmor::web::pages {

// A part of a path, percent-encoded ("050326/A" gives "050326%2FA").
QString pathPart(const QString& text);
// A query string from names and values, the empty values left out, each
// percent-encoded: "?a=1&b=x%20y", or an empty text when none is left.
QString queryString(const std::vector<std::pair<QString, QString>>& items);
// <a href="...">text</a>, both escaped.
QString link(const QString& href, const QString& text);

// A table in a wrapper that scrolls sideways on a narrow screen; every
// text escaped. A sortable table is sorted by a click on a column title
// when scripts run. A cell for which `hrefOf(row, column)` gives an address
// links there.
QString tableHtml(const QStringList& columns, const std::vector<QStringList>& rows, bool sortable = true,
                  const std::function<QString(size_t row, int column)>& hrefOf = {});
// A table of captions and values, one pair a row.
QString fieldsHtml(const std::vector<std::pair<QString, QString>>& fields);

// A text field of a GET form with its label and the value given before.
QString textField(const QString& name, const QString& label, const QString& value,
                  const QString& placeholder = QString());
// A paragraph telling a message, or nothing for an empty message.
QString messageHtml(const QString& message, bool isError = false);

// The page that tells why a question got no answer, with the status its
// refusal stands for: 400, 404, or 503 when the database failed.
WebResponse refusalPage(const Visitor& visitor, queries::Refusal refusal, const QString& message);
template <typename T> WebResponse refusalPage(const Visitor& visitor, const queries::Answer<T>& answer)
{
    return refusalPage(visitor, answer.refusal, answer.message);
}
int statusOf(queries::Refusal refusal);

// A graph drawn by `paint` into an SVG document of `size`.
QByteArray svgDocument(QSize size, const QString& title, const std::function<void(QPainter&)>& paint);
WebResponse svgResponse(QByteArray svg);
// A line graph as SVG, at the size the pages show it.
QByteArray lineGraphSvg(const charts::LineGraph& graph);
// A printed document as a PDF file shown in the browser, or the page that
// says why there is none.
WebResponse documentResponse(const WebRequest& request, queries::DocumentRequest document);

// A whole page with the Leaflet style sheet and script and the map's script
// in its head.
QByteArray mapPageHtml(const Visitor& visitor, const QString& title, const QString& bodyHtml);

// The address map tiles are fetched from, "" for none.
QString tileSource();

// The routes of each kind of page.
std::vector<Route> surveyRoutes();
std::vector<Route> intervalRoutes();
std::vector<Route> compareRoutes();
std::vector<Route> siteRoutes();
std::vector<Route> staticRoutes();

} // namespace pelmor::web::pages
