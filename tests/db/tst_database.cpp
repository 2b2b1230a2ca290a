#include "TestSupport.h"
#include "db/Connection.h"
#include "db/DbError.h"
#include "db/RecordView.h"
#include "db/Recordset.h"
#include "db/Schema.h"
#include "db/SqlText.h"
#include "db/StatementLog.h"
#include "db/widgets/FieldBinding.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSqlRecord>
#include <QTest>

#include <memory>

using namespace pelmor;
using pelmor::db::Connection;
using pelmor::db::DbError;

class TstDatabase : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void templateHoldsTheSchema();
    void unusableFilesAreNamed_data();
    void unusableFilesAreNamed();
    void literalsTranslate_data();
    void literalsTranslate();
    void writesConvert_data();
    void writesConvert();
    void timeWrittenAsAmPmMatchesLiteral();
    void statementLogKeepsCallerTexts();
    void apostrophesAreDoubled();
    void transactionsRollBack();
    void recordsetWalks();
    void deleteWhileWalking();
    void queryResultsAreReadOnly();
    void viewStoresPendingEdits();
    void bindingsFollowTheView();

private:
    void addVehicle(db::Recordset& set, const QString& batch, int speed, const QString& time,
                    const QString& date);
    std::unique_ptr<test::TempProgramFolder> m_folder;
};

void TstDatabase::init()
{
    m_folder = std::make_unique<test::TempProgramFolder>();
    db::StatementLog::clear();
}

void TstDatabase::addVehicle(db::Recordset& set, const QString& batch, int speed, const QString& time,
                             const QString& date)
{
    set.addNew();
    set.setValue(QStringLiteral("Batch_Number"), batch);
    set.setValue(QStringLiteral("Offset"), QStringLiteral("0"));
    set.setValue(QStringLiteral("Veh_Direction"), QStringLiteral("+"));
    set.setValue(QStringLiteral("Speed"), QString::number(speed));
    set.setValue(QStringLiteral("Time"), time);
    set.setValue(QStringLiteral("Date"), date);
    set.update();
}

void TstDatabase::templateHoldsTheSchema()
{
    Connection connection(m_folder->databasePath());
    for (const db::TableInfo& table : db::tables()) {
        const QSqlRecord record = connection.database().record(table.name);
        QStringList names;
        for (int i = 0; i < record.count(); ++i)
            names << record.fieldName(i);
        QCOMPARE(names, table.fieldNames());
    }
    QCOMPARE(db::tables().size(), size_t(7));
    QCOMPARE(db::findTable(QStringLiteral("summary"))->fields.size(), size_t(28));
    auto radar = connection.openRecordset(QStringLiteral("select * from Radar"));
    QCOMPARE(radar.recordCount(), 1);
    QCOMPARE(radar.text(QStringLiteral("radar_mode")), QStringLiteral("MPH"));
    QVERIFY(QFile::exists(m_folder->filePath(QStringLiteral("pelmor.emp"))));
}

void TstDatabase::unusableFilesAreNamed_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: no file at all
    QTest::addColumn<bool>("directory");
    QTest::newRow("missing") << QByteArray() << false;
    QTest::newRow("not a database") << QByteArray("This is a text file, not a database.\n").repeated(100)
                                    << false;
    QTest::newRow("a folder") << QByteArray() << true;
}

void TstDatabase::unusableFilesAreNamed()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, directory);
    const QString path = m_folder->filePath(QStringLiteral("other.mdb"));
    if (directory)
        QVERIFY(QDir().mkdir(path));
    if (!content.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    try {
        Connection connection(path);
        auto set = connection.openRecordset(QStringLiteral("select * from Header"));
        set.bof();
        QFAIL("an unusable database file was opened");
    } catch (const DbError& error) {
        QVERIFY2(error.message().contains(QDir::toNativeSeparators(path)), qPrintable(error.message()));
    }
}

void TstDatabase::literalsTranslate_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("translated"); // empty: refused
    QTest::newRow("time") << "Time >= # 08:00 #"
                          << "Time >= '08:00:00'";
    QTest::newRow("date, two-digit year") << "date = # 01/05/03 #"
                                          << "date = '2003-01-05'";
    QTest::newRow("12-hour time") << "Time <= #08:14 PM#"
                                  << "Time <= '20:14:00'";
    QTest::newRow("date and time") << "x = # 05/03/2002 13:05 #"
                                   << "x = '2002-05-03 13:05:00'";
    QTest::newRow("hash inside a quoted text") << "Location = 'Lot #4' and Time = # 08:00 #"
                                               << "Location = 'Lot #4' and Time = '08:00:00'";
    QTest::newRow("hash inside a bracketed name") << "[No#] = 1"
                                                  << "[No#] = 1";
    QTest::newRow("no literal") << "select * from Header"
                                << "select * from Header";
    QTest::newRow("not a date") << "date = # 13/45/2002 #"
                                << "";
    QTest::newRow("unclosed") << "date = # 01/05/03"
                              << "";
}

void TstDatabase::literalsTranslate()
{
    QFETCH(QString, statement);
    QFETCH(QString, translated);
    try {
        QCOMPARE(db::translateStatement(statement), translated);
    } catch (const DbError&) {
        QVERIFY2(translated.isEmpty(), "a valid statement was refused");
    }
}

void TstDatabase::writesConvert_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVariant>("stored"); // invalid: refused
    QTest::newRow("speed") << "Speed"
                           << "412" << QVariant(412LL);
    QTest::newRow("speed with blanks") << "Speed"
                                       << " 35 " << QVariant(35LL);
    QTest::newRow("offset with decimals, ties to even") << "Offset"
                                                        << "34.5" << QVariant(34LL);
    QTest::newRow("empty speed") << "Speed"
                                 << "" << QVariant();
    QTest::newRow("word as speed") << "Speed"
                                   << "fast" << QVariant();
    QTest::newRow("12-hour time") << "Time"
                                  << "01:05 PM" << QVariant(QStringLiteral("13:05:00"));
    QTest::newRow("midnight") << "Time"
                              << "12:05 AM" << QVariant(QStringLiteral("00:05:00"));
    QTest::newRow("impossible time") << "Time"
                                     << "25:00" << QVariant();
    QTest::newRow("date") << "Date"
                          << "01/05/03" << QVariant(QStringLiteral("2003-01-05"));
    QTest::newRow("impossible date") << "Date"
                                     << "13/45/2002" << QVariant();
    QTest::newRow("text as typed") << "Veh_Direction"
                                   << " ? " << QVariant(QStringLiteral(" ? "));
}

void TstDatabase::writesConvert()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QVariant, stored);
    Connection connection(m_folder->databasePath());
    auto set = connection.openRecordset(QStringLiteral("select * from Veh_Data"));
    set.addNew();
    set.setValue(QStringLiteral("Batch_Number"), QStringLiteral("050302-A"));
    try {
        set.setValue(field, text);
        QVERIFY2(stored.isValid(), "a value that does not convert was taken");
    } catch (const DbError& error) {
        QVERIFY2(!stored.isValid(), qPrintable(error.message()));
        QVERIFY(error.message().contains(field));
        return;
    }
    set.update();
    QCOMPARE(
        connection.scalar(QStringLiteral("select %1 as v from Veh_Data").arg(field), QStringLiteral("V")),
        stored);
}

void TstDatabase::timeWrittenAsAmPmMatchesLiteral()
{
    Connection connection(m_folder->databasePath());
    auto set = connection.openRecordset(QStringLiteral("select * from Veh_Data"));
    addVehicle(set, QStringLiteral("050302-A"), 30, QStringLiteral("08:00 AM"), QStringLiteral("05/03/02"));
    addVehicle(set, QStringLiteral("050302-A"), 31, QStringLiteral("08:14 AM"), QStringLiteral("05/03/02"));
    addVehicle(set, QStringLiteral("050302-A"), 32, QStringLiteral("08:15 AM"), QStringLiteral("05/03/02"));
    addVehicle(set, QStringLiteral("050302-A"), 33, QStringLiteral("08:00 AM"), QStringLiteral("05/04/02"));
    addVehicle(set, QStringLiteral("050302-B"), 34, QStringLiteral("08:00 AM"), QStringLiteral("05/03/02"));
    const QString query = QStringLiteral(
        "select count(speed) as TBlock from [Veh_Data] where  [Batch_Number] = '050302-A' and Time >= # "
        "08:00 # and Time <= # 08:14 # and date = # 05/03/02 # ");
    QCOMPARE(connection.scalar(query, QStringLiteral("tBlock")).toInt(), 2);
}

void TstDatabase::statementLogKeepsCallerTexts()
{
    Connection connection(m_folder->databasePath());
    const QStringList statements = {
        QStringLiteral("select count(speed) as TUnder from [Veh_Data] where [Batch_Number] = '050302-A' and "
                       "Speed <= 35"),
        QStringLiteral(
            "select count(speed) as TBlock from [Veh_Data] where  [Batch_Number] = 'x' and Time >= # 08:00 # "
            "and Time <= # 08:14 # and date = # 05/03/02 # "),
        QStringLiteral("select distinct [Batch_Number] from  Header"),
    };
    connection.scalar(statements[0], QStringLiteral("TUnder"));
    connection.scalar(statements[1], QStringLiteral("TBlock"));
    auto set = connection.openRecordset(statements[2]);
    QCOMPARE(db::StatementLog::entries(), statements);
}

void TstDatabase::apostrophesAreDoubled()
{
    QCOMPARE(db::escapeText(QStringLiteral("O'Brien's")), QStringLiteral("O''Brien''s"));
    Connection connection(m_folder->databasePath());
    auto agencies = connection.openRecordset(QStringLiteral("select * from Agency"));
    for (const QString& name :
         {QStringLiteral("Town Police"), QStringLiteral("O'Brien County"), QStringLiteral("x' or '1'='1")}) {
        agencies.addNew();
        agencies.setValue(QStringLiteral("admin_agency"), name);
        agencies.update();
    }
    for (const QString& name : {QStringLiteral("O'Brien County"), QStringLiteral("x' or '1'='1")}) {
        QVERIFY(agencies.findFirst(QStringLiteral("[admin_agency] = '") + db::escapeText(name) +
                                   QLatin1Char('\'')));
        QCOMPARE(agencies.text(QStringLiteral("Admin_Agency")), name);
    }
    const QString count = QStringLiteral("select count(*) as N from Agency where [Admin_Agency] = '%1'")
                              .arg(db::escapeText(QStringLiteral("x' or '1'='1")));
    QCOMPARE(connection.scalar(count, QStringLiteral("N")).toInt(), 1);
}

void TstDatabase::transactionsRollBack()
{
    Connection connection(m_folder->databasePath());
    {
        db::Transaction transaction(connection);
        connection.execute(QStringLiteral("insert into Officer (Admin_Officer) values ('Lost')"));
    }
    {
        db::Transaction transaction(connection);
        connection.execute(QStringLiteral("insert into Officer (Admin_Officer) values ('Kept')"));
        transaction.commit();
    }
    Connection other(m_folder->databasePath());
    auto officers = other.openRecordset(QStringLiteral("Officer"));
    QCOMPARE(officers.recordCount(), 1);
    QCOMPARE(officers.text(QStringLiteral("Admin_Officer")), QStringLiteral("Kept"));
}

void TstDatabase::recordsetWalks()
{
    Connection connection(m_folder->databasePath());
    auto set = connection.openRecordset(QStringLiteral("select * from Breakdown"));
    QVERIFY(set.bof() && set.eof());
    QVERIFY_THROWS_EXCEPTION(DbError, set.value(QStringLiteral("cDate")));
    // Rows come back in the order they were added, well past one page.
    db::Transaction transaction(connection);
    for (int i = 0; i < 1500; ++i) {
        set.addNew();
        set.setValue(QStringLiteral("cCount"), QString::number(1500 - i));
        set.update();
    }
    transaction.commit();
    QCOMPARE(set.recordCount(), 1500);
    auto fresh = connection.openRecordset(QStringLiteral("Breakdown"));
    QVERIFY(!fresh.eof()); // a new set stands on its first row
    QCOMPARE(fresh.text(QStringLiteral("cCount")), QStringLiteral("1500"));
    set.moveFirst();
    int expected = 1500, walked = 0;
    for (; !set.eof(); set.moveNext(), ++walked)
        QCOMPARE(set.text(QStringLiteral("ccount")).toInt(), expected--);
    QCOMPARE(walked, 1500);
    QVERIFY_THROWS_EXCEPTION(DbError, set.moveNext());
    set.moveLast();
    QCOMPARE(set.text(QStringLiteral("cCount")), QStringLiteral("1"));
    set.movePrevious();
    QCOMPARE(set.text(QStringLiteral("cCount")), QStringLiteral("2"));
    QVERIFY(set.findFirst(QStringLiteral("cCount = '700'")));
    QCOMPARE(set.text(QStringLiteral("cCount")), QStringLiteral("700"));
    QVERIFY(!set.findFirst(QStringLiteral("cCount = 'none'")));
    QCOMPARE(set.text(QStringLiteral("cCount")), QStringLiteral("700"));
    set.edit();
    set.setValue(QStringLiteral("cHourTotal"), QStringLiteral("edited"));
    set.update();
    QCOMPARE(connection
                 .scalar(QStringLiteral("select cHourTotal as t from Breakdown where cCount = '700'"),
                         QStringLiteral("t"))
                 .toString(),
             QStringLiteral("edited"));
}

void TstDatabase::deleteWhileWalking()
{
    Connection connection(m_folder->databasePath());
    {
        db::Transaction transaction(connection);
        auto set = connection.openRecordset(QStringLiteral("select * from Veh_Data"));
        for (int i = 0; i < 1200; ++i)
            addVehicle(set, i % 3 == 0 ? QStringLiteral("B") : QStringLiteral("A"), i,
                       QStringLiteral("08:00"), QStringLiteral("05/03/02"));
        transaction.commit();
    }
    // Walk from the first row to the end deleting one batch, the way a
    // survey is removed.
    auto set = connection.openRecordset(QStringLiteral("select * from Veh_Data"));
    set.moveFirst();
    int seen = 0;
    while (!set.eof()) {
        ++seen;
        if (set.text(QStringLiteral("Batch_Number")) == QLatin1String("B"))
            set.deleteCurrent();
        set.moveNext();
    }
    QCOMPARE(seen, 1200);
    QCOMPARE(set.recordCount(), 800);
    QCOMPARE(connection
                 .scalar(QStringLiteral("select count(*) as n from Veh_Data where Batch_Number = 'B'"),
                         QStringLiteral("n"))
                 .toInt(),
             0);
    set.moveFirst();
    QCOMPARE(set.text(QStringLiteral("Speed")), QStringLiteral("1"));
}

void TstDatabase::queryResultsAreReadOnly()
{
    Connection connection(m_folder->databasePath());
    auto set = connection.openRecordset(QStringLiteral("select distinct [Radar_Mode] from  Radar"));
    QVERIFY(!set.isUpdatable());
    QCOMPARE(set.text(QStringLiteral("RADAR_MODE")), QStringLiteral("MPH"));
    QVERIFY_THROWS_EXCEPTION(DbError, set.addNew());
    QVERIFY_THROWS_EXCEPTION(DbError, set.deleteCurrent());
    QVERIFY_THROWS_EXCEPTION(DbError, connection.openRecordset(QStringLiteral("select * from NoSuchTable")));
}

void TstDatabase::viewStoresPendingEdits()
{
    db::RecordView view(QStringLiteral("Data4"));
    view.setDatabaseName(m_folder->databasePath());
    view.setRecordSource(QStringLiteral("Agency"));
    view.refresh();
    QVERIFY(view.bof() && view.eof());

    // A new row typed into a bound box becomes a record when the view re-reads.
    view.addNew();
    QCOMPARE(view.fieldText(QStringLiteral("Admin_Agency")), QString());
    view.setFieldText(QStringLiteral("Admin_Agency"), QStringLiteral("County Sheriff"));
    view.refresh();
    QCOMPARE(view.recordCount(), 1);
    QCOMPARE(view.fieldText(QStringLiteral("admin_agency")), QStringLiteral("County Sheriff"));

    // An edit of the current row is stored when the view moves on.
    view.addNew();
    view.setFieldText(QStringLiteral("Admin_Agency"), QStringLiteral("Town Police"));
    view.moveFirst();
    view.setFieldText(QStringLiteral("Admin_Agency"), QStringLiteral("County Sheriff Office"));
    view.moveLast();
    view.refresh();
    QStringList names;
    for (view.moveFirst(); !view.eof(); view.moveNext())
        names << view.fieldText(QStringLiteral("Admin_Agency"));
    QCOMPARE(names, (QStringList{QStringLiteral("County Sheriff Office"), QStringLiteral("Town Police")}));

    // Adding and moving away without typing adds nothing.
    view.addNew();
    view.moveFirst();
    QCOMPARE(view.recordCount(), 2);
}

void TstDatabase::bindingsFollowTheView()
{
    {
        Connection connection(m_folder->databasePath());
        connection.execute(QStringLiteral("insert into Officer (Admin_Officer) values ('Sgt. Ray')"));
        connection.execute(QStringLiteral("insert into Officer (Admin_Officer) values ('Ofc. Lee')"));
    }
    db::RecordView view(QStringLiteral("Data5"));
    view.setDatabaseName(m_folder->databasePath());
    view.setRecordSource(QStringLiteral("Officer"));
    QLabel label;
    QLineEdit box;
    db::FieldBinding::bind(&view, &label, QStringLiteral("Admin_Officer"));
    db::FieldBinding::bind(&view, &box, QStringLiteral("Admin_Officer"));
    QSignalSpy changes(&view, &db::RecordView::currentChanged);
    view.refresh();
    QCOMPARE(label.text(), QStringLiteral("Sgt. Ray"));
    view.moveNext();
    QCOMPARE(label.text(), QStringLiteral("Ofc. Lee"));
    QCOMPARE(box.text(), QStringLiteral("Ofc. Lee"));
    QCOMPARE(changes.count(), 2);

    // Typing into the bound box edits the row once the view moves.
    box.setFocus();
    box.selectAll();
    QTest::keyClicks(&box, QStringLiteral("Lt. Lee"));
    view.moveFirst();
    view.moveLast();
    QCOMPARE(label.text(), QStringLiteral("Lt. Lee"));
    view.moveNext();
    QCOMPARE(label.text(), QString()); // past the last row nothing is shown
}

QTEST_MAIN(TstDatabase)
#include "tst_database.moc"
