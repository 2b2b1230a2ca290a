#pragma once

// The inputs the document tests build from: a survey whose every value is
// a text of its own, the agency and officer, the speed study of a week of
// its traffic and the rest of the inputs; and ways to read the placed items
// of a page and of its PDF file.
#include "PdfText.h"
#include "StudyFixture.h"
#include "reports/DocumentInputs.h"
#include "reports/Documents.h"
#include "reports/PageFonts.h"
#include "reports/PagePainter.h"

#include <QDate>
#include <QImage>
#include <QTest>

#include <algorithm>
#include <map>

namespace pelmor::test {

// The speed study of a week of traffic stored as survey 050302-A, limit
// 35, from Sunday 05/03/26 07:00 to a last vehicle at 06:59 a week later: a
// vehicle every six minutes at 24 to 46 (mph or km/h), both ways in turn
// and every twentieth of unknown direction. No warning applies. Worked out
// once for each unit.
inline const study::SpeedStudy& weekStudy(const QString& unit)
{
    static std::map<QString, study::SpeedStudy> studies;
    const auto known = studies.find(unit);
    if (known != studies.end())
        return known->second;
    Survey survey;
    survey.batchNumber = QStringLiteral("050302-A");
    survey.unit = unit;
    survey.start = at(QStringLiteral("05/03/26 07:00"));
    for (qint64 minute = 0; minute < 7 * 24 * 60; minute += 6)
        survey.offsets.push_back(minute * 60);
    survey.offsets.push_back((7 * 24 * 60 - 1) * 60);
    for (size_t i = 0; i < survey.offsets.size(); ++i) {
        survey.speeds.push_back(24 + int(i * 7 % 23));
        survey.directions.append(i % 20 == 19 ? '?' : i % 2 ? '-' : '+');
    }
    survey.durationSeconds = survey.offsets.back();
    TempProgramFolder folder;
    storeSurvey(folder.databasePath(), survey);
    std::optional<study::SpeedStudy> study = studyOf(folder, survey.batchNumber);
    if (!study)
        qFatal("no study of the week");
    return studies.emplace(unit, std::move(*study)).first->second;
}

inline reports::DocumentInputs documentInputs(const QString& unit = QStringLiteral("MPH"))
{
    reports::DocumentInputs inputs;
    survey::SurveyRecord& record = inputs.survey;
    record.batchNumber = QStringLiteral("050302-A");
    record.hasHeader = record.hasSummary = true;
    survey::HeaderRow& header = record.header;
    header.batchNumber = record.batchNumber;
    header.location = QStringLiteral("Main St");
    header.zone = QStringLiteral("School");
    header.direction = QStringLiteral("North");
    header.violationAlert = QStringLiteral("035");
    header.alarmSpeed = QStringLiteral("045");
    header.blankSpeed = QStringLiteral("080");
    header.radarMode = unit;
    using Summary = survey::SummaryRow;
    const std::pair<QString Summary::*, const char*> summary[] = {
        {&Summary::numberUnder, "983"},    {&Summary::numberOver, "1964"},
        {&Summary::averageOver, "41.5"},   {&Summary::minSpeed, "7"},
        {&Summary::maxSpeed, "67"},        {&Summary::averageSpeed, "38.0"},
        {&Summary::paceLow, "33.0"},       {&Summary::paceHigh, "43.0"},
        {&Summary::paceTotal, "1822"},     {&Summary::pacePercent, "62 %"},
        {&Summary::percentile85, "45"},    {&Summary::totalVehicles, "2947"},
        {&Summary::totalApproach, "1403"}, {&Summary::totalReceding, "1413"},
        {&Summary::totalUnknown, "131"},   {&Summary::startTime, "07:00 AM"},
        {&Summary::stopTime, "06:57 AM"},  {&Summary::startDate, "05/03/26"},
        {&Summary::stopDate, "05/05/26"},  {&Summary::totalTime, "1 Days, 23 Hrs, 57 Min"}};
    for (const auto& [field, text] : summary)
        record.summary.*field = QString::fromLatin1(text);
    record.summary.overBands = {"962", "679", "243", "62", "15", "3"};
    inputs.agency = QStringLiteral("Springfield Police Department");
    inputs.officer = QStringLiteral("Sgt. Jane Miller");
    inputs.breakdown = {
        {"05/03/26", "08:00 - 08:15", "3", ""}, {"", "--------------------", "----", "3"}, {"", "", "", "3"}};
    using Sheet = reports::FieldSheetInputs;
    const std::pair<QString Sheet::*, const char*> sheet[] = {
        {&Sheet::batchNumber, "050302-A"}, {&Sheet::startTime, "07:00"},    {&Sheet::startDate, "05/03/26"},
        {&Sheet::location, "Main St"},     {&Sheet::direction, "North"},    {&Sheet::zone, "School"},
        {&Sheet::postedLimit, "035"},      {&Sheet::highSpeedAlarm, "045"}, {&Sheet::highSpeedCutOff, "080"},
        {&Sheet::performedBy, "J. Miller"}};
    for (const auto& [field, text] : sheet)
        inputs.fieldSheet.*field = QString::fromLatin1(text);
    inputs.graph = QImage(1920, 1200, QImage::Format_RGB32);
    inputs.graph.fill(Qt::white);
    inputs.study = weekStudy(unit);
    inputs.today = QDate(2002, 4, 2);
    return inputs;
}

inline reports::PagedDocument buildDocument(reports::ReportChoice choice,
                                            const reports::DocumentInputs& inputs = documentInputs())
{
    return *reports::documentKind(choice)->build(inputs);
}

inline const reports::TextItem* findText(const reports::Page& page, const QString& text)
{
    for (const reports::TextItem* item : page.itemsOf<reports::TextItem>()) {
        if (item->text == text)
            return item;
    }
    return nullptr;
}

inline QStringList textsOf(const reports::Page& page)
{
    QStringList texts;
    for (const reports::TextItem* item : page.itemsOf<reports::TextItem>())
        texts << item->text;
    return texts;
}

// The texts of a page from the first one equal to `from` on, in order.
inline QStringList textsFrom(const reports::Page& page, const QString& from)
{
    const QStringList texts = textsOf(page);
    const qsizetype start = texts.indexOf(from);
    return start < 0 ? QStringList() : texts.mid(start);
}

// The words of texts, in order, as one line.
inline QString wordsOf(const QStringList& texts)
{
    return texts.join(QLatin1Char(' ')).simplified();
}

// Whether the words of each of `parts` stand in `words` in this order,
// others between them allowed.
inline bool inOrder(const QString& words, const QStringList& parts)
{
    qsizetype at = 0;
    for (const QString& part : parts) {
        const QString wanted = part.simplified();
        at = words.indexOf(wanted, at);
        if (at < 0)
            return false;
        at += wanted.size();
    }
    return true;
}

// Where the letters of a text stand: from its first to its last letter,
// from the top of the capitals to the bottom of the descenders.
inline QRectF inkBox(const reports::TextItem& item)
{
    const reports::TextMeasure measure(item.font);
    const QString text = item.text;
    qsizetype first = 0;
    while (first < text.size() && text.at(first) == QLatin1Char(' '))
        ++first;
    qsizetype end = text.size();
    while (end > first && text.at(end - 1) == QLatin1Char(' '))
        --end;
    const double em = item.font.pointSize * reports::kTwipsPerPoint;
    return QRectF(QPointF(item.x + measure.width(text.left(first)), item.baseline - 0.73 * em),
                  QPointF(item.x + measure.width(text.left(end)), item.baseline + 0.21 * em));
}

// The texts that stand inside a rectangle of the page.
inline QStringList textsIn(const reports::Page& page, const QRectF& area)
{
    QStringList texts;
    for (const reports::TextItem* item : page.itemsOf<reports::TextItem>()) {
        if (area.contains(inkBox(*item)))
            texts << item->text;
    }
    return texts;
}

// The rules of a page: its lines and the edges of its rectangles, as
// strips as wide as their pens.
inline std::vector<QRectF> rulesOf(const reports::Page& page)
{
    std::vector<QRectF> rules;
    const auto add = [&rules](QPointF from, QPointF to, double width) {
        if (width > 0)
            rules.push_back(
                QRectF(from, to).normalized().adjusted(-width / 2, -width / 2, width / 2, width / 2));
    };
    for (const reports::LineItem* line : page.itemsOf<reports::LineItem>())
        add(line->from, line->to, line->width);
    for (const reports::RectangleItem* box : page.itemsOf<reports::RectangleItem>()) {
        const QRectF r = box->rect;
        add(r.topLeft(), r.topRight(), box->lineWidth);
        add(r.bottomLeft(), r.bottomRight(), box->lineWidth);
        add(r.topLeft(), r.bottomLeft(), box->lineWidth);
        add(r.topRight(), r.bottomRight(), box->lineWidth);
    }
    return rules;
}

// The body of every framed page lies between the frame's rules, 0.7 to 7.7
// inches across and from 1.3 to 10 inches down.
inline const QRectF kFrame(QPointF(1008, 1872), QPointF(11088, 14400));

// What is out of place on the pages of a document: a text off the paper's
// quarter-inch border, on another text, on a rule (but for the texts of
// `mayCrossRules`) or on a drawing; on framed pages also a box, a drawing
// or a text of the body outside the frame. Empty when all is in place.
inline QStringList layoutFaults(const reports::PagedDocument& document, bool framed = true,
                                const QStringList& mayCrossRules = {})
{
    QStringList faults;
    const QRectF paper = QRectF(QPointF(), document.pageSize).adjusted(360, 360, -360, -360);
    for (size_t index = 0; index < document.pages.size(); ++index) {
        const reports::Page& page = document.pages[index];
        const QString where = QStringLiteral("page %1: ").arg(index + 1);
        const auto texts = page.itemsOf<reports::TextItem>();
        const auto drawings = page.itemsOf<reports::DrawingItem>();
        const std::vector<QRectF> rules = rulesOf(page);
        for (const reports::RectangleItem* box : page.itemsOf<reports::RectangleItem>()) {
            if (framed && !kFrame.adjusted(-1, -1, 1, 1).contains(box->rect))
                faults << where + QStringLiteral("a box outside the frame");
        }
        for (const reports::DrawingItem* drawing : drawings) {
            if (framed && !kFrame.contains(drawing->rect))
                faults << where + QStringLiteral("a drawing outside the frame");
        }
        for (size_t i = 0; i < texts.size(); ++i) {
            const QRectF ink = inkBox(*texts[i]);
            if (ink.width() <= 0)
                continue;
            const QString text = where + texts[i]->text;
            const bool body = framed && texts[i]->top > kFrame.top() && texts[i]->top < kFrame.bottom();
            if (!(body ? kFrame.contains(ink) : paper.contains(ink)))
                faults << text + QStringLiteral(": outside");
            for (size_t j = i + 1; j < texts.size(); ++j) {
                if (ink.intersects(inkBox(*texts[j])))
                    faults << text + QStringLiteral(": on ") + texts[j]->text;
            }
            if (!mayCrossRules.contains(texts[i]->text) &&
                std::any_of(rules.begin(), rules.end(),
                            [&ink](const QRectF& rule) { return ink.intersects(rule); }))
                faults << text + QStringLiteral(": on a rule");
            for (const reports::DrawingItem* drawing : drawings) {
                if (ink.intersects(drawing->rect))
                    faults << text + QStringLiteral(": on a drawing");
            }
        }
    }
    return faults;
}

// The first rectangle of the page that spans the frame filled (in `fill`
// when one is given): the shaded box of the warnings, or of the note that
// there are none.
inline const reports::RectangleItem* noticeBox(const reports::Page& page, std::optional<QColor> fill = {})
{
    for (const reports::RectangleItem* box : page.itemsOf<reports::RectangleItem>()) {
        if (box->fill && (!fill || box->fill == fill) && box->rect.left() == kFrame.left() &&
            box->rect.right() == kFrame.right())
            return box;
    }
    return nullptr;
}

// The pages whose colours do not suit the printer mode, each drawn at 40
// dpi: for a black-and-white printer a page with any colour that is no
// grey, in colour a page without colours.
inline QStringList printerModeFaults(const reports::PagedDocument& document, bool blackAndWhite)
{
    QStringList faults;
    for (int page = 0; page < int(document.pages.size()); ++page) {
        const QImage image = reports::renderPage(document, page, 40);
        qint64 coloured = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                coloured += std::max({pixel.red(), pixel.green(), pixel.blue()}) -
                                        std::min({pixel.red(), pixel.green(), pixel.blue()}) >
                                    24
                                ? 1
                                : 0;
            }
        }
        const double share = double(coloured) / double(image.width() * image.height());
        if (blackAndWhite ? share > 0 : share <= 0.0005)
            faults << QStringLiteral("page %1: %2 of the page in colour").arg(page + 1).arg(share);
    }
    return faults;
}

} // namespace pelmor::test
