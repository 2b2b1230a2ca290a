#include "text/Formats.h"

#include <QTest>

using namespace pelmor::text;

class TstFormats : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void wholeNumbers_data();
    void wholeNumbers();
    void oneDecimal_data();
    void oneDecimal();
    void twoDigits();
    void clockAndCalendar();
    void parseDates_data();
    void parseDates();
    void parseTimes_data();
    void parseTimes();
    void formatTexts_data();
    void formatTexts();
};

void TstFormats::wholeNumbers_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("85th percentile of 32.5") << 32.5 * 1.175 << "38";
    QTest::newRow("half rounds up") << 2.5 << "3";
    QTest::newRow("negative half rounds away") << -2.5 << "-3";
    QTest::newRow("below a half is empty") << 0.49 << "";
    QTest::newRow("zero is empty") << 0.0 << "";
    QTest::newRow("small negative is empty") << -0.4 << "";
    QTest::newRow("exact half of one") << 0.5 << "1";
    QTest::newRow("percentage 62.5") << 62.5 << "63";
    QTest::newRow("hundred") << 100.0 << "100";
    // 1.005 * 100 is 100.49999999999999 in binary; its decimal form is what rounds.
    QTest::newRow("decimal form decides") << 100.49999999999999 << "100";
}

void TstFormats::wholeNumbers()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(formatWhole(value), text);
}

void TstFormats::oneDecimal_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("average 32.46") << 32.46 << "32.5";
    QTest::newRow("binary just below a half") << 2.45 << "2.5";
    QTest::newRow("0.15 in binary is below") << 0.15 << ".2";
    QTest::newRow("no leading zero") << 0.5 << ".5";
    QTest::newRow("negative under one") << -0.5 << "-.5";
    QTest::newRow("zero") << 0.0 << ".0";
    QTest::newRow("rounds to zero drops the sign") << -0.04 << ".0";
    QTest::newRow("carry into the integer") << 99.95 << "100.0";
    QTest::newRow("negative half away") << -1.25 << "-1.3";
    QTest::newRow("pace low below zero") << 4.3 - 5 << "-.7";
    QTest::newRow("whole number") << 27.0 << "27.0";
    QTest::newRow("large") << 123456.78 << "123456.8";
}

void TstFormats::oneDecimal()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(formatOneDecimal(value), text);
}

void TstFormats::twoDigits()
{
    QCOMPARE(format00(5), QStringLiteral("05"));
    QCOMPARE(format00(0), QStringLiteral("00"));
    QCOMPARE(format00(123), QStringLiteral("123"));
    QCOMPARE(format00(-5), QStringLiteral("-05"));
    QCOMPARE(roundHalfToEven(34.5), 34.0);
    QCOMPARE(roundHalfToEven(35.5), 36.0);
    QCOMPARE(roundHalfAwayFromZero(34.5), 35.0);
    QCOMPARE(roundHalfAwayFromZero(2.45, 1), 2.5);
    QCOMPARE(shortestDecimal(27.5), QStringLiteral("27.5"));
    QCOMPARE(shortestDecimal(28.0), QStringLiteral("28"));
    QCOMPARE(shortestDecimal(-1.5), QStringLiteral("-1.5"));
}

void TstFormats::clockAndCalendar()
{
    QCOMPARE(formatTimeAmPm(QTime(13, 5)), QStringLiteral("01:05 PM"));
    QCOMPARE(formatTimeAmPm(QTime(0, 5)), QStringLiteral("12:05 AM"));
    QCOMPARE(formatTimeAmPm(QTime(12, 0)), QStringLiteral("12:00 PM"));
    QCOMPARE(formatTimeAmPm(QTime(23, 59, 59)), QStringLiteral("11:59 PM"));
    QCOMPARE(formatTime24(QTime(8, 5)), QStringLiteral("08:05"));
    QCOMPARE(formatDateMdy(QDate(2003, 1, 5)), QStringLiteral("01/05/03"));
    QCOMPARE(formatDateMdy(QDate(1999, 12, 31)), QStringLiteral("12/31/99"));
    QCOMPARE(formatLongDate(QDate(2002, 4, 2)), QStringLiteral("Apr 02 , 2002"));
    QCOMPARE(formatLongDate(QDate(2026, 12, 25)), QStringLiteral("Dec 25 , 2026"));
}

void TstFormats::parseDates_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date"); // invalid: not a date
    QTest::newRow("four-digit year") << "05/03/2002" << QDate(2002, 5, 3);
    QTest::newRow("two-digit year") << "12/31/02" << QDate(2002, 12, 31);
    QTest::newRow("single digits") << "1/5/03" << QDate(2003, 1, 5);
    QTest::newRow("year 29 is 2029") << "01/05/29" << QDate(2029, 1, 5);
    QTest::newRow("year 30 is 1930") << "01/05/30" << QDate(1930, 1, 5);
    QTest::newRow("hyphens") << "05-03-2002" << QDate(2002, 5, 3);
    QTest::newRow("stored form") << "2002-05-03" << QDate(2002, 5, 3);
    QTest::newRow("blanks around") << " 05/03/2002 " << QDate(2002, 5, 3);
    QTest::newRow("day first when the month cannot be") << "13/05/2002" << QDate(2002, 5, 13);
    QTest::newRow("neither way a date") << "13/45/2002" << QDate();
    QTest::newRow("no such day") << "02/30/2002" << QDate();
    QTest::newRow("leap day") << "02/29/2004" << QDate(2004, 2, 29);
    QTest::newRow("no leap day") << "02/29/2003" << QDate();
    QTest::newRow("mixed separators") << "05/03-2002" << QDate();
    QTest::newRow("no year") << "05/03" << QDate();
    QTest::newRow("three-digit year") << "05/03/200" << QDate();
    QTest::newRow("empty") << "" << QDate();
    QTest::newRow("words") << "May third" << QDate();
    QTest::newRow("trailing text") << "05/03/2002x" << QDate();
}

void TstFormats::parseDates()
{
    QFETCH(QString, text);
    QFETCH(QDate, date);
    const auto parsed = parseDate(text);
    QCOMPARE(parsed.has_value(), date.isValid());
    QCOMPARE(isDate(text), date.isValid());
    if (parsed)
        QCOMPARE(*parsed, date);
}

void TstFormats::parseTimes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QTime>("time"); // invalid: not a time
    QTest::newRow("morning") << "08:12 AM" << QTime(8, 12);
    QTest::newRow("midnight hour") << "12:05 AM" << QTime(0, 5);
    QTest::newRow("noon hour") << "12:05 PM" << QTime(12, 5);
    QTest::newRow("lower case, no blank") << "1:05pm" << QTime(13, 5);
    QTest::newRow("24-hour") << "14:30" << QTime(14, 30);
    QTest::newRow("seconds") << "14:30:15" << QTime(14, 30, 15);
    QTest::newRow("hour and meridiem") << "8 AM" << QTime(8, 0);
    QTest::newRow("hour 24") << "24:00" << QTime();
    QTest::newRow("13 PM") << "13:00 PM" << QTime();
    QTest::newRow("minute 60") << "08:60" << QTime();
    QTest::newRow("bare number") << "8" << QTime();
    QTest::newRow("unknown suffix") << "08:12 XM" << QTime();
    QTest::newRow("empty") << "" << QTime();
}

void TstFormats::parseTimes()
{
    QFETCH(QString, text);
    QFETCH(QTime, time);
    const auto parsed = parseTime(text);
    QCOMPARE(parsed.has_value(), time.isValid());
    if (parsed)
        QCOMPARE(*parsed, time);
}

void TstFormats::formatTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("asDate");
    QTest::addColumn<QString>("asTimeAmPm");
    QTest::addColumn<QString>("asTime24");
    QTest::newRow("24-hour time") << "14:30"
                                  << "12/30/99"
                                  << "02:30 PM"
                                  << "14:30";
    QTest::newRow("12-hour time") << "08:12 AM"
                                  << "12/30/99"
                                  << "08:12 AM"
                                  << "08:12";
    QTest::newRow("date") << "05/03/2002"
                          << "05/03/02"
                          << "12:00 AM"
                          << "00:00";
    QTest::newRow("date and time") << "05/03/2002 13:05"
                                   << "05/03/02"
                                   << "01:05 PM"
                                   << "13:05";
    QTest::newRow("not a date comes back") << "abc"
                                           << "abc"
                                           << "abc"
                                           << "abc";
    QTest::newRow("empty comes back") << ""
                                      << ""
                                      << ""
                                      << "";
}

void TstFormats::formatTexts()
{
    QFETCH(QString, text);
    QFETCH(QString, asDate);
    QFETCH(QString, asTimeAmPm);
    QFETCH(QString, asTime24);
    QCOMPARE(formatTextAsDateMdy(text), asDate);
    QCOMPARE(formatTextAsTimeAmPm(text), asTimeAmPm);
    QCOMPARE(formatTextAsTime24(text), asTime24);
}

QTEST_GUILESS_MAIN(TstFormats)
#include "tst_formats.moc"
