#pragma once

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <functional>
#include <optional>
#include <variant>
#include <vector>

class QPainter;

// A composed document: pages of items placed in twips (1440 to the inch, 20
// to the point) from the top-left corner of the page. What the preview
// shows, the printer prints and a PDF holds are painted from these items, so
// tests can check what stands where without painting anything.
namespace pelmor::reports {

constexpr double kTwipsPerInch = 1440;
constexpr double kTwipsPerPoint = 20;

// US Letter, portrait.
inline QSizeF letterPageSize()
{
    return QSizeF(8.5 * kTwipsPerInch, 11 * kTwipsPerInch);
}

struct TextFont {
    QString family = QStringLiteral("Arial");
    double pointSize = 11.25;
    bool bold = false;
    bool italic = false;
    bool underline = false;

    friend bool operator==(const TextFont& a, const TextFont& b)
    {
        return a.family == b.family && a.pointSize == b.pointSize && a.bold == b.bold &&
               a.italic == b.italic && a.underline == b.underline;
    }
};

// One line of text.
struct TextItem {
    QString text;
    TextFont font;
    double x = 0;        // where the text starts
    double top = 0;      // top of its line
    double baseline = 0; // the line the letters stand on
    double width = 0;    // advance of the whole text, blanks included
    QColor colour = Qt::black;
};

struct LineItem {
    QPointF from;
    QPointF to;
    QColor colour;
    double width = 0;
};

// A rectangle with an outline (none when `lineWidth` is 0) and a fill (none
// when `fill` is empty).
struct RectangleItem {
    QRectF rect;
    QColor lineColour;
    double lineWidth = 0;
    std::optional<QColor> fill;
};

// A picture drawn into `rect`, scaled with its proportions kept and centred.
struct PictureItem {
    QRectF rect;
    QImage image;
};

// A drawing painted by a function, as lines, shapes and text: on paper and
// in a PDF file it keeps every detail at any size. The function paints on a
// canvas of `canvas` units, which is scaled into `rect` and clipped to it.
struct DrawingItem {
    QRectF rect;
    QSizeF canvas;
    std::function<void(QPainter&)> paint;
};

using PlacedItem = std::variant<TextItem, LineItem, RectangleItem, PictureItem, DrawingItem>;

// The items of one page, in the order they are painted.
struct Page {
    std::vector<PlacedItem> items;

    template <typename Item> std::vector<const Item*> itemsOf() const
    {
        std::vector<const Item*> found;
        for (const PlacedItem& item : items) {
            if (const Item* typed = std::get_if<Item>(&item))
                found.push_back(typed);
        }
        return found;
    }
};

struct PagedDocument {
    QSizeF pageSize = letterPageSize();
    std::vector<Page> pages;
};

} // namespace pelmor::reports
