#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

namespace pelmor::charts {

// One cell of a heat map: its value chooses the colour, its text stands in
// it. A cell without a value is white; a cell not observed at all is grey
// and shows no text.
struct HeatCell {
    HeatCell() = default;
    HeatCell(bool observed, std::optional<double> value, QString text, QString shortText = QString())
        : observed(observed)
        , value(value)
        , text(std::move(text))
        , shortText(std::move(shortText))
    {
    }

    bool observed = false;
    std::optional<double> value;
    QString text;
    // A shorter form of the text ("4.5k" for 4,470), shown when the text
    // does not fit the cells; empty when the text has none.
    QString shortText;
};

// A grid of coloured cells: rows down, columns across, with a colour scale
// from 0 to scaleMaximum explained beside it.
struct HeatMap {
    QStringList rowLabels;
    QStringList columnLabels;
    std::vector<std::vector<HeatCell>> cells; // [row][column]
    double scaleMaximum = 100;
    QString scaleSuffix; // after each value of the colour scale, e.g. " %"
    QString scaleTitle;
    QString notObservedText; // the grey cell's meaning in the key
    QString title;
    QString note; // under the grid, over as many lines as it takes
    // Added to the note when the cells show their texts' short forms, and
    // when they are too small for either form, which are then left out.
    QString shortTextsNote;
    QString textsLeftOutNote;
    // Shades of grey from white to black instead of colours, and the cells
    // not observed hatched, for a black-and-white printer.
    bool greyScale = false;
};

} // namespace pelmor::charts
