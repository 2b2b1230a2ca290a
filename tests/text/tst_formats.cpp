#include "TestSupport.h"
#include "text/Formats.h"
#include "text/MessageText.h"

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
        row("halves away from zero", 2.5, "3", "2.5");
        row("negative halves away from zero", -2.5, "-3", "-2.5");
        row("binary just below a half", 2.45, "2", "2.5");
        row("below a half", 0.49, "", ".5");
        row("rounds to zero drops the sign", -0.04, "", ".0");
        row("negative under one", -0.4, "", "-.4");
        row("carry into the integer", 99.95, "100", "100.0");
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
        QCOMPARE((QStringList{format00(-5), shortestDecimal(27.5), shortestDecimal(28.0),
                              formatTime24(QTime(8, 5)), formatLongDate(QDate(2026, 12, 25))}),
                 (QStringList{"-05", "27.5", "28", "08:05", "Dec 25 , 2026"}));
        QCOMPARE((QList<double>{roundHalfToEven(34.5), roundHalfToEven(35.5)}), (QList<double>{34.0, 36.0}));
    }
    void parseDates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("date"); // invalid: not a date
        row("four-digit year", "05/03/2002", QDate(2002, 5, 3));
        row("single digits", "1/5/03", QDate(2003, 1, 5));
        row("year 29 is 2029", "12/31/29", QDate(2029, 12, 31));
        row("year 30 is 2030", "01/01/30", QDate(2030, 1, 1));
        row("year 99 is 2099", "12/31/99", QDate(2099, 12, 31));
        row("leap day of 2096", "02/29/96", QDate(2096, 2, 29));
        row("hyphens", "05-03-2002", QDate(2002, 5, 3));
        row("stored form", "2002-05-03", QDate(2002, 5, 3));
        row("blanks around", " 05/03/2002 ", QDate(2002, 5, 3));
        row("day first when the month cannot be", "13/05/2002", QDate(2002, 5, 13));
        row("neither way a date", "13/45/2002", QDate());
        row("no leap day", "02/29/2003", QDate());
        row("mixed separators", "05/03-2002", QDate());
        row("trailing text", "05/03/2002x", QDate());
    }
    void parseDates()
    {
        QFETCH(QString, text);
        QFETCH(QDate, date);
        QCOMPARE(parseDate(text).value_or(QDate()), date);
        QCOMPARE(isDate(text), date.isValid());
    }
    void parseTimes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QTime>("time"); // invalid: not a time
        row("midnight hour", "12:05 AM", QTime(0, 5));
        row("noon hour", "12:05 PM", QTime(12, 5));
        row("lower case, no blank", "1:05pm", QTime(13, 5));
        row("seconds", "14:30:15", QTime(14, 30, 15));
        row("hour and meridiem", "8 AM", QTime(8, 0));
        row("hour 24", "24:00", QTime());
        row("13 PM", "13:00 PM", QTime());
        row("bare number", "8", QTime());
    }
    void parseTimes()
    {
        QFETCH(QString, text);
        QFETCH(QTime, time);
        QCOMPARE(parseTime(text).value_or(QTime()), time);
    }
    // A survey's start: to the minute, in UTC, none when either part is
    // not a date or a time; and minutes of the day as clock times.
    void surveyStarts_data()
    {
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QDateTime>("start"); // invalid: none
        QTest::addColumn<QString>("clock");   // the start's minute of the day as "hh:mm"
        const auto utc = [](int y, int m, int d, int h, int min) {
            return QDateTime(QDate(y, m, d), QTime(h, min), Qt::UTC);
        };
        row("two-digit year, 12-hour", "05/03/02", "08:12 PM", utc(2002, 5, 3, 20, 12), "20:12");
        row("seconds dropped", "05/03/2002", "14:30:59", utc(2002, 5, 3, 14, 30), "14:30");
        row("midnight", "12/31/99", "12:00 AM", utc(2099, 12, 31, 0, 0), "00:00");
        row("last minute of the day", "2002-05-03", "23:59", utc(2002, 5, 3, 23, 59), "23:59");
        row("no date", "13/45/2002", "08:00", QDateTime(), "");
        row("no time", "05/03/02", "8", QDateTime(), "");
        row("empty", "", "", QDateTime(), "");
    }
    void surveyStarts()
    {
        QFETCH(QString, date);
        QFETCH(QString, time);
        QFETCH(QDateTime, start);
        QFETCH(QString, clock);
        const std::optional<QDateTime> parsed = parseStart(date, time);
        QCOMPARE(parsed.value_or(QDateTime()), start);
        if (parsed) {
            QCOMPARE(parsed->timeSpec(), Qt::UTC);
            QCOMPARE(formatMinuteOfDay(parsed->time().hour() * 60 + parsed->time().minute()), clock);
        }
    }
    void formatTexts_data()
    {
        // The text, then as a date, as a 12-hour and as a 24-hour time; what
        // is not a date or time comes back as it is.
        QTest::addColumn<QStringList>("forms");
        row("time alone", QStringList{"14:30", "12/30/99", "02:30 PM", "14:30"});
        row("date alone", QStringList{"05/03/2002", "05/03/02", "12:00 AM", "00:00"});
        row("date and time", QStringList{"05/03/2002 13:05", "05/03/02", "01:05 PM", "13:05"});
        row("neither", QStringList{"abc", "abc", "abc", "abc"});
    }
    void formatTexts()
    {
        QFETCH(QStringList, forms);
        const QString& text = forms[0];
        QCOMPARE((QStringList{text, formatTextAsDateMdy(text), formatTextAsTimeAmPm(text),
                              formatTextAsTime24(text)}),
                 forms);
    }
    // A value in a message is quoted whole up to 40 characters, else cut
    // there with its length; a letter outside the Basic Multilingual Plane
    // is one character and is never cut in half.
    void quotedValues_data()
    {
        const QString wide = QString::fromUcs4(U"\U0001D53C"); // two UTF-16 units
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("quoted");
        row("short", "3O", "\"3O\"");
        row("empty", "", "\"\"");
        row("exactly 40", QString(40, 'x'), "\"" + QString(40, 'x') + "\"");
        row("41", QString(41, 'x'), "\"" + QString(40, 'x') + "\u2026\" (41 characters)");
        row("40 wide letters", wide.repeated(40), "\"" + wide.repeated(40) + "\"");
        row("wide letter at the cut", QString(39, '7') + wide.repeated(2),
            "\"" + QString(39, '7') + wide + "\u2026\" (41 characters)");
        row("a million digits", QString(1234567, '7'),
            "\"" + QString(40, '7') + "\u2026\" (1,234,567 characters)");
    }
    void quotedValues()
    {
        QFETCH(QString, value);
        QFETCH(QString, quoted);
        QCOMPARE(quotedValue(value), quoted);
    }
};
QTEST_GUILESS_MAIN(TstFormats)
#include "tst_formats.moc"
