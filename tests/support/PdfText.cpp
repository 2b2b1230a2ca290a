#include "PdfText.h"

#include <QProcess>
#include <QStringList>
#include <QXmlStreamReader>

namespace pelmor::test {

QString PdfPage::text() const
{
    QStringList texts;
    for (const PdfWord& word : words)
        texts << word.text;
    return texts.join(QLatin1Char(' '));
}

std::vector<PdfPage> readPdf(const QString& path)
{
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox-layout"), path, QStringLiteral("-")});
    if (!pdftotext.waitForFinished(60000) || pdftotext.exitCode() != 0)
        return {};
    std::vector<PdfPage> pages;
    QXmlStreamReader xml(pdftotext.readAllStandardOutput());
    const auto number = [&xml](const char* name) {
        return xml.attributes().value(QLatin1String(name)).toDouble();
    };
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("page")) {
            pages.push_back({QSizeF(number("width"), number("height")), {}});
        } else if (xml.name() == QLatin1String("word") && !pages.empty()) {
            const QRectF box(QPointF(number("xMin"), number("yMin")),
                             QPointF(number("xMax"), number("yMax")));
            pages.back().words.push_back({xml.readElementText(), box});
        }
    }
    return pages;
}

} // namespace pelmor::test
