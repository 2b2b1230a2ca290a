// The seven documents of the hardest survey an officer brings back, made as
// the sign and the program make it, written as PDF and read back: every
// text where it was placed, no word crosses the edge of a box or a rule, or
// stands on another word, and the words of a line stay in one box; the graph keeps its bars out from under
// the legend and draws the 85th percentile marker past its last label.
#include "DocumentFixture.h"
#include "ImportFixture.h"
#include "PdfText.h"
#include "TestSupport.h"
#include "charts/BarGraphRenderer.h"
#include "loggen/SurveyProfile.h"
#include "loggen/VehicleGenerator.h"
#include "reports/Documents.h"
#include "reports/PagePainter.h"
#include "session/DocumentPreparation.h"
#include "stats/SpeedDistributionGraph.h"
#include "store/SurveyStore.h"

#include <QTemporaryDir>
#include <QTest>

using namespace pelmor;
using reports::ReportChoice;

namespace {

const QString kLocation = QStringLiteral("Highway 12 northbound, 400 m past the Millbrook Road overpass");

// A word as read back from the PDF, in twips: the box of its letters, from
// the top of the capitals to the bottom of the descenders. pdftotext boxes
// a word from the font's full ascent to its full descent (1.117 em for the
// fonts of the pages), which lines at single spacing overlap.
struct Word {
    QString text;
    QRectF ink;
};

std::vector<Word> inkWords(const test::PdfPage& page)
{
    std::vector<Word> words;
    for (const test::PdfWord& word : page.words) {
        const QRectF box(word.box.topLeft() * reports::kTwipsPerPoint,
                         word.box.size() * reports::kTwipsPerPoint);
        const double em = box.height() / 1.117;
        words.push_back({word.text, QRectF(QPointF(box.left(), box.top() + 0.175 * em),
                                           QPointF(box.right(), box.bottom() - 0.05 * em))});
    }
    return words;
}

// The innermost outlined box of a page that holds a point; none for none.
const reports::RectangleItem* boxAt(const reports::Page& page, const QPointF& point)
{
    const reports::RectangleItem* found = nullptr;
    for (const reports::RectangleItem* box : page.itemsOf<reports::RectangleItem>()) {
        if (box->lineWidth > 0 && box->rect.contains(point) && (!found || found->rect.contains(box->rect)))
            found = box;
    }
    return found;
}

// What is out of place on the pages read back: a page not of the paper's
// size, a text's first word not where the text was placed, a word on
// another word, across the edge of a box or on a rule, off the paper's
// quarter-inch border, or in another box than the word before it on its
// line.
QStringList wordFaults(const reports::PagedDocument& document, const std::vector<test::PdfPage>& pdf)
{
    QStringList faults;
    if (pdf.size() != document.pages.size())
        return {QStringLiteral("%1 pages read back, %2 written").arg(pdf.size()).arg(document.pages.size())};
    const QRectF paper = QRectF(QPointF(), document.pageSize).adjusted(360, 360, -360, -360);
    for (size_t index = 0; index < pdf.size(); ++index) {
        const reports::Page& page = document.pages[index];
        const std::vector<QRectF> rules = test::rulesOf(page);
        const std::vector<Word> words = inkWords(pdf[index]);
        const QString where = QStringLiteral("page %1: ").arg(index + 1);
        if (pdf[index].size != document.pageSize / reports::kTwipsPerPoint)
            faults << where + QStringLiteral("not of the paper's size");
        for (const reports::TextItem* item : page.itemsOf<reports::TextItem>()) {
            const QString first = item->text.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
            const QRectF ink = test::inkBox(*item);
            if (!first.isEmpty() && std::none_of(pdf[index].words.begin(), pdf[index].words.end(),
                                                 [&](const test::PdfWord& word) {
                                                     return word.text == first &&
                                                            qAbs(word.box.left() - ink.left() / 20) < 1 &&
                                                            qAbs(word.box.top() - item->top / 20) < 1.5;
                                                 }))
                faults << where + item->text + QStringLiteral(" not read back where placed");
        }
        for (size_t i = 0; i < words.size(); ++i) {
            const Word& word = words[i];
            const QString name = where + word.text;
            if (!paper.contains(word.ink))
                faults << name + QStringLiteral(" off the paper");
            for (size_t j = i + 1; j < words.size(); ++j) {
                if (word.ink.intersects(words[j].ink))
                    faults << name + QStringLiteral(" on ") + words[j].text;
            }
            for (const QRectF& rule : rules) {
                if (rule.intersects(word.ink))
                    faults << name + QStringLiteral(" on a rule or the edge of a box");
            }
            // The next word of the same line (less than two blanks away)
            // stands in the same box.
            if (i + 1 < words.size()) {
                const Word& next = words[i + 1];
                const double em = word.ink.height() / 0.892;
                if (qAbs(next.ink.bottom() - word.ink.bottom()) < 1 && next.ink.left() > word.ink.right() &&
                    next.ink.left() - word.ink.right() < 0.6 * em &&
                    boxAt(page, word.ink.center()) != boxAt(page, next.ink.center()))
                    faults << name + QStringLiteral(" and ") + next.text + QStringLiteral(" in two boxes");
            }
        }
    }
    return faults;
}

} // namespace

class TstWorstCases : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A million vehicles over 31 days on a highway posted at 120 km/h
    // where traffic runs at 128, at a place with a 60-character name: made
    // by the sign's log generator and stored by the import.
    void initTestCase()
    {
        loggen::LogHeader header;
        header.startDate = QDate(2026, 3, 1);
        header.startHour = 0;
        header.startMinute = 0;
        header.unit = QStringLiteral("KPH");
        header.postedLimit = "120";
        header.alarm = "130";
        header.cutoff = "199";
        loggen::SurveyProfile profile = loggen::profileForHeader(header);
        profile.durationSeconds = 31 * 24 * 3600;
        profile.exactCount = 1000000;
        profile.meanSpeed = 128.6;
        profile.speedSd = 12;
        const QByteArray log = test::processedLog(header, loggen::generateVehicles(profile));
        test::ImportMessages messages;
        const import::ImportResult imported = import::importSurvey(
            m_folder.database(),
            test::completeHeader(log, QStringLiteral("location=") + kLocation +
                                          QStringLiteral("; zone=Interstate; direction=South West")),
            log, messages);
        QVERIFY2(imported.outcome == import::ImportResult::Outcome::Imported,
                 qPrintable(messages.messages.join('\n')));

        m_inputs.today = QDate(2026, 4, 2);
        m_inputs.survey = store::openStore(m_folder.database())->loadSurvey(QStringLiteral("030126-A"));
        m_inputs.agency = QStringLiteral("Springfield County Sheriff's Office Traffic Division");
        m_inputs.officer = QStringLiteral("Officer Bartholomew Fitzgerald-Smith");
        reports::FieldSheetInputs& sheet = m_inputs.fieldSheet;
        sheet.batchNumber = QStringLiteral("030126-A");
        sheet.startTime = QStringLiteral("00:00");
        sheet.startDate = QStringLiteral("03/01/26");
        sheet.postedLimit = QStringLiteral("120");
        sheet.highSpeedAlarm = QStringLiteral("130");
        sheet.highSpeedCutOff = QStringLiteral("199");
        sheet.location = kLocation;
        sheet.direction = QStringLiteral("South West");
        sheet.zone = QStringLiteral("Construction");
        sheet.performedBy = m_inputs.officer;
        // The longest texts a month-long survey stores.
        const survey::SummaryRow& summary = m_inputs.survey.summary;
        QCOMPARE(summary.totalVehicles, QStringLiteral("1000000"));
        QCOMPARE(summary.totalTime, QStringLiteral("30 Days, 23 Hrs, 59 Min"));
        QVERIFY(summary.totalApproach.size() == 6 && summary.totalReceding.size() == 6);
        QVERIFY2(summary.percentile85.toInt() > 150, qPrintable(summary.percentile85));
    }

    // Each document with the texts that stand whole on one line of it: a
    // line set at a fixed place does not wrap a word onto the next.
    void wordsStayInTheirBoxes_data()
    {
        QTest::addColumn<int>("document");
        QTest::addColumn<QStringList>("oneLine");
        const survey::SummaryRow& summary = m_inputs.survey.summary;
        const QString location = QStringLiteral("Survey Location: ") + kLocation;
        const QStringList statistics = {location, QStringLiteral("Total Survey Time: ") + summary.totalTime,
                                        QStringLiteral("Approaching: %1 Receeding: %2")
                                            .arg(summary.totalApproach, summary.totalReceding)};
        const auto add = [](ReportChoice choice, const QStringList& lines) {
            QTest::newRow(qPrintable(reports::documentName(choice))) << int(choice) << lines;
        };
        add(ReportChoice::PercentileReport, statistics);
        add(ReportChoice::TrafficFlowGraphReport, statistics);
        add(ReportChoice::SurveySummaryReport,
            {location, QStringLiteral("Survey Issued By: ") + m_inputs.officer});
        add(ReportChoice::QuarterHourFlowReport, {location});
        add(ReportChoice::HourlyFlowReport, {location});
        add(ReportChoice::FilledFieldSheet,
            {QStringLiteral("Field setup performed by: ") + m_inputs.officer});
        add(ReportChoice::BlankFieldSheet, {QStringLiteral("Trailer ID: _________ Batch #: __________")});
    }
    void wordsStayInTheirBoxes()
    {
        QFETCH(int, document);
        QFETCH(QStringList, oneLine);
        const reports::DocumentKind* kind = reports::documentKind(ReportChoice(document));
        reports::DocumentInputs inputs = prepared(*kind);
        const reports::PagedDocument built = *kind->build(inputs);
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("document.pdf"));
        QCOMPARE(reports::writePdf(built, file, QStringLiteral("test")), QString());
        const std::vector<test::PdfPage> pdf = test::readPdf(file);
        const QStringList faults = wordFaults(built, pdf);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.mid(0, 20).join(QLatin1Char('\n'))));
        const QRectF paper(QPointF(), built.pageSize);
        for (const QString& line : oneLine)
            QVERIFY2(test::hasLine(pdf.at(0), paper, line), qPrintable(line));
    }

    // On the 85th percentile report no bar of the graph reaches under the
    // legend, and the bar of the 85th percentile speed, beyond the last
    // labelled speed, is drawn.
    void legendHidesNoBar_data()
    {
        QTest::addColumn<bool>("blackAndWhite");
        test::row("colour printer", false);
        test::row("laser", true);
    }
    void legendHidesNoBar()
    {
        QFETCH(bool, blackAndWhite);
        const charts::GraphResult result =
            stats::speedDistributionGraph(m_folder.database(), m_inputs.survey, blackAndWhite);
        QVERIFY(result.drawn());
        const charts::BarGraph& graph = *result.graph;
        const charts::BarGraphRenderer renderer(graph);
        reports::DocumentInputs inputs = m_inputs;
        inputs.blackAndWhite = blackAndWhite;
        inputs.graph = renderer.render();
        const reports::Page page =
            reports::documentKind(ReportChoice::PercentileReport)->build(inputs)->pages.at(0);
        const reports::PictureItem* picture = page.itemsOf<reports::PictureItem>().at(0);
        const reports::RectangleItem* legend = nullptr;
        for (const reports::RectangleItem* box : page.itemsOf<reports::RectangleItem>()) {
            if (box->fill == QColor(Qt::white))
                legend = box;
        }
        QVERIFY(legend);
        // The picture stands in its rectangle scaled with its proportions
        // kept, centred.
        const QSizeF image = inputs.graph.size();
        const QSizeF fitted = image.scaled(picture->rect.size(), Qt::KeepAspectRatio);
        const QPointF origin = picture->rect.center() - QPointF(fitted.width() / 2, fitted.height() / 2);
        const double scale = fitted.width() / image.width();
        const auto onPage = [&](const QRect& r) {
            return QRectF(origin + QPointF(r.x(), r.y()) * scale, QSizeF(r.width(), r.height()) * scale);
        };
        double tallest = 0;
        double tallestUnder = 0;
        for (size_t i = 0; i < graph.points.size(); ++i) {
            const QRectF bar = onPage(renderer.barFront(i));
            QVERIFY2(!bar.intersects(legend->rect), qPrintable(QStringLiteral("speed %1").arg(i + 1)));
            tallest = std::max(tallest, graph.points[i].value);
            if (bar.right() > legend->rect.left())
                tallestUnder = std::max(tallestUnder, graph.points[i].value);
        }
        // The tallest bar of the survey stands under the legend.
        QCOMPARE(tallestUnder, tallest);
        const int percentile = m_inputs.survey.summary.percentile85.toInt();
        QCOMPARE(int(graph.points.size()), percentile);
        // The 85th percentile's bar: light red, dark grey for a laser.
        QCOMPARE(graph.points.back().paletteIndex, blackAndWhite ? 8 : 12);
        QVERIFY(!renderer.barFront(graph.points.size() - 1).isEmpty());
        QVERIFY(graph.showsLabel(149) && !graph.showsLabel(graph.points.size() - 1));
    }

private:
    // The inputs of a document after what the report window does first:
    // the graph drawn, the breakdown walked.
    reports::DocumentInputs prepared(const reports::DocumentKind& kind)
    {
        reports::DocumentInputs inputs = m_inputs;
        const session::Preparation preparation =
            session::prepareDocumentInputs(kind, m_folder.database(), inputs, {}, {});
        if (!preparation.ok())
            qWarning("%s", qPrintable(preparation.refusal));
        return inputs;
    }

    test::TempProgramFolder m_folder;
    reports::DocumentInputs m_inputs;
};

QTEST_MAIN(TstWorstCases)
#include "tst_worstcases.moc"
