#include "reports/PagePainter.h"

#include "reports/PageFonts.h"

#include "db/Files.h"
#include "db/SafeFileWriter.h"

#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

namespace pelmor::reports {
namespace {

// A PDF holds everything as drawn; 1200 dots to the inch keep positions
// within a fraction of a twip.
constexpr int kPdfResolution = 1200;

QPen pen(const QColor& colour, double width)
{
    if (width <= 0)
        return Qt::NoPen;
    QPen result(colour, width);
    result.setCapStyle(Qt::SquareCap);
    result.setJoinStyle(Qt::MiterJoin);
    return result;
}

struct ItemPainter {
    QPainter& painter;

    void operator()(const TextItem& item) const
    {
        painter.setFont(pageFont(item.font));
        painter.setPen(item.colour);
        painter.drawText(QPointF(item.x, item.baseline), item.text);
    }
    void operator()(const LineItem& item) const
    {
        painter.setPen(pen(item.colour, item.width));
        painter.drawLine(item.from, item.to);
    }
    void operator()(const RectangleItem& item) const
    {
        painter.setPen(pen(item.lineColour, item.lineWidth));
        painter.setBrush(item.fill ? QBrush(*item.fill) : QBrush(Qt::NoBrush));
        painter.drawRect(item.rect);
        painter.setBrush(Qt::NoBrush);
    }
    void operator()(const PictureItem& item) const
    {
        // Scaled into the rectangle with its proportions kept, centred.
        const QSizeF fitted = QSizeF(item.image.size()).scaled(item.rect.size(), Qt::KeepAspectRatio);
        const QRectF target(item.rect.center() - QPointF(fitted.width() / 2, fitted.height() / 2), fitted);
        painter.drawImage(target, item.image);
    }
    void operator()(const DrawingItem& item) const
    {
        painter.save();
        painter.setClipRect(item.rect, Qt::IntersectClip);
        painter.translate(item.rect.topLeft());
        painter.scale(item.rect.width() / item.canvas.width(), item.rect.height() / item.canvas.height());
        painter.setPen(Qt::black);
        painter.setBrush(Qt::NoBrush);
        item.paint(painter);
        painter.restore();
    }
};

QPageSize pageSizeOf(const PagedDocument& document)
{
    return QPageSize(document.pageSize / kTwipsPerPoint, QPageSize::Point, QString(), QPageSize::ExactMatch);
}

} // namespace

void twipsToDevice(QPainter& painter, double dotsPerInch)
{
    const double scale = dotsPerInch / kTwipsPerInch;
    painter.scale(scale, scale);
}

void paintPage(QPainter& painter, const Page& page)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const ItemPainter itemPainter{painter};
    for (const PlacedItem& item : page.items)
        std::visit(itemPainter, item);
    painter.restore();
}

bool paintDocument(QPainter& painter, QPagedPaintDevice& device, const PagedDocument& document,
                   double dotsPerInch, const std::function<bool(int page)>& beforePage)
{
    for (size_t index = 0; index < document.pages.size(); ++index) {
        if (beforePage && !beforePage(static_cast<int>(index) + 1))
            return false;
        if (index > 0)
            device.newPage();
        painter.save();
        twipsToDevice(painter, dotsPerInch);
        paintPage(painter, document.pages[index]);
        painter.restore();
    }
    return true;
}

QString writePdf(const PagedDocument& document, const QString& path, const QString& title,
                 const std::function<bool(int page)>& beforePage)
{
    return db::saveFile(path, [&](QIODevice& file) {
        QPdfWriter writer(&file);
        writer.setResolution(kPdfResolution);
        writer.setPageSize(pageSizeOf(document));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("Pelmor Traffic Analysis System"));
        QPainter painter;
        if (!painter.begin(&writer))
            return QStringLiteral("The file %1 cannot be written.")
                .arg(db::displayPath(QFileInfo(path).absoluteFilePath()));
        const bool complete = paintDocument(painter, writer, document, kPdfResolution, beforePage);
        if (!painter.end())
            return QStringLiteral("The file %1 could not be completed.")
                .arg(db::displayPath(QFileInfo(path).absoluteFilePath()));
        if (!complete)
            return QStringLiteral("The file %1 was not written: the writing was stopped.")
                .arg(db::displayPath(QFileInfo(path).absoluteFilePath()));
        return QString();
    });
}

QImage renderPage(const PagedDocument& document, int pageIndex, double dotsPerInch)
{
    const QSize size(qRound(document.pageSize.width() / kTwipsPerInch * dotsPerInch),
                     qRound(document.pageSize.height() / kTwipsPerInch * dotsPerInch));
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setDotsPerMeterX(qRound(dotsPerInch / 0.0254));
    image.setDotsPerMeterY(qRound(dotsPerInch / 0.0254));
    if (pageIndex < 0 || pageIndex >= static_cast<int>(document.pages.size()))
        return image;
    QPainter painter(&image);
    twipsToDevice(painter, dotsPerInch);
    paintPage(painter, document.pages[static_cast<size_t>(pageIndex)]);
    return image;
}

} // namespace pelmor::reports
