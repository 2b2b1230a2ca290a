#include "import/LogParser.h"
#include "loggen/LogWriter.h"
#include "loggen/SurveyProfile.h"
#include "loggen/VehicleGenerator.h"

#include <QRandomGenerator>
#include <QTest>

using namespace pelmor;

namespace {

using Triples = QList<QByteArrayList>;

struct Parsed {
    bool ok;
    Triples triples;
};

Parsed parse(const QByteArray& buffer)
{
    Parsed parsed{false, {}};
    const auto result =
        import::parseVehicles(buffer, [&](QByteArrayView o, QByteArrayView d, QByteArrayView s) {
            parsed.triples.append({o.toByteArray(), d.toByteArray(), s.toByteArray()});
        });
    parsed.ok = result.ok;
    if (result.vehicles != parsed.triples.size())
        parsed.ok = false;
    return parsed;
}

Triples triples(const char* fields)
{
    Triples all;
    const QByteArrayList parts = QByteArray(fields).split(' ');
    for (const QByteArray& part : parts) {
        if (!part.isEmpty())
            all.append(part.split('/'));
    }
    return all;
}

} // namespace

class TstLogParser : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void endMarking_data();
    void endMarking();
    void headerFields_data();
    void headerFields();
    void lineBreaks_data();
    void lineBreaks();
    void vehicleRecords_data();
    void vehicleRecords();
    void generatedLogsSurvive_data();
    void generatedLogsSurvive();
    void anyInputIsSafe();
};

void TstLogParser::endMarking_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<QByteArray>("marked"); // empty: the walk fails and nothing changes
    const QByteArray filler(250, 'x');
    QTest::newRow("four nearest the end, last character excluded")
        << filler + "1,+,30,2,-,31,3,?,32,4,+,33,5,+" << filler + "1,*,30,2,*,31,3,*,32,4,*,33,5,+";
    QTest::newRow("a star in the last 200 leaves two") << filler + "*,1,+,30,2,-,31,3,?,32,4,+,33,\r\n"
                                                       << filler + "*,1,+,30,2,-,31,3,*,32,4,*,33,\r\n";
    QTest::newRow("star just outside the last 200 counts for nothing")
        << "*" + QByteArray(199, 'x') + "+,-,?,+,-,\r\n"
        << "*" + QByteArray(199, 'x') + "+,*,*,*,*,\r\n";
    QTest::newRow("long buffer with few directions marks what it finds") << "+" + filler + "-,\r\n"
                                                                         << "+" + filler + "*,\r\n";
    QTest::newRow("short buffer, enough directions") << QByteArray("+-?+-,") << QByteArray("+****,");
    QTest::newRow("short buffer, fourth mark at position 1") << QByteArray("+-?+,") << QByteArray("****,");
    QTest::newRow("too short for the walk") << QByteArray("-?+,") << QByteArray();
    QTest::newRow("a few vehicles only") << QByteArray("12,+,3,") << QByteArray();
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TstLogParser::endMarking()
{
    QFETCH(QByteArray, buffer);
    QFETCH(QByteArray, marked);
    QByteArray text = buffer;
    QCOMPARE(import::markEnd(text), !marked.isEmpty());
    QCOMPARE(text, marked.isEmpty() ? buffer : marked);
}

void TstLogParser::headerFields_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<QStringList>("fields"); // code, month, day, year, hour, minute, posted, cutoff, alarm
    loggen::LogHeader header;
    header.startDate = QDate(2002, 5, 3);
    header.startHour = 8;
    header.startMinute = 12;
    const QByteArray log = loggen::writeLog(header, {{0, '+', 30}});
    QTest::newRow("generated log") << log
                                   << QStringList{"00415", "05", "03", "02", "08", "12", "035", "080", "045"};
    QTest::newRow("header ends inside the cut-off")
        << log.left(112) << QStringList{"00415", "05", "03", "02", "08", "12", "035", "08", ""};
    QTest::newRow("header ends before the posted speed")
        << log.left(60) << QStringList{"00415", "05", "03", "02", "08", "12", "", "", ""};
    QTest::newRow("nothing but a location code")
        << QByteArray("SITE CODE 123") << QStringList{"123", "", "", "", "", "", "", "", ""};
}

void TstLogParser::headerFields()
{
    QFETCH(QByteArray, buffer);
    QFETCH(QStringList, fields);
    const import::HeaderFields h = import::readHeaderFields(buffer);
    QCOMPARE((QStringList{h.locationCode, h.month, h.day, h.year, h.hour, h.minute, h.postedSpeed, h.cutoff,
                          h.alarm}),
             fields);
    QCOMPARE(h.dateStem(), fields[1] + fields[2] + fields[3]);
    QCOMPARE(h.startDate(), fields[1] + "/" + fields[2] + "/20" + fields[3]);
    QCOMPARE(h.startTime(), fields[4] + ":" + fields[5]);
    QCOMPARE(h.batchNumber(QStringLiteral("C")), fields[1] + fields[2] + fields[3] + "-C");
}

void TstLogParser::lineBreaks_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("joined");
    QTest::newRow("pairs") << QByteArray("1,+,\r\n30,\r\n") << QByteArray("1,+,30,");
    QTest::newRow("pair brought together by a removal") << QByteArray("a\r\r\n\nb") << QByteArray("ab");
    QTest::newRow("deeply nested") << QByteArray("a\r\r\r\n\n\nb") << QByteArray("ab");
    QTest::newRow("lone characters stay") << QByteArray("a\rb\nc\n\r") << QByteArray("a\rb\nc\n\r");
}

void TstLogParser::lineBreaks()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, joined);
    QCOMPARE(import::removeLineBreaks(text), joined);
}

void TstLogParser::vehicleRecords_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<Triples>("expected");
    // The header, its "*" and five characters are dropped; the data ends
    // five characters after the third "+" before the end mark.
    QTest::newRow("walk back three plus signs")
        << QByteArray("HDR*DATA:1,+,30,2,-,31,3,+,32,4,+,33,5,+,34,6,*,35,") << true
        << triples("1/+/30 2/-/31 3/+/32");
    QTest::newRow("three-digit speed kept whole")
        << QByteArray("HDR*DATA:1,+,130,2,+,31,3,+,32,4,*,") << true << triples("1/+/130");
    QTest::newRow("line breaks anywhere")
        << QByteArray("HDR\r\n*\r\nDATA:\r\n1,+,3\r\n0,2,-,31,\r\n++++****\r\n") << true
        << triples("1/+/30 2/-/31");
    QTest::newRow("empty offset and direction fields skipped")
        << QByteArray("H*DATA:,1,,+,30,,2,-,31,+++**") << true << triples("1/+/30 2/-/31");
    QTest::newRow("empty speed completes the triple")
        << QByteArray("H*DATA:1,+,,2,-,31,+++**") << true
        << QList<QByteArrayList>{{"1", "+", ""}, {"2", "-", "31"}};
    QTest::newRow("blanks taken as they are")
        << QByteArray("H*DATA: 1, +,30 ,+++**") << true << QList<QByteArrayList>{{" 1", " +", "30 "}};
    QTest::newRow("last vehicle without its comma is lost")
        << QByteArray("H*DATA:1,+,30,2,+,31+++*") << true << triples("1/+/30");
    QTest::newRow("no vehicle at all") << QByteArray("H*DATA:+++**") << true << Triples();
    QTest::newRow("too few plus signs before the mark")
        << QByteArray("H*DATA:1,-,30,2,+,31,3,*,32,") << false << Triples();
    QTest::newRow("no end mark after the header")
        << QByteArray("H*DATA:1,+,30,2,+,31,3,+,32,") << false << Triples();
    QTest::newRow("no star at all") << QByteArray("1,+,30,2,+,31,3,+,32,") << false << Triples();
    QTest::newRow("empty") << QByteArray() << false << Triples();
}

void TstLogParser::vehicleRecords()
{
    QFETCH(QByteArray, buffer);
    QFETCH(bool, ok);
    QFETCH(Triples, expected);
    const QByteArray before = buffer;
    const Parsed parsed = parse(buffer);
    QCOMPARE(parsed.ok, ok);
    QCOMPARE(parsed.triples, expected);
    QCOMPARE(buffer, before);
}

void TstLogParser::generatedLogsSurvive_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<int>("perLine");
    QTest::addColumn<int>("rounds"); // processing rounds: a download, then saved and loaded again
    QTest::newRow("MPH, processed once") << "MPH" << 8 << 1;
    QTest::newRow("KPH, one per line") << "KPH" << 1 << 1;
    QTest::newRow("saved and loaded twice") << "MPH" << 5 << 3;
}

void TstLogParser::generatedLogsSurvive()
{
    QFETCH(QString, unit);
    QFETCH(int, perLine);
    QFETCH(int, rounds);
    loggen::LogHeader header;
    header.startDate = QDate(2026, 5, 3);
    header.unit = unit;
    loggen::SurveyProfile profile = loggen::profileForHeader(header);
    profile.durationSeconds = 2 * 24 * 3600;
    profile.seed = 77;
    const std::vector<loggen::Vehicle> vehicles = loggen::generateVehicles(profile);
    QVERIFY(vehicles.size() > 1000);
    QByteArray buffer = loggen::writeLog(header, vehicles, {perLine, true});
    for (int round = 0; round < rounds; ++round) {
        QVERIFY(import::markEnd(buffer));
        if (round + 1 < rounds)
            buffer += "\r\n"; // saved with its line break, then loaded
    }
    std::vector<loggen::Vehicle> read;
    const auto result =
        import::parseVehicles(buffer, [&](QByteArrayView o, QByteArrayView d, QByteArrayView s) {
            read.push_back({o.toLongLong(), d.front(), s.toInt()});
        });
    QVERIFY(result.ok);
    QVERIFY(read == vehicles);
}

void TstLogParser::anyInputIsSafe()
{
    // Random texts of the log's own characters, and generated logs cut off at
    // random places: nothing may crash, a failed walk changes nothing, and
    // every vehicle reported is handed over.
    QRandomGenerator random(20261205);
    loggen::LogHeader header;
    header.startDate = QDate(2026, 5, 3);
    const QByteArray log =
        loggen::writeLog(header, loggen::generateVehicles(loggen::profileForHeader(header)));
    static const char alphabet[] = "0123456789,+-?*\r\n ";
    for (int i = 0; i < 4000; ++i) {
        QByteArray buffer;
        if (i % 2 == 0) {
            const int length = random.bounded(600);
            for (int k = 0; k < length; ++k)
                buffer += alphabet[random.bounded(int(sizeof alphabet - 1))];
        } else {
            buffer = log.left(random.bounded(int(log.size())));
        }
        const QByteArray before = buffer;
        const bool marked = import::markEnd(buffer);
        if (!marked)
            QCOMPARE(buffer, before);
        QCOMPARE(buffer.size(), before.size());
        import::readHeaderFields(buffer);
        const Parsed parsed = parse(buffer);
        if (parsed.ok) {
            for (const QByteArrayList& triple : parsed.triples)
                QCOMPARE(triple.size(), 3);
        }
    }
}

QTEST_GUILESS_MAIN(TstLogParser)
#include "tst_logparser.moc"
