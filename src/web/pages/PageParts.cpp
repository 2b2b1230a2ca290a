#include "web/pages/PageParts.h"

#include "charts/LineGraphRenderer.h"
#include "reports/Documents.h"
#include "web/pages/Pages.h"

#include <QBuffer>
#include <QPainter>
#include <QSvgGenerator>
#include <QUrl>

namespace pelmor::web::pages {

QString pathPart(const QString& text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

QString queryString(const std::vector<std::pair<QString, QString>>& items)
{
    QStringList parts;
    for (const auto& [name, value] : items) {
        if (!value.isEmpty())
            parts << QString::fromLatin1(QUrl::toPercentEncoding(name)) + QLatin1Char('=') +
                         QString::fromLatin1(QUrl::toPercentEncoding(value));
    }
    return parts.isEmpty() ? QString() : QLatin1Char('?') + parts.join(QLatin1Char('&'));
}

QString link(const QString& href, const QString& text)
{
    return QStringLiteral("<a href=\"%1\">%2</a>").arg(escaped(href), escaped(text));
}

QString tableHtml(const QStringList& columns, const std::vector<QStringList>& rows, bool sortable,
                  const std::function<QString(size_t row, int column)>& hrefOf)
{
    QString html = sortable
                       ? QStringLiteral("<div class=\"table-wrap\"><table class=\"sortable\"><thead><tr>")
                       : QStringLiteral("<div class=\"table-wrap\"><table><thead><tr>");
    for (const QString& column : columns)
        html += QStringLiteral("<th scope=\"col\">%1</th>").arg(escaped(column));
    html += QStringLiteral("</tr></thead><tbody>");
    for (size_t r = 0; r < rows.size(); ++r) {
        html += QStringLiteral("<tr>");
        for (int c = 0; c < rows[r].size(); ++c) {
            const QString href = hrefOf ? hrefOf(r, c) : QString();
            html += QStringLiteral("<td>%1</td>")
                        .arg(href.isEmpty() ? escaped(rows[r][c]) : link(href, rows[r][c]));
        }
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</tbody></table></div>");
}

QString fieldsHtml(const std::vector<std::pair<QString, QString>>& fields)
{
    QString html = QStringLiteral("<div class=\"table-wrap\"><table class=\"fields\"><tbody>");
    for (const auto& [caption, value] : fields)
        html += QStringLiteral("<tr><th scope=\"row\">%1</th><td>%2</td></tr>")
                    .arg(escaped(caption), escaped(value));
    return html + QStringLiteral("</tbody></table></div>");
}

QString textField(const QString& name, const QString& label, const QString& value, const QString& placeholder)
{
    const QString hint =
        placeholder.isEmpty() ? QString() : QStringLiteral(" placeholder=\"%1\"").arg(escaped(placeholder));
    return QStringLiteral("<label>%1 <input name=\"%2\" value=\"%3\"%4></label>")
        .arg(escaped(label), escaped(name), escaped(value), hint);
}

QString messageHtml(const QString& message, bool isError)
{
    if (message.isEmpty())
        return QString();
    return QStringLiteral("<p class=\"%1\" role=\"%2\">%3</p>")
        .arg(isError ? QStringLiteral("message error") : QStringLiteral("message"),
             isError ? QStringLiteral("alert") : QStringLiteral("status"), escaped(message));
}

int statusOf(queries::Refusal refusal)
{
    switch (refusal) {
    case queries::Refusal::BadRequest:
        return 400;
    case queries::Refusal::NotFound:
        return 404;
    case queries::Refusal::DatabaseFailure:
        return 503;
    case queries::Refusal::None:
        break;
    }
    return 500;
}

WebResponse refusalPage(const Visitor& visitor, queries::Refusal refusal, const QString& message)
{
    return errorPage(visitor, statusOf(refusal), message);
}

QByteArray svgDocument(QSize size, const QString& title, const std::function<void(QPainter&)>& paint)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QSvgGenerator generator;
        generator.setOutputDevice(&buffer);
        generator.setSize(size);
        generator.setViewBox(QRect(QPoint(0, 0), size));
        // The generator writes the title into the document as it stands.
        generator.setTitle(title.toHtmlEscaped());
        QPainter painter(&generator);
        paint(painter);
    }
    return buffer.data();
}

WebResponse svgResponse(QByteArray svg)
{
    WebResponse response = WebResponse::of("image/svg+xml", std::move(svg));
    response.headers.push_back({"Cache-Control", "no-store"});
    return response;
}

QByteArray lineGraphSvg(const charts::LineGraph& graph)
{
    const charts::LineGraphRenderer renderer(graph, QSize(960, 600));
    return svgDocument(QSize(960, 600), graph.title,
                       [&renderer](QPainter& painter) { renderer.paint(painter); });
}

WebResponse documentResponse(const WebRequest& request, queries::DocumentRequest document)
{
    if (request.visitor.publicOnly) {
        // Nobody's name goes to a visitor who has not signed in.
        document.agency = QString();
        document.officer = QString();
    }
    if (!document.today.isValid())
        document.today = QDate::currentDate();
    const auto built = queries::document(request.database, document);
    if (!built.ok())
        return refusalPage(request.visitor, built);
    const auto pdf = queries::documentPdf(*built.value);
    if (!pdf.ok())
        return refusalPage(request.visitor, pdf);
    WebResponse response = WebResponse::of("application/pdf", *pdf.value);
    QString fileName =
        reports::pdfFileName(reports::reportChoiceFromNumber(document.number), document.batchNumber);
    fileName.replace(QLatin1Char('"'), QLatin1Char('_'));
    response.headers.push_back(
        {"Content-Disposition", "inline; filename*=UTF-8''" + QUrl::toPercentEncoding(fileName)});
    return response;
}

QByteArray mapPageHtml(const Visitor& visitor, const QString& title, const QString& bodyHtml)
{
    return pageHtml(visitor, title, bodyHtml,
                    QStringLiteral("<link rel=\"stylesheet\" href=\"/static/leaflet/leaflet.css\">"
                                   "<script src=\"/static/leaflet/leaflet.js\" defer></script>"
                                   "<script src=\"/static/map.js\" defer></script>"));
}

} // namespace pelmor::web::pages
