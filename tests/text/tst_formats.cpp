#include "TestSupport.h"
#include "text/Formats.h"

#include <QTest>

using namespace pelmor::text;
using pelmor::test::row;

class TstFormats : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rounding_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("whole"); // below a half, empty
        QTest::addColumn<QString>("oneDecimal");
        row("85th percentile of 32.5", 32.5 * 1.175, "38", "38.2");
        row("average 32.46", 32.46, "32", "32.5");
        row("halves away from zero", 2.5, "3", "2.5");
        row("negative halves away from zero", -2.5, "-3", "-2.5");
        row("binary just below a half", 2.45, "2", "2.5");
        row("0.15 in binary is below", 0.15, "", ".2");
        row("below a half", 0.49, "", ".5");
        row("exact half of one", 0.5, "1", ".5");
        row("zero", 0.0, "", ".0");
        row("rounds to zero drops the sign", -0.04, "", ".0");
        row("negative under one", -0.4, "", "-.4");
        row("carry into the integer", 99.95, "100", "100.0");
        row("negative half away", -1.25, "-1", "-1.3");
        // 1.005 * 100 is 100.49999999999999 in binary; its decimal form is what rounds.
        row("decimal form decides", 100.49999999999999, "100", "100.5");
    }
    void rounding()
    {
        QFETCH(double, value);
        QFETCH(QString, whole);
        QFETCH(QString, oneDecimal);
        QCOMPARE(formatWhole(value), whole);
        QCOMPARE(formatOneDecimal(value), oneDecimal);
    }
    void smallFormats()
    {
        // Used where the rounding and clock formats above are not.
        QCOMPARE((QStringList{format00(-5), shortestDecimal(27.5), shortestDecimal(28.0),
                              formatTime24(QTime(8, 5)), formatLongDate(QDate(2002, 4, 2)),
                              formatLongDate(QDate(2026, 12, 25))}),
                 (QStringList{"-05", "27.5", "28", "08:05", "Apr 02 , 2002", "Dec 25 , 2026"}));
        QCOMPARE(
            (QList<double>{roundHalfToEven(34.5), roundHalfToEven(35.5), roundHalfAwayFromZero(2.45, 1)}),
            (QList<double>{34.0, 36.0, 2.5}));
    }
    void parseDates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("date"); // invalid: not a date
        row("four-digit year", "05/03/2002", QDate(2002, 5, 3));
        row("two-digit year", "12/31/02", QDate(2002, 12, 31));
        row("single digits", "1/5/03", QDate(2003, 1, 5));
        row("year 29 is 2029", "01/05/29", QDate(2029, 1, 5));
        row("year 30 is 2030", "01/05/30", QDate(2030, 1, 5));
        row("year 99 is 2099", "12/31/99", QDate(2099, 12, 31));
        row("hyphens", "05-03-2002", QDate(2002, 5, 3));
        row("stored form", "2002-05-03", QDate(2002, 5, 3));
        row("blanks around", " 05/03/2002 ", QDate(2002, 5, 3));
        row("day first when the month cannot be", "13/05/2002", QDate(2002, 5, 13));
        row("neither way a date", "13/45/2002", QDate());
        row("no such day", "02/30/2002", QDate());
        row("leap day", "02/29/2004", QDate(2004, 2, 29));
        row("no leap day", "02/29/2003", QDate());
        row("mixed separators", "05/03-2002", QDate());
        row("no year", "05/03", QDate());
        row("three-digit year", "05/03/200", QDate());
        row("empty", "", QDate());
        row("trailing text", "05/03/2002x", QDate());
    }
    void parseDates()
    {
        QFETCH(QString, text);
        QFETCH(QDate, date);
        const auto parsed = parseDate(text);
        QCOMPARE(parsed.has_value(), date.isValid());
        QCOMPARE(isDate(text), date.isValid());
        if (parsed)
            QCOMPARE(*parsed, date);
    }
    void parseTimes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QTime>("time"); // invalid: not a time
        row("morning", "08:12 AM", QTime(8, 12));
        row("midnight hour", "12:05 AM", QTime(0, 5));
        row("noon hour", "12:05 PM", QTime(12, 5));
        row("lower case, no blank", "1:05pm", QTime(13, 5));
        row("24-hour", "14:30", QTime(14, 30));
        row("seconds", "14:30:15", QTime(14, 30, 15));
        row("hour and meridiem", "8 AM", QTime(8, 0));
        row("hour 24", "24:00", QTime());
        row("13 PM", "13:00 PM", QTime());
        row("minute 60", "08:60", QTime());
        row("bare number", "8", QTime());
        row("empty", "", QTime());
    }
    void parseTimes()
    {
        QFETCH(QString, text);
        QFETCH(QTime, time);
        const auto parsed = parseTime(text);
        QCOMPARE(parsed.has_value(), time.isValid());
        if (parsed)
            QCOMPARE(*parsed, time);
    }
    void formatTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("asDate");
        QTest::addColumn<QString>("asTimeAmPm");
        QTest::addColumn<QString>("asTime24");
        // What is not a date or time comes back as it is.
        const char* const rows[][4] = {
            {"14:30", "12/30/99", "02:30 PM", "14:30"},
            {"08:12 AM", "12/30/99", "08:12 AM", "08:12"},
            {"05/03/2002", "05/03/02", "12:00 AM", "00:00"},
            {"05/03/2002 13:05", "05/03/02", "01:05 PM", "13:05"},
            {"abc", "abc", "abc", "abc"},
            {"", "", "", ""},
        };
        for (const auto& row : rows)
            QTest::addRow("\"%s\"", row[0]) << QString::fromUtf8(row[0]) << QString::fromUtf8(row[1])
                                            << QString::fromUtf8(row[2]) << QString::fromUtf8(row[3]);
    }
    void formatTexts()
    {
        QFETCH(QString, text);
        QFETCH(QString, asDate);
        QFETCH(QString, asTimeAmPm);
        QFETCH(QString, asTime24);
        QCOMPARE(formatTextAsDateMdy(text), asDate);
        QCOMPARE(formatTextAsTimeAmPm(text), asTimeAmPm);
        QCOMPARE(formatTextAsTime24(text), asTime24);
    }
};
QTEST_GUILESS_MAIN(TstFormats)
#include "tst_formats.moc"
