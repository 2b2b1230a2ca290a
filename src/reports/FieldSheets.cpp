#include "reports/FieldSheets.h"

#include "reports/PageStyle.h"

namespace pelmor::reports {

std::optional<PagedDocument> buildFieldSheet(const DocumentInputs& inputs, bool filledIn)
{
    const FieldSheetInputs& set = inputs.fieldSheet;
    // The filled-in text, or the blank text when the sheet is blank.
    const auto either = [filledIn](const QString& filled, const char* blank) {
        return filledIn ? filled : QLatin1String(blank).toString();
    };
    // A field's label and value; a field left empty keeps the blank sheet's
    // line to write on, on the filled-in sheet too.
    const auto field = [filledIn](const char* label, const QString& value, const char* blank) {
        return filledIn && !value.trimmed().isEmpty() ? QLatin1String(label) + value
                                                      : QLatin1String(blank).toString();
    };
    // The underscores of a blank text, for a value printed inside a line.
    const auto valueOr = [](const QString& value, const char* blank) {
        return value.trimmed().isEmpty() ? QLatin1String(blank).toString() : value;
    };

    PageComposer page(inputs.pageSize);
    applyDefaultStyle(page);
    if (!startPageLayout(page))
        return std::nullopt;
    drawPageFrame(page, 2016,
                  {{1008, 2390.4, 6480, 2793.6},
                   {1008, 2880, 5760, 3888},
                   {1008, 4032, 5760, 7056},
                   {6048, 2880, 11088, 3888},
                   {6048, 4032, 11088, 7056}});

    page.setCurrentY(0);
    page.setLineSpacing(150);
    printTitleBlock(page, QStringLiteral("Remote Data Collection Site Setup"), inputs.agency);
    page.setLineSpacing(150);
    page.setTextAlignment(Alignment::Left);

    // Left half.
    page.setColumns(1);
    page.setFontName(QStringLiteral("Arial"));
    page.setFontSize(12);
    page.setBold(false);
    // The lines of the left half stay inside their boxes, set smaller where
    // they are too long; the location may take two lines of its box.
    page.setTextLimit(6480 - kTextInset);
    printBlock(page, 2448,
               {either(QStringLiteral("  Trailer ID: ") + valueOr(set.trailerId, "_________") +
                           QStringLiteral("            ") + QStringLiteral("Batch #: ") +
                           valueOr(set.batchNumber, "__________"),
                       "  Trailer ID: _________        Batch #: __________")});
    page.setTextLimit(5760 - kTextInset);
    printBlock(
        page, 3009.6,
        {field("Survey Start Time: ", set.startTime, "Survey Start Time: _______________"),
         QStringLiteral(" Survey End Time: _______________ "), QString(),
         either(QStringLiteral("Survey Location Code: ____________"), "Survey Location Code: __________"),
         QStringLiteral("Survey Location: ")});
    printFitting(page, field("", set.location, "_____________________________"), 2);
    printFitting(page, field("Direction of travel: ", set.direction, "Direction of travel: __________"));
    printFitting(page, field("Survey Zone: ", set.zone, "Survey Zone: ______________"));
    page.setTextLimit(0);
    printBlock(page, 7488, {QStringLiteral("Field notes / setup diagram...")});
    printBlock(page, 13680,
               {field("Field setup performed by: ", set.performedBy,
                      "Field setup performed by: ____________________________")});

    // Right half.
    page.setColumns(2);
    page.columnBreak();
    page.setFontSize(12);
    page.setLineSpacing(150);
    printBlock(page, 3009.6,
               {field("Survey Start Date: ", set.startDate, "Survey Start Date: _____________"),
                QStringLiteral("Survey End Date: ______________")});
    page.setCurrentY(4176);
    printUnderlined(page, QStringLiteral("Radar/Sign Settings"));
    printBlock(
        page, page.currentY(),
        {field("         Posted Speed Limit: ", set.postedLimit, "         Posted Speed Limit: ______"),
         field("  Minumum Radar Setting: ", set.minimumRadar, "  Minumum Radar Setting: ______"),
         field("  Maximum Radar Setting: ", set.maximumRadar, "  Maximum Radar Setting: ______"),
         field("           High Speed Alarm: ", set.highSpeedAlarm, "           High Speed Alarm: ______"),
         field("         High Speed Cut Off: ", set.highSpeedCutOff, "         High Speed Cut Off: ______")});

    page.setColumns(1);
    setPrintedLine(page, inputs.today);
    return page.endDocument();
}

} // namespace pelmor::reports
