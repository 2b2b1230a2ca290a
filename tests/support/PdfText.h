#pragma once

#include <QRectF>
#include <QSizeF>
#include <QString>

#include <vector>

namespace pelmor::test {

// A word of a PDF page as poppler's pdftotext reads it, with its box in
// points from the page's top-left corner.
struct PdfWord {
    QString text;
    QRectF box;
};

struct PdfPage {
    QSizeF size; // points
    std::vector<PdfWord> words;

    // The words joined by blanks, in reading order.
    QString text() const;
};

// Whether the words of `text` stand one after the other, left to right on
// one line of a PDF page, inside an area of the page given in twips (20 to
// the point).
bool hasLine(const PdfPage& page, const QRectF& twips, const QString& text);

// The pages of a PDF file read back with "pdftotext -bbox-layout"; empty
// when the file cannot be read.
std::vector<PdfPage> readPdf(const QString& path);

} // namespace pelmor::test
