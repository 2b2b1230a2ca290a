#pragma once

#include "reports/PageItems.h"

#include <QImage>
#include <QString>

#include <functional>

class QPainter;
class QPagedPaintDevice;

namespace pelmor::reports {

// Paints composed pages. The painter must map twips to the device with the
// page's top-left corner at the origin (see twipsToDevice()); then a page
// looks the same in the preview, on paper, in a PDF file and in an image.
void paintPage(QPainter& painter, const Page& page);

// Scales a painter that stands on a device of `dotsPerInch` to twips.
void twipsToDevice(QPainter& painter, double dotsPerInch);

// Paints every page of the document on a paged device, which must be set
// to the document's page size without margins and have a painter begun on
// it. `beforePage` (when given) is called with the page number from 1
// before each page is painted and can stop the painting by returning
// false. Returns false when it was stopped.
bool paintDocument(QPainter& painter, QPagedPaintDevice& device, const PagedDocument& document,
                   double dotsPerInch, const std::function<bool(int page)>& beforePage = {});

// Writes the document as a PDF file, as every file is saved (whole, or not
// at all; see db::SafeFileWriter); on failure the reason, naming the file,
// otherwise an empty text. `beforePage` is called as paintDocument() calls
// it; when it stops the painting nothing is written and the reason says so.
QString writePdf(const PagedDocument& document, const QString& path, const QString& title,
                 const std::function<bool(int page)>& beforePage = {});

// One page as a white image at `dotsPerInch`.
QImage renderPage(const PagedDocument& document, int pageIndex, double dotsPerInch);

} // namespace pelmor::reports
