// The web view's pages, asked through their routes as the server asks them:
// every text from a user escaped, the list's filters, order and pages, the
// refusals with their status, the graphs as SVG, what a visitor who has not
// signed in is shown, and the intervals worked out from a survey's vehicles.
#include "PdfText.h"
#include "SurveyFixture.h"
#include "TestSupport.h"
#include "store/SurveyStore.h"
#include "study/Intervals.h"
#include "web/pages/Pages.h"
#include "web/pages/SurveyFigures.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>
#include <QXmlStreamReader>

using namespace pelmor;
using test::row;

namespace {

const QString kMarkup = QStringLiteral("Elm <script>alert(1)</script> & \"Co\" 'x'");

web::Visitor signedVisitor()
{
    web::Visitor visitor;
    visitor.signedIn = true;
    visitor.mayDelete = true;
    visitor.maySend = true;
    return visitor;
}

web::Visitor publicVisitor()
{
    web::Visitor visitor;
    visitor.publicOnly = true;
    return visitor;
}

} // namespace

class TstWebPages : public QObject {
    Q_OBJECT

private:
    test::TempProgramFolder m_folder;
    std::vector<web::Route> m_routes = web::pages::pageRoutes();
    qint64 m_markupSite = 0;

    // Answers `path` ("/surveys/L001?sort=vehicles") as the route whose
    // pattern matches it, on the fixture's database or `database`.
    web::WebResponse get(const QString& address, const web::Visitor& visitor = signedVisitor(),
                         const std::optional<db::Database>& database = std::nullopt)
    {
        const QUrl url(address);
        const QStringList segments = url.path(QUrl::FullyDecoded).split(QLatin1Char('/'));
        for (const web::Route& route : m_routes) {
            const QStringList pattern = route.pattern.split(QLatin1Char('/'));
            if (pattern.size() != segments.size())
                continue;
            QStringList arguments;
            bool matches = true;
            for (qsizetype i = 0; i < pattern.size() && matches; ++i) {
                if (pattern[i].startsWith(QLatin1Char('{')))
                    arguments << segments[i];
                else
                    matches = pattern[i] == segments[i];
            }
            if (!matches)
                continue;
            web::WebRequest request;
            request.method = "GET";
            request.path = url.path(QUrl::FullyDecoded);
            request.query = QUrlQuery(url);
            request.visitor = visitor;
            request.database = database.value_or(m_folder.database());
            // As the server answers: from what was kept when it can.
            if (route.answerFromKept) {
                if (std::optional<web::WebResponse> kept = route.answerFromKept(request, arguments))
                    return *kept;
            }
            return route.answer(request, arguments);
        }
        return {599, "text/plain", "no route", {}};
    }

private Q_SLOTS:
    void initTestCase()
    {
        std::vector<test::Survey> surveys;
        for (int i = 1; i <= 60; ++i) {
            test::Survey survey;
            survey.batchNumber = QStringLiteral("L%1").arg(i, 3, 10, QLatin1Char('0'));
            survey.location = i % 2 ? QStringLiteral("Birch Lane") : QStringLiteral("Ash Road");
            survey.headerFields[QStringLiteral("Zone")] =
                i % 3 == 0 ? QStringLiteral("Residential") : QStringLiteral("School");
            survey.start = QDateTime(QDate(2024, 1, 1).addDays(i - 1), QTime(8, 0), Qt::UTC);
            survey.speeds.assign(size_t(i), 30);
            surveys.push_back(survey);
        }
        test::Survey marked;
        marked.batchNumber = QStringLiteral("M<1>");
        marked.location = kMarkup;
        marked.headerFields[QStringLiteral("Field_Setup")] = QStringLiteral("Officer Krupke");
        marked.start = test::at(QStringLiteral("06/01/25 07:00"));
        marked.durationSeconds = 2 * 24 * 3600;
        for (int i = 0; i < 200; ++i)
            marked.speeds.push_back(20 + i % 25);
        surveys.push_back(marked);
        test::storeSurveys(m_folder.databasePath(), surveys);

        // The marked survey's site, placed on the map.
        const auto store = store::openStore(m_folder.database());
        QVERIFY(get(QStringLiteral("/sites")).status == 200); // places the surveys at their sites
        for (const store::Site& site : store->sites()) {
            if (site.name == kMarkup)
                m_markupSite = site.id;
        }
        QVERIFY(m_markupSite > 0);
        QVERIFY(store->setSiteCoordinates(m_markupSite, 40.1, -75.2));
        store->addName(store::NameList::Agencies, QStringLiteral("Springfield Police"));
    }

    void escapesMarkup_data()
    {
        QTest::addColumn<QString>("address");
        row("survey list", QStringLiteral("/surveys?text=Elm"));
        row("survey page", QStringLiteral("/surveys/M%3C1%3E"));
        row("sites", QStringLiteral("/sites"));
        row("site page", QStringLiteral("/sites/%1").arg(m_markupSite));
        row("priorities", QStringLiteral("/priorities"));
        row("compare", QStringLiteral("/compare?a=M%3C1%3E&b=L001"));
    }
    void escapesMarkup()
    {
        QFETCH(QString, address);
        const web::WebResponse response = get(address);
        QCOMPARE(response.status, 200);
        const QString body = QString::fromUtf8(response.body);
        QVERIFY2(!body.contains(QLatin1String("<script>alert")), qPrintable(address));
        QVERIFY(!body.contains(QLatin1String("<1>")));
        QVERIFY(body.contains(
            QLatin1String("Elm &lt;script&gt;alert(1)&lt;/script&gt; &amp; &quot;Co&quot; &#39;x&#39;")));
        // The map's data block ends where it should and reads back as the name.
        static const QRegularExpression dataBlock(
            QStringLiteral("<script type=\"application/json\" id=\"map-data\">(.*?)</script>"));
        const QRegularExpressionMatch data = dataBlock.match(body);
        if (data.hasMatch()) {
            const QJsonArray sites =
                QJsonDocument::fromJson(data.captured(1).toUtf8())[QLatin1String("sites")].toArray();
            QCOMPARE(sites.size(), 1);
            QVERIFY(sites[0][QLatin1String("title")].toString().startsWith(kMarkup));
        }
    }

    void listPicksRows_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<int>("shown");
        QTest::addColumn<QStringList>("first");
        row("first page in start order", QStringLiteral("text=L0"), 50, QStringList{"L001", "L002", "L003"});
        row("second page", QStringLiteral("text=L0&page=2"), 10, QStringList{"L051", "L052", "L053"});
        row("page past the end shows the last", QStringLiteral("text=L0&page=9"), 10,
            QStringList{"L051", "L052", "L053"});
        row("most vehicles first", QStringLiteral("text=L0&sort=vehicles&order=desc"), 50,
            QStringList{"L060", "L059", "L058"});
        row("latest first", QStringLiteral("text=L0&sort=date&order=desc"), 50,
            QStringList{"L060", "L059", "L058"});
        row("by location, ties in start order", QStringLiteral("text=L0&sort=location"), 50,
            QStringList{"L002", "L004", "L006"});
        row("zone", QStringLiteral("text=L0&zone=residential"), 20, QStringList{"L003", "L006", "L009"});
        row("text in the location", QStringLiteral("text=birch"), 30, QStringList{"L001", "L003", "L005"});
        row("since and until", QStringLiteral("since=01/10/2024&until=01/12/2024"), 3,
            QStringList{"L010", "L011", "L012"});
    }
    void listPicksRows()
    {
        QFETCH(QString, query);
        QFETCH(int, shown);
        QFETCH(QStringList, first);
        const web::WebResponse response = get(QStringLiteral("/surveys?") + query);
        QCOMPARE(response.status, 200);
        static const QRegularExpression batchLink(QStringLiteral("<tr><td><a href=\"/surveys/([^\"]+)\">"));
        QStringList batches;
        for (auto match = batchLink.globalMatch(QString::fromUtf8(response.body)); match.hasNext();)
            batches << match.next().captured(1);
        QCOMPARE(batches.size(), shown);
        QCOMPARE(batches.mid(0, 3), first);
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("told");
        row("unknown survey", QStringLiteral("/surveys/NOPE-1"), 404, QStringLiteral("NOPE-1"));
        row("unknown survey's graph", QStringLiteral("/surveys/NOPE-1/graphs/weekly.svg"), 404,
            QStringLiteral("NOPE-1"));
        row("no such graph", QStringLiteral("/surveys/L001/graphs/pie.svg"), 404, QStringLiteral("pie.svg"));
        row("no such document", QStringLiteral("/surveys/L001/documents/10.pdf"), 404,
            QStringLiteral("10.pdf"));
        row("bad since", QStringLiteral("/surveys?since=13/45/2024"), 400, QStringLiteral("Since"));
        row("bad threshold", QStringLiteral("/surveys/L001?threshold=fast"), 400,
            QStringLiteral("Enforcement threshold"));
        row("bad until", QStringLiteral("/priorities?until=yesterday"), 400, QStringLiteral("Until"));
        row("bad interval", QStringLiteral("/surveys/L001/intervals?by=2h"), 400,
            QStringLiteral("15m, 1h or 1d"));
        row("bad interval start", QStringLiteral("/surveys/L001/intervals?from=1/2"), 400,
            QStringLiteral("From"));
        row("one survey to compare", QStringLiteral("/compare?a=L001"), 400, QStringLiteral("both surveys"));
        row("unknown site", QStringLiteral("/sites/99999"), 404, QStringLiteral("99999"));
        row("map file Leaflet does not ask for", QStringLiteral("/static/leaflet/leaflet.esm.js"), 404,
            QStringLiteral("leaflet.esm.js"));
    }
    void refusals()
    {
        QFETCH(QString, address);
        QFETCH(int, status);
        QFETCH(QString, told);
        const web::WebResponse response = get(address);
        QCOMPARE(response.status, status);
        QVERIFY2(QString::fromUtf8(response.body).contains(web::pages::escaped(told)),
                 response.body.constData());
    }

    void graphsAreSvg_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("leastShapes");
        QTest::addColumn<QString>("text"); // a text drawn, as it reads
        const QString site = QString::number(m_markupSite);
        // The survey has vehicles at 25 speeds: each bar is a filled and an
        // outlined rectangle, or three faces in 3-D.
        row("speed distribution", QStringLiteral("/surveys/M%3C1%3E/graphs/speed-distribution.svg"), 50,
            QStringLiteral("Batch #M<1>"));
        row("traffic volume", QStringLiteral("/surveys/M%3C1%3E/graphs/traffic-volume.svg"), 75,
            QStringLiteral("Measured Vehicle Speed"));
        row("speed curve", QStringLiteral("/surveys/M%3C1%3E/graphs/speed-curve.svg"), 3,
            QStringLiteral("Posted limit"));
        row("week", QStringLiteral("/surveys/M%3C1%3E/graphs/weekly.svg"), 7 * 24, QStringLiteral("Mon"));
        row("site speeds", QStringLiteral("/sites/%1/graphs/speed.svg").arg(site), 3, kMarkup);
        row("intervals", QStringLiteral("/surveys/M%3C1%3E/intervals/graph.svg?by=1h"), 4,
            QStringLiteral("Posted limit 35 mph"));
        row("site intervals", QStringLiteral("/sites/%1/intervals/graph.svg?by=15m").arg(site), 4,
            QStringLiteral("Posted limit 35 mph"));
    }
    void graphsAreSvg()
    {
        QFETCH(QString, address);
        QFETCH(int, leastShapes);
        QFETCH(QString, text);
        const web::WebResponse response = get(address);
        QCOMPARE(response.status, 200);
        QCOMPARE(response.contentType, QByteArray("image/svg+xml"));
        QXmlStreamReader reader(response.body);
        int shapes = 0;
        QString texts;
        while (!reader.atEnd()) {
            if (reader.readNext() == QXmlStreamReader::Characters)
                texts += reader.text().toString() + QLatin1Char('\n');
            else if (reader.tokenType() == QXmlStreamReader::StartElement &&
                     (reader.name() == QLatin1String("path") || reader.name() == QLatin1String("rect") ||
                      reader.name() == QLatin1String("polyline")))
                ++shapes;
        }
        QVERIFY2(!reader.hasError(),
                 qPrintable(reader.errorString() + QLatin1String(" in: ") +
                            response.body.split('\n').value(int(reader.lineNumber()) - 1)));
        QVERIFY2(shapes >= leastShapes, qPrintable(QString::number(shapes)));
        QVERIFY2(texts.contains(text), qPrintable(texts));
    }

    void publicVisitorSeesNoNames_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("asPublic");
        QTest::addColumn<bool>("showsNames");
        row("survey page, signed in", QStringLiteral("/surveys/M%3C1%3E"), false, true);
        row("survey page, public", QStringLiteral("/surveys/M%3C1%3E"), true, false);
        row("sites, public", QStringLiteral("/sites"), true, false);
        row("site, public", QStringLiteral("/sites/%1").arg(m_markupSite), true, false);
        row("priorities, public", QStringLiteral("/priorities"), true, false);
    }
    void publicVisitorSeesNoNames()
    {
        QFETCH(QString, address);
        QFETCH(bool, asPublic);
        QFETCH(bool, showsNames);
        const QString body =
            QString::fromUtf8(get(address, asPublic ? publicVisitor() : signedVisitor()).body);
        QCOMPARE(body.contains(QLatin1String("Krupke")), showsNames);
        QCOMPARE(body.contains(QLatin1String("Field Setup")), showsNames);
        QCOMPARE(body.contains(QLatin1String("vehicles.csv")), showsNames);
        QCOMPARE(body.contains(QLatin1String("<a href=\"/surveys\">Surveys</a>")), !asPublic);
    }

    void documents_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("asPublic");
        row("survey summary", QStringLiteral("/surveys/M%3C1%3E/documents/3.pdf"), false);
        row("comparison", QStringLiteral("/compare/document.pdf?a=L001&b=L002"), false);
        row("site history", QStringLiteral("/sites/%1/document.pdf").arg(m_markupSite), false);
        row("site history, public", QStringLiteral("/sites/%1/document.pdf").arg(m_markupSite), true);
        row("ranking, public", QStringLiteral("/priorities/document.pdf?zone=School"), true);
    }
    void documents()
    {
        QFETCH(QString, address);
        QFETCH(bool, asPublic);
        const web::WebResponse response = get(address, asPublic ? publicVisitor() : signedVisitor());
        QCOMPARE(response.status, 200);
        QCOMPARE(response.contentType, QByteArray("application/pdf"));
        const QString path = m_folder.filePath(QStringLiteral("document.pdf"));
        QVERIFY(test::writeFile(path, response.body));
        QString text;
        for (const test::PdfPage& page : test::readPdf(path))
            text += page.text();
        QVERIFY(!text.isEmpty());
        // The agency's name is printed for those signed in alone.
        QCOMPARE(text.contains(QLatin1String("Springfield Police")), !asPublic);
    }

    void staticFiles_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<QByteArray>("holds");
        row("style", QStringLiteral("/static/style.css"), QByteArray("text/css; charset=utf-8"),
            QByteArray("@media print"));
        row("sorting", QStringLiteral("/static/sort.js"), QByteArray("text/javascript; charset=utf-8"),
            QByteArray("sortable"));
        row("map", QStringLiteral("/static/map.js"), QByteArray("text/javascript; charset=utf-8"),
            QByteArray("map-data"));
        row("leaflet", QStringLiteral("/static/leaflet/leaflet.js"),
            QByteArray("text/javascript; charset=utf-8"), QByteArray("L"));
        row("leaflet image", QStringLiteral("/static/leaflet/images/layers.png"), QByteArray("image/png"),
            QByteArray("PNG"));
    }
    void staticFiles()
    {
        QFETCH(QString, address);
        QFETCH(QByteArray, type);
        QFETCH(QByteArray, holds);
        const web::WebResponse response = get(address, web::Visitor());
        QCOMPARE(response.status, 200);
        QCOMPARE(response.contentType, type);
        QVERIFY(response.body.contains(holds));
    }

    // What a survey's page and graphs show from kept figures is what they
    // show worked out anew: for another threshold, and for a survey deleted
    // and stored again under its batch number with other vehicles.
    void keptFiguresAreFresh()
    {
        test::TempProgramFolder folder;
        const auto storeWithSpeeds = [&folder](int lowest) {
            test::Survey survey;
            survey.batchNumber = QStringLiteral("K1");
            survey.start = test::at(QStringLiteral("03/02/26 07:00"));
            survey.durationSeconds = 24 * 3600;
            for (int i = 0; i < 300; ++i)
                survey.speeds.push_back(lowest + i % 30);
            // Stored statistics follow the vehicles, as an import stores them.
            survey.percentile85 = QString::number(lowest + 25);
            test::storeSurvey(folder.databasePath(), survey);
        };
        const auto answers = [this, &folder] {
            QList<QByteArray> bodies;
            for (const char* graph : {"speed-distribution", "traffic-volume", "speed-curve", "weekly"})
                bodies << get(QStringLiteral("/surveys/K1/graphs/%1.svg").arg(QLatin1String(graph)),
                              signedVisitor(), folder.database())
                              .body;
            for (const char* page : {"/surveys/K1", "/surveys/K1?threshold=40"})
                bodies << get(QLatin1String(page), signedVisitor(), folder.database()).body;
            return bodies;
        };
        storeWithSpeeds(20);
        const QList<QByteArray> fresh = answers();
        web::pages::keepSurveyFiguresFor(60000);
        QCOMPARE(answers(), fresh); // worked out and kept
        QCOMPARE(answers(), fresh); // from what was kept
        store::openStore(folder.database())->deleteSurvey(QStringLiteral("K1"));
        storeWithSpeeds(25);
        const QList<QByteArray> kept = answers();
        web::pages::keepSurveyFiguresFor(0);
        QCOMPARE(kept, answers());
        QVERIFY(kept != fresh);
    }

    void intervals_data()
    {
        QTest::addColumn<QString>("by");
        QTest::addColumn<QString>("from");
        QTest::addColumn<int>("intervals");
        // Each interval with vehicles: start|vehicles|50th|85th|98th|highest|over the limit.
        QTest::addColumn<QStringList>("figures");
        row("hours", QStringLiteral("1h"), QString(), 24,
            QStringList{"05/03 08:00|4|36|50|50|50|3", "05/03 10:00|1|20|20|20|20|0",
                        "05/04 07:00|1|45|45|45|45|1"});
        row("quarter hours", QStringLiteral("15m"), QString(), 95,
            QStringList{"05/03 08:00|2|30|40|40|40|1", "05/03 08:15|1|36|36|36|36|1",
                        "05/03 08:45|1|50|50|50|50|1", "05/03 10:15|1|20|20|20|20|0",
                        "05/04 07:30|1|45|45|45|45|1"});
        row("days", QStringLiteral("1d"), QString(), 2,
            QStringList{"05/03 00:00|5|36|50|50|50|3", "05/04 00:00|1|45|45|45|45|1"});
        row("from the second day", QStringLiteral("1d"), QStringLiteral("05/04/2002"), 1,
            QStringList{"05/04 00:00|1|45|45|45|45|1"});
    }
    void intervals()
    {
        QFETCH(QString, by);
        QFETCH(QString, from);
        QFETCH(int, intervals);
        QFETCH(QStringList, figures);
        test::TempProgramFolder folder;
        test::Survey survey;
        survey.start = test::at(QStringLiteral("05/03/02 08:00"));
        survey.passAt({"05/03/02 08:05", "05/03/02 08:10", "05/03/02 08:20", "05/03/02 08:50",
                       "05/03/02 10:15", "05/04/02 07:30"});
        survey.speeds = {30, 40, 36, 50, 20, 45};
        test::storeSurvey(folder.databasePath(), survey);

        study::IntervalRequest request;
        request.length = *study::intervalLengthOf(by);
        request.limit = 35;
        if (!from.isEmpty())
            request.from = QDate::fromString(from, QStringLiteral("MM/dd/yyyy"));
        const auto store = store::openStore(folder.database());
        const std::vector<study::IntervalFigures> result =
            study::intervalFigures(*store, {survey.batchNumber}, request);
        QCOMPARE(int(result.size()), intervals);
        QStringList shown;
        for (const study::IntervalFigures& interval : result) {
            if (interval.vehicles > 0)
                shown << QStringList{interval.start.toString(QStringLiteral("MM/dd HH:mm")),
                                     QString::number(interval.vehicles),
                                     QString::number(interval.median),
                                     QString::number(interval.percentile85),
                                     QString::number(interval.percentile98),
                                     QString::number(interval.highest),
                                     QString::number(interval.overLimit)}
                             .join(QLatin1Char('|'));
        }
        QCOMPARE(shown, figures);
    }
};

QTEST_MAIN(TstWebPages)
#include "tst_webpages.moc"
