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

bool hasLine(const PdfPage& page, const QRectF& twips, const QString& text)
{
    const QRectF area(twips.topLeft() / 20, twips.size() / 20);
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const auto next = [&](const QString& word, const QRectF& after) -> const PdfWord* {
        const PdfWord* nearest = nullptr;
        for (const PdfWord& candidate : page.words) {
            if (candidate.text != word || !area.contains(candidate.box) ||
                qAbs(candidate.box.bottom() - after.bottom()) > 1 ||
                candidate.box.left() < after.right() - 0.5)
                continue;
            if (!nearest || candidate.box.left() < nearest->box.left())
                nearest = &candidate;
        }
        return nearest;
    };
    for (const PdfWord& first : page.words) {
        if (words.isEmpty() || first.text != words.first() || !area.contains(first.box))
            continue;
        QRectF last = first.box;
        qsizetype matched = 1;
        for (; matched < words.size(); ++matched) {
            const PdfWord* found = next(words[matched], last);
            if (!found)
                break;
            last = found->box;
        }
        if (matched == words.size())
            return true;
    }
    return false;
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
