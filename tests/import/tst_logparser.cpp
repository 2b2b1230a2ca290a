#include "TestSupport.h"
#include "import/DownloadVehicles.h"
#include "import/LogParser.h"
#include "loggen/LogWriter.h"
#include "loggen/SurveyProfile.h"
#include "loggen/VehicleGenerator.h"

#include <QTest>

using namespace pelmor;

namespace {

// The vehicles read from a buffer, "offset/direction/speed" apart by ";"
// ("bad" for a number that is none), or "refused" when the walk fails.
QString parse(const QByteArray& buffer)
{
    const import::DownloadVehicles download(buffer);
    QStringList triples;
    for (const import::DownloadVehicle& v : download.vehicles())
        triples << QStringLiteral("%1/%2/%3")
                       .arg(v.badOffset ? QStringLiteral("bad") : QString::number(v.offset),
                            QString::fromLatin1(download.direction(v)),
                            v.badSpeed ? QStringLiteral("bad") : QString::number(v.speed));
    // The refusal kept for the first vehicle that has a number that is none.
    const QString refusal = download.offsetRefusal() + download.speedRefusal();
    return download.ended() ? triples.join(';') + (refusal.isEmpty() ? "" : " " + refusal) : "refused";
}

} // namespace

class TstLogParser : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void endMarking_data()
    {
        QTest::addColumn<QByteArray>("buffer");
        QTest::addColumn<QByteArray>("marked");
        QTest::addColumn<bool>("ok"); // false: the walk ran out; the marks it made stay
        const QByteArray filler(250, 'x');
        test::row("four nearest the end, last character excluded", filler + "1,+,30,2,-,31,3,?,32,4,+,33,5,+",
                  filler + "1,*,30,2,*,31,3,*,32,4,*,33,5,+", true);
        test::row("a star in the last 200 leaves two", filler + "*,1,+,30,2,-,31,3,?,32,4,+,33,\r\n",
                  filler + "*,1,+,30,2,-,31,3,*,32,4,*,33,\r\n", true);
        test::row("star just outside the last 200 counts for nothing",
                  "*" + QByteArray(199, 'x') + "+,-,?,+,-,\r\n",
                  "*" + QByteArray(199, 'x') + "+,*,*,*,*,\r\n", true);
        test::row("long buffer with few directions marks what it finds", "+" + filler + "-,\r\n",
                  "+" + filler + "*,\r\n", true);
        test::row("short buffer, enough directions", QByteArray("+-?+-,"), QByteArray("+****,"), true);
        test::row("short buffer, fourth mark at position 1", QByteArray("+-?+,"), QByteArray("****,"), true);
        test::row("too short for the walk", QByteArray("-?+,"), QByteArray("***,"), false);
    }
    void endMarking()
    {
        QFETCH(QByteArray, buffer);
        QFETCH(QByteArray, marked);
        QFETCH(bool, ok);
        QByteArray text = buffer;
        QCOMPARE(import::markEnd(text), ok);
        QCOMPARE(text, marked);
    }
    void headerFields_data()
    {
        QTest::addColumn<QByteArray>("buffer");
        QTest::addColumn<QString>("fields"); // code|month|day|year|hour|minute|posted|cutoff|alarm|unit
        loggen::LogHeader header;
        header.startDate = QDate(2002, 5, 3);
        header.startHour = 8;
        header.startMinute = 12;
        const QByteArray log = loggen::writeLog(header, {{0, '+', 30}});
        test::row("generated log", log, "00415|05|03|02|08|12|035|080|045|MPH");
        test::row("unit as km/h", QByteArray(log).replace("Units: MPH", "Units:  km/h "),
                  "00415|05|03|02|08|12|035|080|045|KPH");
        test::row("header ends inside the cut-off", log.left(112), "00415|05|03|02|08|12|035|08||");
        test::row("nothing but a location code", QByteArray("SITE CODE 123"), "123|||||||||");
        // Only the header, before its "*", states the unit, and only a unit known.
        const QString signsFields = "00415|05|03|02|08|12|035|080|045|";
        test::row("unit after the header",
                  QByteArray(log).replace("Units: MPH", "Units").append("Speed Units: KPH"), signsFields);
        test::row("unit unknown", QByteArray(log).replace("Units: MPH", "Units: knots"), signsFields);
    }
    void headerFields()
    {
        QFETCH(QByteArray, buffer);
        QFETCH(QString, fields);
        const import::HeaderFields h = import::readHeaderFields(buffer);
        QCOMPARE((QStringList{h.locationCode, h.month, h.day, h.year, h.hour, h.minute, h.postedSpeed,
                              h.cutoff, h.alarm, h.unit})
                     .join('|'),
                 fields);
        const QStringList f = fields.split('|');
        QCOMPARE((QStringList{h.dateStem(), h.startDate(), h.startTime(), h.batchNumber("C")}),
                 (QStringList{f[1] + f[2] + f[3], f[1] + "/" + f[2] + "/20" + f[3], f[4] + ":" + f[5],
                              f[1] + f[2] + f[3] + "-C"}));
    }
    void vehicleRecords_data()
    {
        QTest::addColumn<QByteArray>("buffer");
        QTest::addColumn<QString>("expected");
        // The header, its "*" and five characters are dropped; the data ends
        // five characters after the third "+" before the end mark.
        test::row("walk back three plus signs",
                  QByteArray("HDR*DATA:1,+,30,2,-,31,3,+,32,4,+,33,5,+,34,6,*,35,"), "1/+/30;2/-/31;3/+/32");
        test::row("three-digit speed kept whole", QByteArray("HDR*DATA:1,+,130,2,+,31,3,+,32,4,*,"),
                  "1/+/130");
        test::row("line breaks anywhere",
                  QByteArray("HDR\r\n*\r\nDATA:\r\n1,+,3\r\n0,2,-,31,\r\n++++****\r\n"), "1/+/30;2/-/31");
        test::row("empty offset and direction fields skipped", QByteArray("H*DATA:,1,,+,30,,2,-,31,+++**"),
                  "1/+/30;2/-/31");
        test::row("empty speed completes the triple", QByteArray("H*DATA:1,+,,2,-,31,+++**"),
                  "1/+/bad;2/-/31 The value \"\" cannot be stored in the field Speed: a number is required.");
        test::row(
            "numbers read past blanks, directions kept whole",
            QByteArray("H*DATA: 1, +,30 ,2,-+,1.5e1,x,?,31,4,+,y,+++**"),
            "1/ +/30;2/-+/15;bad/?/31;4/+/bad The value \"x\" cannot be stored in the field Offset: it is "
            "not a number.");
        test::row("last vehicle without its comma is lost", QByteArray("H*DATA:1,+,30,2,+,31+++*"), "1/+/30");
        test::row("no vehicle at all", QByteArray("H*DATA:+++**"), "");
        test::row("too few plus signs before the mark", QByteArray("H*DATA:1,-,30,2,+,31,3,*,32,"),
                  "refused");
        test::row("no end mark after the header", QByteArray("H*DATA:1,+,30,2,+,31,3,+,32,"), "refused");
        test::row("no star at all", QByteArray("1,+,30,2,+,31,3,+,32,"), "refused");
        // Generated logs: in KPH, one vehicle a line, processed once; in MPH,
        // five a line, processed, saved with a line break and loaded twice.
        for (const int perLine : {1, 5}) {
            loggen::LogHeader header;
            header.startDate = QDate(2026, 5, 3);
            header.unit = perLine == 1 ? "KPH" : "MPH";
            loggen::SurveyProfile profile = loggen::profileForHeader(header);
            profile.durationSeconds = 2 * 24 * 3600;
            profile.seed = 77;
            const std::vector<loggen::Vehicle> vehicles = loggen::generateVehicles(profile);
            QVERIFY(vehicles.size() > 1000);
            QStringList expected;
            for (const loggen::Vehicle& v : vehicles)
                expected << QStringLiteral("%1/%2/%3").arg(v.offset).arg(QChar(v.direction)).arg(v.speed);
            QByteArray buffer = loggen::writeLog(header, vehicles, {perLine, true});
            QVERIFY(import::markEnd(buffer));
            for (int again = 0; perLine > 1 && again < 2; ++again)
                QVERIFY(import::markEnd(buffer += "\r\n"));
            test::row(perLine == 1 ? "generated, processed once" : "generated, saved and loaded twice",
                      buffer, expected.join(';'));
        }
    }
    void vehicleRecords()
    {
        QFETCH(QByteArray, buffer);
        QFETCH(QString, expected);
        QCOMPARE(parse(buffer), expected);
    }
};
QTEST_GUILESS_MAIN(TstLogParser)
#include "tst_logparser.moc"
