#pragma once

#include "SurveyFixture.h"
#include "TestSupport.h"
#include "reports/DocumentInputs.h"
#include "reports/Documents.h"
#include "reports/PageFonts.h"

#include <QDate>
#include <QImage>

#include <map>

// The inputs the document tests build from: a survey whose every value is
// a text of its own, the agency and officer, the speed study of a week of
// its traffic, and the rest of the inputs; and ways to read the placed
// items of a page.
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
    study::StudyResult result = study::runStudy(
        folder.database(), study::StudyInputs::of(survey::loadSurvey(folder.database(), survey.batchNumber)));
    if (!result.ok())
        qFatal("no study of the week: %s", qPrintable(result.message));
    return studies.emplace(unit, std::move(*result.study)).first->second;
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
    survey::SummaryRow& summary = record.summary;
    summary.numberUnder = QStringLiteral("983");
    summary.numberOver = QStringLiteral("1964");
    summary.averageOver = QStringLiteral("41.5");
    summary.minSpeed = QStringLiteral("7");
    summary.maxSpeed = QStringLiteral("67");
    summary.averageSpeed = QStringLiteral("38.0");
    summary.paceLow = QStringLiteral("33.0");
    summary.paceHigh = QStringLiteral("43.0");
    summary.paceTotal = QStringLiteral("1822");
    summary.pacePercent = QStringLiteral("62 %");
    summary.percentile85 = QStringLiteral("45");
    summary.totalVehicles = QStringLiteral("2947");
    summary.totalApproach = QStringLiteral("1403");
    summary.totalReceding = QStringLiteral("1413");
    summary.totalUnknown = QStringLiteral("131");
    summary.startTime = QStringLiteral("07:00 AM");
    summary.stopTime = QStringLiteral("06:57 AM");
    summary.totalTime = QStringLiteral("1 Days, 23 Hrs, 57 Min");
    summary.startDate = QStringLiteral("05/03/26");
    summary.stopDate = QStringLiteral("05/05/26");
    summary.overBands = {QStringLiteral("962"), QStringLiteral("679"), QStringLiteral("243"),
                         QStringLiteral("62"),  QStringLiteral("15"),  QStringLiteral("3")};
    inputs.agency = QStringLiteral("Springfield Police Department");
    inputs.officer = QStringLiteral("Sgt. Jane Miller");
    inputs.breakdown = {
        {"05/03/26", "08:00 - 08:15", "3", ""}, {"", "--------------------", "----", "3"}, {"", "", "", "3"}};
    reports::FieldSheetInputs& sheet = inputs.fieldSheet;
    sheet.batchNumber = QStringLiteral("050302-A");
    sheet.startTime = QStringLiteral("07:00");
    sheet.startDate = QStringLiteral("05/03/26");
    sheet.location = QStringLiteral("Main St");
    sheet.direction = QStringLiteral("North");
    sheet.zone = QStringLiteral("School");
    sheet.postedLimit = QStringLiteral("035");
    sheet.highSpeedAlarm = QStringLiteral("045");
    sheet.highSpeedCutOff = QStringLiteral("080");
    sheet.performedBy = QStringLiteral("J. Miller");
    QImage graph(1920, 1200, QImage::Format_RGB32);
    graph.fill(Qt::white);
    inputs.graph = graph;
    inputs.study = weekStudy(unit);
    inputs.today = QDate(2002, 4, 2);
    return inputs;
}

inline reports::PagedDocument buildDocument(reports::ReportChoice choice,
                                            const reports::DocumentInputs& inputs)
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
    const double left = item.x + measure.width(text.left(first));
    return QRectF(QPointF(left, item.baseline - 0.73 * em),
                  QPointF(item.x + measure.width(text.left(end)), item.baseline + 0.21 * em));
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

} // namespace pelmor::test
