#include "SurveyFixture.h"
#include "TestSupport.h"
#include "import/LogParser.h"
#include "import/SurveyImport.h"
#include "import/UnitPreference.h"
#include "loggen/LogWriter.h"
#include "store/SurveyStore.h"
#include "web/forms/Forms.h"

#include <QRegularExpression>
#include <QSettings>
#include <QTest>

#include <memory>

using namespace pelmor;
using test::row;
using Fields = std::map<QString, QString>;

namespace {

// A saved download as the sign sends it: `count` vehicles a minute apart.
QByteArray savedDownload(const QString& unit = QStringLiteral("MPH"), int count = 50,
                         const QDate& date = QDate(2026, 5, 3))
{
    std::vector<loggen::Vehicle> vehicles;
    for (int i = 0; i < count; ++i)
        vehicles.push_back({i * 60, i % 3 ? '+' : '-', 25 + i % 15});
    loggen::LogHeader header;
    header.startDate = date;
    header.unit = unit;
    return loggen::writeLog(header, vehicles) + "\r\n";
}

// The text inside the element with id `id`; null when there is none.
QString elementText(const QString& html, const QString& id)
{
    const auto match =
        QRegularExpression(QStringLiteral("id=\"%1\"[^>]*>(.*?)</").arg(QRegularExpression::escape(id)))
            .match(html);
    return match.hasMatch() ? match.captured(1) : QString();
}

// The value attribute of the input named `name`; null when there is none.
QString inputValue(const QString& html, const QString& name)
{
    const auto match = QRegularExpression(QStringLiteral("<input[^>]*name=\"%1\"[^>]*value=\"([^\"]*)\"")
                                              .arg(QRegularExpression::escape(name)))
                           .match(html);
    return match.hasMatch() ? match.captured(1) : QString();
}

QByteArray header(const web::WebResponse& response, const QByteArray& name)
{
    for (const auto& [key, value] : response.headers) {
        if (key == name)
            return value;
    }
    return QByteArray();
}

// A location as hostile as anyone may type, and how every page must show it.
const QString kHostile = QStringLiteral("Elm <b>\"St\"</b> & 'Co'");
const QString kHostileShown = QStringLiteral("Elm &lt;b&gt;&quot;St&quot;&lt;/b&gt; &amp; &#39;Co&#39;");

} // namespace

class TestWebForms : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TempProgramFolder> m_folder;
    std::vector<web::Route> m_routes;

    web::WebResponse answer(const QByteArray& method, const QString& pattern, web::WebRequest request,
                            const QStringList& arguments = {})
    {
        request.method = method;
        request.database = m_folder->database();
        if (request.visitor.formToken.isEmpty())
            request.visitor = {true, QString(), true, true, false, QStringLiteral("token-1"), false};
        for (const web::Route& route : m_routes) {
            if (route.method == method && route.pattern == pattern)
                return route.answer(request, arguments);
        }
        qFatal("no route %s %s", method.constData(), qPrintable(pattern));
    }

    // Sends the form with the download (none: the one kept before).
    web::WebResponse send(Fields fields, const QByteArray& download)
    {
        web::WebRequest request;
        request.form = std::move(fields);
        if (!download.isNull())
            request.files[QStringLiteral("file")] = {QStringLiteral("survey.rsx"), download};
        return answer("POST", QStringLiteral("/surveys/new"), std::move(request));
    }

    // Batch numbers stored, with their vehicles: "050326-A 50".
    QStringList stored()
    {
        QStringList surveys;
        for (const auto& survey : store::openStore(m_folder->database())->listSurveys())
            surveys << QStringLiteral("%1 %2").arg(survey.header.batchNumber).arg(survey.vehicles);
        return surveys;
    }

    static Fields goodFields()
    {
        return {{QStringLiteral("location"), kHostile},
                {QStringLiteral("direction"), QStringLiteral("North")},
                {QStringLiteral("zone"), QStringLiteral("Parks & Rec")}};
    }

private Q_SLOTS:
    void initTestCase() { m_routes = web::forms::formRoutes(); }
    void init() { m_folder = std::make_unique<test::TempProgramFolder>(); }

    void goodDownloadIsStoredWhole()
    {
        const QString html = QString::fromUtf8(answer("GET", QStringLiteral("/surveys/new"), {}).body);
        QCOMPARE(inputValue(html, QStringLiteral("token")), QStringLiteral("token-1"));
        QVERIFY(!html.contains(QLatin1String("password")));

        const auto response = send(goodFields(), savedDownload(QStringLiteral("MPH"), 123));
        QCOMPARE(response.status, 303);
        QCOMPARE(header(response, "Location"), QByteArray("/surveys/050326-A"));
        QCOMPARE(stored(), QStringList{QStringLiteral("050326-A 123")});
        const auto record = store::openStore(m_folder->database())->loadSurvey(QStringLiteral("050326-A"));
        QCOMPARE(record.header.location, kHostile);
        QCOMPARE(record.header.radarMode, QStringLiteral("MPH"));
        // Many people send through one program: no one's unit is kept in its settings.
        QVERIFY(!QSettings().contains(QLatin1String(import::kUnitSetting)));
    }

    void refusedFieldIsNamedAndValuesKept_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("refused");
        QTest::addColumn<QString>("corrected");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("status");
        row("no location", QStringLiteral("location"), QString(), QStringLiteral("Elm"),
            import::messages::kNoLocation, 422);
        row("no direction", QStringLiteral("direction"), QString(), QStringLiteral("South"),
            import::messages::kNoDirection, 422);
        row("zone not listed", QStringLiteral("zone"), QStringLiteral("Moon <base>"),
            QStringLiteral("School"),
            QStringLiteral("The zone &quot;Moon &lt;base&gt;&quot; is not one of the list."), 422);
        row("trailer", QStringLiteral("trailer"), QStringLiteral("AA"), QStringLiteral("C"),
            QStringLiteral("The trailer ID must be one capital letter A to Z"), 422);
        row("posted limit", QStringLiteral("posted"), QStringLiteral("3x5"), QStringLiteral("040"),
            QStringLiteral("The posted limit &quot;3x5&quot; is not a whole number."), 422);
        row("start date", QStringLiteral("startDate"), QStringLiteral("13/45/2026"),
            QStringLiteral("05/04/2026"),
            QStringLiteral("The start date &quot;13/45/2026&quot; is not a date."), 422);
        row("start time", QStringLiteral("startTime"), QStringLiteral("25:70"), QStringLiteral("9:15"),
            QStringLiteral("The start time &quot;25:70&quot; is not a time of day."), 422);
        row("batch control", QStringLiteral("batch"), QStringLiteral("050326\x01-A"),
            QStringLiteral("050326-Z"),
            QStringLiteral("The batch number holds a control character (U+0001)."), 422);
        row("unit", QStringLiteral("unit"), QStringLiteral("mph"), QStringLiteral("MPH"),
            QStringLiteral("The unit &quot;mph&quot; is neither MPH nor KPH."), 422);
    }
    void refusedFieldIsNamedAndValuesKept()
    {
        QFETCH(QString, field);
        QFETCH(QString, refused);
        QFETCH(QString, corrected);
        QFETCH(QString, message);
        QFETCH(int, status);
        Fields fields = goodFields();
        fields[QStringLiteral("posted")] = QStringLiteral("045");
        fields[field] = refused;
        const auto response = send(fields, savedDownload());
        QCOMPARE(response.status, status);
        const QString html = QString::fromUtf8(response.body);
        QVERIFY2(elementText(html, field + QStringLiteral("-message")).contains(message), qPrintable(html));
        // Each other field shows no message, and what was typed is kept, escaped.
        QCOMPARE(html.count(QLatin1String("class=\"field-message\"")), 1);
        QVERIFY(!html.contains(QLatin1String("<b>")));
        if (field != QLatin1String("location"))
            QCOMPARE(inputValue(html, QStringLiteral("location")), kHostileShown);
        if (field != QLatin1String("posted"))
            QCOMPARE(inputValue(html, QStringLiteral("posted")), QStringLiteral("045"));
        QVERIFY(stored().isEmpty());

        // The download is kept for this session alone: another may not use
        // it, and the corrected form goes through without sending it again.
        const QString kept = inputValue(html, QStringLiteral("download"));
        QVERIFY(!kept.isEmpty());
        fields[field] = corrected;
        fields[QStringLiteral("download")] = kept;
        web::WebRequest other;
        other.form = fields;
        other.visitor = {true, QString(), true, true, false, QStringLiteral("token-2"), false};
        QCOMPARE(answer("POST", QStringLiteral("/surveys/new"), other).status, 400);
        const auto again = send(fields, QByteArray());
        QVERIFY2(again.status == 303, again.body.constData());
        QCOMPARE(stored().size(), 1);
    }

    void sameDownloadTwiceNamesTheFirst()
    {
        const QByteArray download = savedDownload();
        QCOMPARE(send(goodFields(), download).status, 303);
        Fields fields = goodFields();
        fields[QStringLiteral("trailer")] = QStringLiteral("B");
        const auto response = send(fields, download);
        QCOMPARE(response.status, 409);
        QCOMPARE(elementText(QString::fromUtf8(response.body), QStringLiteral("file-message")),
                 import::messages::alreadyStored(QStringLiteral("050326-A")));
        // The same batch number for another download is refused beside the batch number.
        const auto sameBatch = send(goodFields(), savedDownload(QStringLiteral("MPH"), 7));
        QCOMPARE(sameBatch.status, 409);
        QVERIFY(elementText(QString::fromUtf8(sameBatch.body), QStringLiteral("batch-message"))
                    .startsWith(QLatin1String("Duplicate Batch Number found.")));
        QCOMPARE(stored(), QStringList{QStringLiteral("050326-A 50")});
    }

    void badFileStoresNothing_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("field");
        const QByteArray good = savedDownload(QStringLiteral("MPH"), 400);
        const QByteArray garbage = QByteArray("PK\x03\x04 not a log, 12,+,44,\r\n").repeated(40);
        QByteArray processed = good;
        import::markEnd(processed);
        row("empty", QByteArray(""), 400, QStringLiteral("file"));
        row("no file", QByteArray(), 400, QStringLiteral("file"));
        row("header alone", good.left(300), 422, QStringLiteral("file"));
        row("cut in the vehicles", good.left(good.size() * 3 / 5), 422, QStringLiteral("file"));
        row("cut in the closing line", good.left(good.size() - 8), 422, QStringLiteral("file"));
        row("garbage", garbage, 422, QStringLiteral("file"));
        row("garbage closed", garbage + "++++++++++++\r\n", 422, QStringLiteral("unit"));
        row("processed before", processed, 303, QString());
    }
    void badFileStoresNothing()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, status);
        QFETCH(QString, field);
        const auto response = send(goodFields(), content);
        QCOMPARE(response.status, status);
        QCOMPARE(stored().size(), status == 303 ? 1 : 0);
        if (!field.isEmpty())
            QVERIFY2(
                !elementText(QString::fromUtf8(response.body), field + QStringLiteral("-message")).isEmpty(),
                response.body.constData());
    }

    void unitQuestionIsAChoice_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<int>("status");
        row("the unit asked about", QStringLiteral("MPH"), 303);
        row("the unit the download states", QStringLiteral("KPH"), 303);
    }
    void unitQuestionIsAChoice()
    {
        QFETCH(QString, chosen);
        QFETCH(int, status);
        Fields fields = goodFields();
        fields[QStringLiteral("unit")] = QStringLiteral("MPH");
        const auto asked = send(fields, savedDownload(QStringLiteral("KPH")));
        QCOMPARE(asked.status, 422);
        const QString html = QString::fromUtf8(asked.body);
        QVERIFY(html.contains(QLatin1String("type=\"radio\" name=\"unit\" value=\"KPH\"")));
        const QString question = inputValue(html, QStringLiteral("unitQuestion"));
        QVERIFY(question.contains(QLatin1String("states its speeds in KPH")));
        QVERIFY(stored().isEmpty());

        fields[QStringLiteral("unit")] = chosen;
        fields[QStringLiteral("unitQuestion")] = question;
        fields[QStringLiteral("download")] = inputValue(html, QStringLiteral("download"));
        QCOMPARE(send(fields, QByteArray()).status, status);
        QCOMPARE(
            store::openStore(m_folder->database())->loadSurvey(QStringLiteral("050326-A")).header.radarMode,
            chosen);
    }

    void deletePageAsksNoFirst_data()
    {
        QTest::addColumn<QString>("batch");
        QTest::addColumn<bool>("mayDelete");
        QTest::addColumn<int>("status");
        row("asks", QStringLiteral("050302-A"), true, 200);
        row("not allowed", QStringLiteral("050302-A"), false, 403);
        row("not stored", QStringLiteral("050302-Q"), true, 404);
    }
    void deletePageAsksNoFirst()
    {
        QFETCH(QString, batch);
        QFETCH(bool, mayDelete);
        QFETCH(int, status);
        test::Survey survey;
        survey.location = kHostile;
        survey.speeds = std::vector<int>(37, 40);
        test::storeSurvey(m_folder->databasePath(), survey);
        web::WebRequest request;
        request.visitor = {true,  QStringLiteral("officer"), mayDelete, true,
                           false, QStringLiteral("t"),       true};
        const auto response = answer("GET", QStringLiteral("/surveys/{batch}/delete"), request, {batch});
        QCOMPARE(response.status, status);
        const QString html = QString::fromUtf8(response.body);
        QCOMPARE(html.contains(QLatin1String("<form")), status == 200);
        if (status != 200)
            return;
        QVERIFY(html.contains(kHostileShown));
        QVERIFY(html.contains(QLatin1String("<td>37</td>")));
        const qsizetype no = html.indexOf(QLatin1String("value=\"no\" autofocus>No</button>"));
        const qsizetype yes = html.indexOf(QLatin1String("name=\"confirm\" value=\"yes\">Yes</button>"));
        QVERIFY(no > 0 && yes > no);
        QCOMPARE(html.count(QLatin1String("autofocus")), 1);
    }

    void deleteAnswer_data()
    {
        QTest::addColumn<QString>("batch");
        QTest::addColumn<QString>("confirm");
        QTest::addColumn<QByteArray>("location");
        QTest::addColumn<bool>("kept");
        row("yes", QStringLiteral("050302-A"), QStringLiteral("yes"), QByteArray("/surveys?deleted=050302-A"),
            false);
        row("yes to an odd name", QStringLiteral("05 03/02&B"), QStringLiteral("yes"),
            QByteArray("/surveys?deleted=05%2003%2F02%26B"), false);
        row("no", QStringLiteral("050302-A"), QStringLiteral("no"), QByteArray("/surveys/050302-A"), true);
        row("no answer", QStringLiteral("05 03/02&B"), QString(), QByteArray("/surveys/05%2003%2F02%26B"),
            true);
        row("Yes in capitals", QStringLiteral("050302-A"), QStringLiteral("YES"),
            QByteArray("/surveys/050302-A"), true);
    }
    void deleteAnswer()
    {
        QFETCH(QString, batch);
        QFETCH(QString, confirm);
        QFETCH(QByteArray, location);
        QFETCH(bool, kept);
        test::Survey survey;
        survey.batchNumber = batch;
        survey.speeds = {30, 31};
        test::Survey other;
        other.batchNumber = QStringLiteral("050302-C");
        other.speeds = {30};
        test::storeSurveys(m_folder->databasePath(), {survey, other});
        web::WebRequest request;
        if (!confirm.isNull())
            request.form[QStringLiteral("confirm")] = confirm;
        const auto response = answer("POST", QStringLiteral("/surveys/{batch}/delete"), request, {batch});
        QCOMPARE(response.status, 303);
        QCOMPARE(header(response, "Location"), location);
        QStringList expected{QStringLiteral("050302-C 1")};
        if (kept)
            expected.prepend(batch + QStringLiteral(" 2"));
        QStringList now = stored();
        now.sort();
        expected.sort();
        QCOMPARE(now, expected);
    }
};

QTEST_GUILESS_MAIN(TestWebForms)
#include "tst_webforms.moc"
