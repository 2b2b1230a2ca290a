#include "PgTestServer.h"
#include "TestSupport.h"
#include "db/Connection.h"
#include "db/DbError.h"
#include "db/DownloadFingerprint.h"
#include "db/Files.h"
#include "sites/SitePlacement.h"
#include "store/CountedSpeeds.h"
#include "store/PgServerSchema.h"
#include "store/SurveyStore.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <climits>
#include <functional>
#include <map>
#include <thread>

using namespace pelmor;
using pelmor::test::row;

namespace {

// Where the stores of one test live: a database of a backend, empty at
// first, that any number of stores (connections) can be opened on.
class StorePlace {
public:
    virtual ~StorePlace() = default;
    virtual std::unique_ptr<store::SurveyStore> open() = 0;
    // Makes the database refuse every write for as long as the returned
    // object lives; null when this machine cannot.
    virtual std::shared_ptr<void> refuseWrites() = 0;
};

// The SQLite file of a program folder of its own.
class SqlitePlace : public StorePlace {
public:
    std::unique_ptr<store::SurveyStore> open() override
    {
        return store::openStore({m_folder.databasePath()});
    }
    std::shared_ptr<void> refuseWrites() override
    {
        auto folder = std::make_shared<test::ReadOnlyFolder>(m_folder.path());
        return folder->isReadOnly() ? folder : nullptr;
    }

private:
    test::TempProgramFolder m_folder;
};

// The throwaway server of this test program is set up for the program once
// (the template of every test's database), with a login of each group role.
const char* const kTemplate = "pelmor_template";
using test::testServer;

// Takes the right to add surveys from the administrators of one database
// for as long as it lives.
class RevokedInserts {
public:
    explicit RevokedInserts(const QString& database)
        : m_database(database)
        , m_failure(testServer().execute(QStringLiteral("REVOKE INSERT ON %1 FROM pelmor_admin").arg(kTables),
                                         database))
    {
    }
    ~RevokedInserts()
    {
        testServer().execute(QStringLiteral("GRANT INSERT ON %1 TO pelmor_admin").arg(kTables), m_database);
    }
    bool revoked() const { return m_failure.isEmpty(); }

private:
    static constexpr const char* kTables = "\"Veh_Data\"";
    QString m_database;
    QString m_failure;
};

// A fresh database of the test server, copied from the template and
// dropped with the place; its stores log in as an administrator.
class ServerPlace : public StorePlace {
public:
    ServerPlace()
        : m_database(testServer().createDatabase(QLatin1String(kTemplate)))
    {
    }
    ~ServerPlace() override { testServer().dropDatabase(m_database); }
    std::unique_ptr<store::SurveyStore> open() override { return openAs(QStringLiteral("admin1")); }
    std::unique_ptr<store::SurveyStore> openAs(const QString& user)
    {
        return store::openStore({{}, testServer().connectionString(m_database, user)});
    }
    // The group role loses the right to add rows; stores already open feel
    // it at their next statement.
    std::shared_ptr<void> refuseWrites() override
    {
        auto revoked = std::make_shared<RevokedInserts>(m_database);
        return revoked->revoked() ? revoked : nullptr;
    }
    const QString& database() const { return m_database; }

private:
    QString m_database;
};

// Every backend the contract is checked on.
struct Backend {
    const char* name;
    std::function<std::unique_ptr<StorePlace>()> make;
};
template <typename Place> std::unique_ptr<StorePlace> makePlace()
{
    return std::make_unique<Place>();
}
const std::vector<Backend>& backends()
{
    static const std::vector<Backend> all = {{"SQLite file", makePlace<SqlitePlace>},
                                             {"server", makePlace<ServerPlace>}};
    return all;
}

survey::HeaderRow headerOf(const QString& batch, const QString& location = QStringLiteral("Main St"))
{
    survey::HeaderRow header;
    header.batchNumber = batch;
    header.locationCode = QStringLiteral("00042");
    header.location = location;
    header.date = QStringLiteral("05/03/2002");
    header.time = QStringLiteral("08:00");
    header.violationAlert = QStringLiteral("035");
    header.blankSpeed = QStringLiteral("99");
    header.alarmSpeed = QStringLiteral("50");
    header.radarMode = QStringLiteral("MPH");
    header.direction = QStringLiteral("North");
    header.zone = QStringLiteral("School");
    header.fieldSetup = QStringLiteral("J. O'Brien");
    return header;
}

// One vehicle as a test writes it.
struct Vehicle {
    qint64 offset;
    QByteArray direction;
    qint64 speed;
    std::optional<double> length = std::nullopt;
};

// A statistics row whose every field tells the survey and the field apart,
// but for the counts that a server checks against the vehicles stored.
survey::SummaryRow summaryOf(const QString& batch, const std::vector<Vehicle>& vehicles)
{
    survey::SummaryRow summary;
    int field = 0;
    survey::SummaryRow::forEachField(
        summary, [&](const char*, QString& text) { text = QStringLiteral("%1/%2").arg(batch).arg(field++); });
    summary.batchNumber = batch;
    const auto count = [&vehicles](const char* direction) {
        return QString::number(std::count_if(vehicles.begin(), vehicles.end(), [direction](const Vehicle& v) {
            return v.direction == direction;
        }));
    };
    summary.totalVehicles = QString::number(vehicles.size());
    summary.totalApproach = count("+");
    summary.totalReceding = count("-");
    summary.totalUnknown = count("?");
    const auto [slowest, fastest] =
        std::minmax_element(vehicles.begin(), vehicles.end(),
                            [](const Vehicle& a, const Vehicle& b) { return a.speed < b.speed; });
    summary.minSpeed = vehicles.empty() ? QString() : QString::number(slowest->speed);
    summary.maxSpeed = vehicles.empty() ? QString() : QString::number(fastest->speed);
    return summary;
}

// Where a survey of these vehicles goes among the sites, with its figures.
store::SitePlacement placementOf(const survey::HeaderRow& header, const survey::SummaryRow& summary,
                                 const std::vector<Vehicle>& vehicles)
{
    store::CountedSpeeds tally;
    for (const Vehicle& vehicle : vehicles)
        tally.add(vehicle.speed, vehicle.direction, vehicle.offset);
    return sites::placementOf(header, summary, tally);
}

// `count` vehicles with speeds and directions drawn from `seed`: a minute
// apart, or over three days out of clock order.
std::vector<Vehicle> randomVehicles(quint32 seed, int count, bool shuffled = false)
{
    QRandomGenerator random(seed);
    static const QByteArray directions[] = {"+", "-", "?"};
    std::vector<Vehicle> vehicles;
    // Two vehicles in three with a length, the others without.
    for (int i = 0; i < count; ++i)
        vehicles.push_back(
            {shuffled ? qint64(random.bounded(3 * 86400)) : qint64(i) * 60 + random.bounded(60),
             directions[random.bounded(3)],
             shuffled ? qint64(5 + random.bounded(80)) : qint64(random.bounded(130)),
             i % 3 ? std::optional(0.1 * (i % 190)) : std::nullopt});
    return vehicles;
}

void writeVehicles(store::SurveyWriter& writer, const std::vector<Vehicle>& vehicles)
{
    for (const Vehicle& vehicle : vehicles)
        writer.addVehicle(vehicle.offset, vehicle.direction, vehicle.speed,
                          int(vehicle.offset % 86400 / 60 * 60),
                          QDate(2002, 5, 3).addDays(vehicle.offset / 86400), vehicle.length);
}

// Stores a survey whole, at the site of its location.
void addSurvey(store::SurveyStore& store, const QString& batch, const std::vector<Vehicle>& vehicles,
               const QString& location = QStringLiteral("Main St"), const QString& source = QString())
{
    const survey::HeaderRow header = headerOf(batch, location);
    const auto writer = store.beginSurvey(header, source);
    writeVehicles(*writer, vehicles);
    const survey::SummaryRow summary = summaryOf(batch, vehicles);
    writer->commit(summary, placementOf(header, summary, vehicles));
}

QStringList listed(store::SurveyStore& store)
{
    QStringList surveys;
    for (const survey::ListedSurvey& survey : store.listSurveys())
        surveys << QStringLiteral("%1 %2 %3")
                       .arg(survey.header.batchNumber, survey.header.location)
                       .arg(survey.vehicles);
    return surveys;
}

std::vector<Vehicle> written(store::SurveyStore& store, const QString& batch)
{
    std::vector<Vehicle> vehicles;
    const auto reader = store.readWrittenVehicles(batch);
    Vehicle vehicle;
    QByteArrayView direction;
    while (reader->next(vehicle.offset, direction, vehicle.speed)) {
        vehicle.direction = direction.toByteArray();
        vehicles.push_back(vehicle);
    }
    return vehicles;
}

// Where the vehicles of the i-th survey came from: every other survey
// from another device's log, the others from the sign's own.
QString sourceOf(int i)
{
    return i % 2 ? QStringLiteral("Impactor radar counter, layout Semicolon radar counter (dd.MM.yy) \u00e9'")
                 : QString();
}

// A row of the case for each backend, named by both, the backend's index
// its first column.
template <typename... Columns> void rowOnEach(const char* what, const Columns&... columns)
{
    for (int b = 0; b < int(backends().size()); ++b)
        row((QByteArray(backends()[size_t(b)].name) + ": " + what).constData(), b, columns...);
}

bool operator==(const Vehicle& a, const Vehicle& b)
{
    return a.offset == b.offset && a.direction == b.direction && a.speed == b.speed;
}

// A length as read back; "-" for none.
QString lengthText(const std::optional<double>& length)
{
    return length ? QString::number(*length, 'g', 17) : QStringLiteral("-");
}

// A vehicle as a scan reads it back: writeVehicles() logs it at the whole
// minute of its offset, counted from midnight of 05/03/2002.
QString readBack(const Vehicle& vehicle)
{
    return QStringLiteral("%1 %2 %3 %4 %5 %6")
        .arg(QDate(2002, 5, 3).addDays(vehicle.offset / 86400).toString(Qt::ISODate))
        .arg(vehicle.offset % 86400 / 60 * 60)
        .arg(QLatin1Char(vehicle.direction[0]))
        .arg(vehicle.speed)
        .arg(vehicle.offset)
        .arg(lengthText(vehicle.length));
}
QString readBack(const store::VehicleRow& row)
{
    return QStringLiteral("%1 %2 %3 %4 %5 %6")
        .arg(row.date.toString(Qt::ISODate))
        .arg(row.secondOfDay)
        .arg(row.direction)
        .arg(row.speed)
        .arg(row.offset)
        .arg(lengthText(row.length));
}

QStringList namesOf(const std::vector<store::NamedEntry>& entries)
{
    QStringList names;
    for (const store::NamedEntry& entry : entries)
        names << entry.name;
    return names;
}

} // namespace

// What every survey store does, checked on each backend: surveys written
// whole or not at all, one survey per batch number, deletion of one survey alone, and the figures of the
// statistics.
class TstSurveyStore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QCOMPARE(
            testServer().setUpTemplate(QLatin1String(kTemplate),
                                       QStringLiteral("CREATE ROLE admin1 LOGIN IN ROLE pelmor_admin; "
                                                      "CREATE ROLE officer1 LOGIN IN ROLE pelmor_officer")),
            QString());
    }

    void addedSurveyReadsBack_data()
    {
        QTest::addColumn<int>("backend");
        QTest::addColumn<QStringList>("batches"); // stored in this order
        rowOnEach("listed as stored, not sorted", QStringList{"050302-B", "050302-A", "040302-C"});
        rowOnEach("letter case tells batches apart", QStringList{"050302-A", "050302-a"});
        rowOnEach("an apostrophe", QStringList{"O'1", "050302-A"});
    }
    void addedSurveyReadsBack()
    {
        QFETCH(int, backend);
        QFETCH(QStringList, batches);
        const auto place = backends()[size_t(backend)].make();
        const auto store = place->open();
        QStringList expected;
        std::vector<std::vector<Vehicle>> stored;
        for (int i = 0; i < batches.size(); ++i) {
            std::vector<Vehicle> vehicles = randomVehicles(quint32(i), 5 + i);
            vehicles.push_back({vehicles.back().offset + 7, "ab", 31}); // a direction of two characters
            addSurvey(*store, batches[i], vehicles, QStringLiteral("Place %1").arg(i), sourceOf(i));
            expected << QStringLiteral("%1 Place %2 %3").arg(batches[i]).arg(i).arg(vehicles.size());
            QVERIFY(written(*store, batches[i]) == vehicles);
            stored.push_back(std::move(vehicles));
        }
        // Another connection sees what was committed.
        const auto other = place->open();
        QCOMPARE(listed(*other), expected);
        for (int i = 0; i < batches.size(); ++i) {
            const survey::SurveyRecord record = other->loadSurvey(batches[i]);
            survey::HeaderRow header = headerOf(batches[i], QStringLiteral("Place %1").arg(i));
            QVERIFY(record.hasHeader && record.hasSummary);
            QCOMPARE(record.batchNumber, batches[i]);
            QCOMPARE(record.source, sourceOf(i));
            QVERIFY(record.header.storedFields() == header.storedFields());
            QVERIFY(record.summary.storedFields() == summaryOf(batches[i], stored[size_t(i)]).storedFields());
            QCOMPARE(other->tally(batches[i])->vehicles(), qint64(6 + i));
        }
        const survey::SurveyRecord missing = other->loadSurvey(QStringLiteral("123199-Z"));
        QVERIFY(!missing.hasHeader && !missing.hasSummary);
        QCOMPARE(missing.header.location, QString());
    }

    // A download is found by the fingerprint of its vehicles alone, made
    // alike on every backend: a second survey of them is refused at its
    // commit whatever its start, naming the survey that holds them, until
    // that survey is deleted.
    void downloadIsFoundByItsVehicles()
    {
        for (const Backend& backend : backends()) {
            const auto place = backend.make();
            const auto store = place->open();
            const std::vector<Vehicle> vehicles = randomVehicles(3, 12);
            db::DownloadFingerprint made;
            for (const Vehicle& vehicle : vehicles)
                made.add(vehicle.offset, vehicle.direction, vehicle.speed);
            const QByteArray fingerprint = made.result();
            addSurvey(*store, QStringLiteral("050302-A"), vehicles);
            QCOMPARE(store->surveyHoldingDownload(fingerprint), QStringLiteral("050302-A"));
            survey::HeaderRow later = headerOf(QStringLiteral("050302-B"));
            later.date = QStringLiteral("05/04/2002");
            later.time = QStringLiteral("09:30");
            try {
                const auto writer = store->beginSurvey(later, QString());
                writeVehicles(*writer, vehicles);
                writer->commit(summaryOf(later.batchNumber, vehicles), std::nullopt);
                QFAIL("the same vehicles were stored twice");
            } catch (const store::DuplicateDownload& refused) {
                QCOMPARE(refused.storedAs(), QStringLiteral("050302-A"));
            }
            QCOMPARE(store->deleteSurvey(QStringLiteral("050302-A")).vehicles, qint64(12));
            QCOMPARE(store->surveyHoldingDownload(fingerprint), QString());
        }
    }

    void duplicateBatchIsRefused_data()
    {
        QTest::addColumn<int>("backend");
        QTest::addColumn<bool>("sameStore"); // the second writer on the first one's connection
        rowOnEach("same connection", true);
        rowOnEach("another connection", false);
    }
    void duplicateBatchIsRefused()
    {
        QFETCH(int, backend);
        QFETCH(bool, sameStore);
        const auto place = backends()[size_t(backend)].make();
        const auto first = place->open();
        addSurvey(*first, QStringLiteral("050302-A"), randomVehicles(1, 4), QStringLiteral("First"));
        const auto other = sameStore ? nullptr : place->open();
        store::SurveyStore& second = sameStore ? *first : *other;
        try {
            second.beginSurvey(headerOf("050302-A", "Second"), QString());
            QFAIL("a second survey took the batch number");
        } catch (const store::DuplicateBatch& refused) {
            // Every backend says it in the same words, naming its database.
            QVERIFY2(
                refused.message().startsWith(QLatin1String("The database ")) &&
                    refused.message().endsWith(QLatin1String(" holds the batch number 050302-A already.")),
                qPrintable(refused.message()));
        }
        // The number stays free for nothing else of the refused survey, and
        // the store goes on working.
        addSurvey(second, QStringLiteral("050302-B"), randomVehicles(2, 3), QStringLiteral("Third"));
        QCOMPARE(listed(*place->open()), (QStringList{"050302-A First 4", "050302-B Third 3"}));
        QVERIFY(written(second, QStringLiteral("050302-A")) == randomVehicles(1, 4));
    }

    // A store of a file keeps what it found of the later tables only while
    // they cannot change: a survey it writes after another program brought
    // the file up to date, or after a file of the older layout took its
    // place, is stored whole and listed with its vehicles.
    void fileChangesUnderAnOpenStore_data()
    {
        QTest::addColumn<bool>("replaced"); // else brought up to date
        row("brought up to date by another program", false);
        row("replaced by a file of the older layout", true);
    }
    void fileChangesUnderAnOpenStore()
    {
        QFETCH(bool, replaced);
        test::TempProgramFolder folder;
        const QString path = folder.databasePath();
        // A batch number held twice keeps the file from being brought up to
        // date when the store opens it.
        if (!replaced)
            test::writeOlderDatabase(path, {"040302-A", "040302-A"});
        const auto store = store::openStore({path});
        store->listSurveys();
        if (replaced) {
            test::writeOlderDatabase(path + ".older", {});
            QVERIFY(QFile::remove(path) && QFile::rename(path + ".older", path));
        } else {
            test::executeOnFile(path, "DELETE FROM Header WHERE rowid = (SELECT max(rowid) FROM Header)");
            store::openStore({path});
        }
        const std::vector<Vehicle> vehicles = randomVehicles(2, 3);
        const auto writer = store->beginSurvey(headerOf("050302-B"), QString());
        writeVehicles(*writer, vehicles);
        writer->commit(summaryOf("050302-B", vehicles), std::nullopt);
        QVERIFY(listed(*store::openStore({path})).contains("050302-B Main St 3"));
    }

    void deleteRemovesOneSurvey_data()
    {
        QTest::addColumn<int>("backend");
        QTest::addColumn<QString>("batch");
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<qint64>("vehicles"); // deleted
        rowOnEach("the middle one", QStringLiteral("050302-B"),
                  QStringList{"050302-A Main St 3", "050302-C Main St 5"}, qint64(4));
        rowOnEach("letter case counts", QStringLiteral("050302-b"),
                  QStringList{"050302-A Main St 3", "050302-B Main St 4", "050302-C Main St 5"}, qint64(0));
        rowOnEach("not stored", QStringLiteral("123199-Z"),
                  QStringList{"050302-A Main St 3", "050302-B Main St 4", "050302-C Main St 5"}, qint64(0));
    }
    void deleteRemovesOneSurvey()
    {
        QFETCH(int, backend);
        QFETCH(QString, batch);
        QFETCH(QStringList, left);
        QFETCH(qint64, vehicles);
        const auto place = backends()[size_t(backend)].make();
        const auto store = place->open();
        for (int i = 0; i < 3; ++i)
            addSurvey(*store, QStringLiteral("050302-%1").arg(QChar(u'A' + i)),
                      randomVehicles(quint32(i), 3 + i));
        const store::DeletedSurvey deleted = store->deleteSurvey(batch);
        QCOMPARE(deleted.header, vehicles > 0);
        QCOMPARE(deleted.statistics, vehicles > 0);
        QCOMPARE(deleted.vehicles, vehicles);
        const auto other = place->open();
        QCOMPARE(listed(*other), left);
        for (const QString& survey : left) {
            const QString stored = survey.section(' ', 0, 0);
            QVERIFY(other->loadSurvey(stored).hasSummary);
            QCOMPARE(other->tally(stored)->vehicles(), survey.section(' ', -1).toLongLong());
        }
        const survey::SurveyRecord gone = other->loadSurvey(batch);
        QVERIFY(!gone.hasHeader && !gone.hasSummary);
        // A batch number without vehicles has no speeds to tell.
        const auto none = other->tally(batch);
        QCOMPARE(none->vehicles(), qint64(0));
        QCOMPARE(none->largestOffset(), qint64(0));
        QVERIFY(!none->averageSpeed() && !none->lowestSpeed() && !none->highestSpeed() &&
                !none->averageOver(0));
        // The number is free again.
        addSurvey(*other, batch, randomVehicles(9, 2));
        QCOMPARE(other->tally(batch)->vehicles(), qint64(2));
    }

    // A survey that is not committed leaves nothing behind: not its header,
    // vehicles or statistics, and its batch number stays free.
    void failedWriteLeavesNothing_data()
    {
        QTest::addColumn<int>("backend");
        QTest::addColumn<QString>("failure");
        rowOnEach("abandoned after the vehicles", QStringLiteral("abandoned"));
        rowOnEach("the database refuses writes", QStringLiteral("read-only"));
        // Only a file is held whole by one writer.
        row("SQLite file: another writer holds the database", 0, QStringLiteral("locked"));
    }
    void failedWriteLeavesNothing()
    {
        QFETCH(int, backend);
        QFETCH(QString, failure);
        const auto place = backends()[size_t(backend)].make();
        const auto store = place->open();
        addSurvey(*store, QStringLiteral("050302-A"), randomVehicles(1, 3));
        const QString batch = QStringLiteral("050302-B");
        if (failure == QLatin1String("abandoned")) {
            const auto writer = store->beginSurvey(headerOf(batch), QString());
            writeVehicles(*writer, randomVehicles(2, 50));
            QCOMPARE(writer->tally().vehicles(), qint64(50));
        } else if (failure == QLatin1String("locked")) {
            const auto holder = place->open();
            const auto held = holder->beginSurvey(headerOf(QStringLiteral("050302-C")), QString());
            try {
                store->beginSurvey(headerOf(batch), QString());
                QFAIL("a survey was begun while another writer held the database");
            } catch (const store::DuplicateBatch&) {
                QFAIL("a held database was taken for a duplicate batch number");
            } catch (const db::DbError& error) {
                QVERIFY2(error.engineCode() != 0, qPrintable(error.message()));
            }
        } else {
            const auto refusal = place->refuseWrites();
            if (!refusal)
                QSKIP("This machine cannot make the database refuse writes.");
            QVERIFY_THROWS_EXCEPTION(db::DbError, [&] {
                const auto writer = store->beginSurvey(headerOf(batch), QString());
                writeVehicles(*writer, randomVehicles(2, 50));
                writer->commit(summaryOf(batch, randomVehicles(2, 50)), std::nullopt);
            }());
        }
        const auto other = place->open();
        QCOMPARE(listed(*other), QStringList{"050302-A Main St 3"});
        QCOMPARE(other->tally(batch)->vehicles(), qint64(0));
        QVERIFY(!other->loadSurvey(batch).hasSummary);
        addSurvey(*other, batch, randomVehicles(3, 2));
        QCOMPARE(listed(*other), (QStringList{"050302-A Main St 3", "050302-B Main St 2"}));
    }

    // Each figure equals the one worked out here from the vehicles written,
    // for the survey being written and once it is stored, with another
    // survey's vehicles in the same database.
    void figuresMatchTheVehicles_data()
    {
        QTest::addColumn<int>("backend");
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("limit");
        QTest::addColumn<bool>(
            "unusual"); // speeds below 0 and over 1000, other directions, offsets out of order
        rowOnEach("three thousand vehicles", quint32(8), 3000, 55, false);
        rowOnEach("one vehicle", quint32(9), 1, 30, false);
        rowOnEach("all under the limit", quint32(10), 40, 200, false);
        rowOnEach("unusual vehicles", quint32(11), 400, 45, true);
    }
    void figuresMatchTheVehicles()
    {
        QFETCH(int, backend);
        QFETCH(quint32, seed);
        QFETCH(int, count);
        QFETCH(int, limit);
        QFETCH(bool, unusual);
        const auto place = backends()[size_t(backend)].make();
        const auto store = place->open();
        addSurvey(*store, QStringLiteral("050302-A"), randomVehicles(seed + 100, 500));
        std::vector<Vehicle> vehicles = randomVehicles(seed, count);
        if (unusual)
            for (int i = 0; i < count; ++i) {
                Vehicle& vehicle = vehicles[size_t(i)];
                if (i % 7 == 3)
                    vehicle.speed = -1 - i % 4;
                else if (i % 11 == 5)
                    vehicle.speed = 1020 + i % 9;
                else if (i % 13 == 6)
                    vehicle.speed = 100000 + i;
                if (i % 5 == 2)
                    vehicle.direction = i % 2 ? "ab" : "x";
                if (i == count / 2)
                    vehicle.offset = vehicles.back().offset + 3600; // the largest, mid-way
            }
        // Each figure of the store beside the same figure worked out here.
        const auto countIf = [&](const std::function<bool(const Vehicle&)>& test) {
            return QString::number(std::count_if(vehicles.begin(), vehicles.end(), test));
        };
        const auto averageOver = [&](qint64 above) {
            double sum = 0;
            qint64 n = 0;
            for (const Vehicle& vehicle : vehicles)
                if (vehicle.speed > above) {
                    sum += double(vehicle.speed);
                    ++n;
                }
            return n == 0 ? std::nullopt : std::optional<double>(sum / double(n));
        };
        const auto text = [](std::optional<double> value) {
            return value ? QString::number(*value, 'g', 15) : QStringLiteral("none");
        };
        const auto by = [](auto field) {
            return [field](const Vehicle& a, const Vehicle& b) {
                return a.*field < b.*field;
            };
        };
        const auto [slowest, fastest] =
            std::minmax_element(vehicles.begin(), vehicles.end(), by(&Vehicle::speed));
        const double low = *averageOver(LLONG_MIN) - 5.05, high = *averageOver(LLONG_MIN) + 4.95;
        const auto describe = [&](store::SpeedTally& figures) {
            QStringList shown{QString::number(figures.countAtMost(limit)),
                              QString::number(figures.countOver(limit)),
                              text(figures.averageOver(limit)),
                              text(figures.averageSpeed()),
                              QString::number(figures.lowestSpeed().value_or(-1)),
                              QString::number(figures.highestSpeed().value_or(-1)),
                              QString::number(figures.countWithin(low, high)),
                              QString::number(figures.vehicles()),
                              QString::number(figures.countTravelling(store::Travel::Approaching)),
                              QString::number(figures.countTravelling(store::Travel::Receding)),
                              QString::number(figures.countTravelling(store::Travel::Unknown)),
                              QString::number(figures.largestOffset())};
            for (int band = 0; band < 5; ++band)
                shown << QString::number(figures.countInBand(limit, band * 5, limit + (band + 1) * 5));
            return shown << QString::number(figures.countBeyond(limit + 25));
        };
        QStringList expected{
            countIf([&](const Vehicle& v) { return v.speed <= limit; }),
            countIf([&](const Vehicle& v) { return v.speed > limit; }),
            text(averageOver(limit)),
            text(averageOver(LLONG_MIN)),
            QString::number(slowest->speed),
            QString::number(fastest->speed),
            countIf([&](const Vehicle& v) { return v.speed >= low && v.speed <= high; }),
            QString::number(count),
            countIf([](const Vehicle& v) { return v.direction == "+"; }),
            countIf([](const Vehicle& v) { return v.direction == "-"; }),
            countIf([](const Vehicle& v) { return v.direction == "?"; }),
            QString::number(
                std::max_element(vehicles.begin(), vehicles.end(), by(&Vehicle::offset))->offset)};
        for (int band = 0; band < 5; ++band)
            expected << countIf([&](const Vehicle& v) {
                return v.speed > limit + band * 5 && v.speed <= limit + (band + 1) * 5;
            });
        expected << countIf([&](const Vehicle& v) { return v.speed > limit + 25; });

        const QString batch = QStringLiteral("050302-B");
        const auto writer = store->beginSurvey(headerOf(batch), QString());
        writeVehicles(*writer, vehicles);
        QCOMPARE(describe(writer->tally()), expected);
        // The server checks the statistics and the site's figures against
        // these vehicles, the unusual ones too.
        const survey::SummaryRow summary = summaryOf(batch, vehicles);
        writer->commit(summary, placementOf(headerOf(batch), summary, vehicles));
        const auto other = place->open();
        QCOMPARE(describe(*other->tally(batch)), expected);
    }

    void scanVehicles_data()
    {
        QTest::addColumn<int>("backend");
        QTest::addColumn<bool>("clockOrder");
        QTest::addColumn<int>("stopAfter"); // 0: the whole survey
        rowOnEach("stored order", false, 0);
        rowOnEach("stored order, stopped", false, 750);
        rowOnEach("clock order", true, 0);
        rowOnEach("clock order, stopped", true, 1);
    }
    // A scan visits the survey's own vehicles (not those of a neighbour or
    // of a batch number differing by case) in the order asked, and stops
    // when told; the counts by speed and by clock are those of the same
    // vehicles counted here.
    void scanVehicles()
    {
        QFETCH(int, backend);
        QFETCH(bool, clockOrder);
        QFETCH(int, stopAfter);
        const auto place = backends()[size_t(backend)].make();
        const auto store = place->open();
        const std::vector<Vehicle> vehicles = randomVehicles(20260301, 2000, true);
        addSurvey(*store, QStringLiteral("O'NEIL-A"), vehicles);
        addSurvey(*store, QStringLiteral("O'NEIL-B"), randomVehicles(7, 300, true));
        addSurvey(*store, QStringLiteral("o'neil-a"), randomVehicles(8, 300, true));

        QStringList read;
        std::vector<std::pair<QDate, int>> clock;
        // Read through a store of its own, which then counts: a scan stopped
        // early leaves its connection ready for the next query.
        const auto reader = place->open();
        reader->scanVehicles(QStringLiteral("O'NEIL-A"),
                             clockOrder ? store::VehicleOrder::Clock : store::VehicleOrder::Stored,
                             [&](const store::VehicleRow& row) {
                                 read << readBack(row);
                                 clock.emplace_back(row.date, row.secondOfDay);
                                 return stopAfter == 0 || read.size() < stopAfter;
                             });
        QStringList stored;
        std::map<qint64, qint64> bySpeed;
        std::map<std::pair<QDate, int>, qint64> byClock;
        for (const Vehicle& vehicle : vehicles) {
            stored << readBack(vehicle);
            ++bySpeed[vehicle.speed];
            ++byClock[{QDate(2002, 5, 3).addDays(vehicle.offset / 86400),
                       int(vehicle.offset % 86400 / 60 * 60)}];
        }
        QCOMPARE(read.size(), stopAfter ? stopAfter : int(vehicles.size()));
        if (!clockOrder) {
            QCOMPARE(read, stored.mid(0, read.size()));
        } else {
            QVERIFY(std::is_sorted(clock.begin(), clock.end()));
            if (stopAfter == 0) {
                read.sort();
                stored.sort();
                QCOMPARE(read, stored);
            }
        }

        std::map<qint64, qint64> speeds;
        for (const store::SpeedCount& count : reader->speedCounts(QStringLiteral("O'NEIL-A")))
            speeds[count.speed] = count.count;
        QCOMPARE(speeds, bySpeed);
        std::map<std::pair<QDate, int>, qint64> times;
        for (const store::TimeCount& count : reader->timeCounts(QStringLiteral("O'NEIL-A")))
            times[{count.date, count.secondOfDay}] = count.count;
        QCOMPARE(times, byClock);
        QVERIFY(reader->speedCounts(QStringLiteral("O'NEIL-C")).empty());
        QVERIFY(reader->timeCounts(QStringLiteral("O'NEIL-C")).empty());
    }

    // A vehicle whose stored clock time or date was damaged ends a read with
    // a message that names the file and quotes the text; the counts by
    // speed do not read the clock. The damage is done to the file itself.
    void damagedClockIsTold_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        row("time", "Time", "25:00:00");
        row("time without minutes", "Time", "noon");
        row("date", "Date", "2026-02-30");
    }
    void damagedClockIsTold()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        test::TempProgramFolder folder;
        const auto store = store::openStore(folder.database());
        addSurvey(*store, QStringLiteral("050302-A"), {{60, "+", 30}, {120, "-", 30}, {180, "?", 30}});
        db::Connection(folder.database())
            .executeUnlogged(QStringLiteral("UPDATE Veh_Data SET \"%1\" = '%2' WHERE rowid = "
                                            "(SELECT max(rowid) FROM Veh_Data)")
                                 .arg(field, text));
        const std::function<void()> reads[] = {
            [&] {
                store->scanVehicles(QStringLiteral("050302-A"), store::VehicleOrder::Stored,
                                    [](const auto&) { return true; });
            },
            [&] {
                store->scanVehicles(QStringLiteral("050302-A"), store::VehicleOrder::Clock,
                                    [](const auto&) { return true; });
            },
            [&] { store->timeCounts(QStringLiteral("050302-A")); },
        };
        for (const auto& read : reads) {
            const QString told = test::dbErrorOf(read);
            QVERIFY2(told.contains(db::displayPath(folder.databasePath())) &&
                         told.contains(QLatin1Char('"') + text + QLatin1Char('"')),
                     qPrintable(told));
        }
        QCOMPARE(store->speedCounts(QStringLiteral("050302-A")).front().count, 3);
    }

    // The server, not the program, decides what each group role may do:
    // an officer imports and reads, an administrator also deletes surveys
    // and edits the name lists. A refusal changes nothing.
    void serverRolesDecide_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("operation");
        QTest::addColumn<bool>("allowed");
        for (const char* user : {"officer1", "admin1"}) {
            const bool admin = qstrcmp(user, "admin1") == 0;
            for (const char* operation : {"import", "read names", "add name", "delete survey"}) {
                const bool allowed =
                    admin || qstrcmp(operation, "import") == 0 || qstrcmp(operation, "read names") == 0;
                row((QByteArray(user) + ": " + operation).constData(), QString::fromLatin1(user),
                    QString::fromLatin1(operation), allowed);
            }
        }
    }
    void serverRolesDecide()
    {
        QFETCH(QString, user);
        QFETCH(QString, operation);
        QFETCH(bool, allowed);
        ServerPlace place;
        const auto admin = place.open();
        addSurvey(*admin, QStringLiteral("050302-A"), randomVehicles(1, 5));
        admin->addName(store::NameList::Agencies, QStringLiteral("Town Police"));
        const auto store = place.openAs(user);
        QVERIFY(store->capabilities().deleteSurveys == (user == QLatin1String("admin1")));
        QVERIFY(!store->capabilities().fileMaintenance);
        QStringList surveys{"050302-A Main St 5"};
        QStringList agencies{"Town Police"};
        try {
            if (operation == QLatin1String("import")) {
                addSurvey(*store, QStringLiteral("050302-B"), randomVehicles(2, 3));
                surveys << QStringLiteral("050302-B Main St 3");
            } else if (operation == QLatin1String("read names")) {
                QCOMPARE(namesOf(store->names(store::NameList::Agencies)), agencies);
            } else if (operation == QLatin1String("add name")) {
                store->addName(store::NameList::Agencies, QStringLiteral("County"));
                agencies << QStringLiteral("County");
            } else {
                QCOMPARE(store->deleteSurvey(QStringLiteral("050302-A")).vehicles, qint64(5));
                surveys.clear();
            }
            QVERIFY2(allowed, "the server let a role do what it may not");
        } catch (const db::DbError& error) {
            QVERIFY2(!allowed, qPrintable(error.message()));
            QCOMPARE(error.failure(), db::Failure::NotAllowed);
            if (operation == QLatin1String("delete survey"))
                QCOMPARE(error.message(),
                         QStringLiteral("Only an administrator of the agency database can delete surveys."));
        }
        QCOMPARE(listed(*admin), surveys);
        QCOMPARE(namesOf(admin->names(store::NameList::Agencies)), agencies);
    }

    // A server that cannot be used is named in the message (never with the
    // password) with what to do.
    void serverOpenFailuresAreTold_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("told");
        row("nothing listens on the port", "no server", "Check the server's address");
        row("an unknown user", "no user", "refused the password or the user \"nobody\"");
        row("a database not set up", "not set up", "pelmor-cli --server URL server init");
    }
    void serverOpenFailuresAreTold()
    {
        QFETCH(QString, failure);
        QFETCH(QString, told);
        QString connection;
        if (failure == QLatin1String("no server")) {
            connection = QStringLiteral("host=127.0.0.1 port=%1 dbname=traffic user=admin1 password=s3cret "
                                        "connect_timeout=5")
                             .arg(test::freeLocalPort());
        } else if (failure == QLatin1String("no user")) {
            connection = testServer().connectionString(QLatin1String(kTemplate), QStringLiteral("nobody")) +
                         QStringLiteral(" password=s3cret");
        } else {
            const QString database = testServer().createDatabase();
            QVERIFY2(!database.isEmpty(), qPrintable(testServer().error()));
            connection = testServer().connectionString(database) + QStringLiteral(" password=s3cret");
        }
        const QString message = test::dbErrorOf([&] { store::openStore({{}, connection}); });
        QVERIFY2(message.contains(told) && message.contains(QLatin1String("127.0.0.1")) &&
                     !message.contains(QLatin1String("s3cret")),
                 qPrintable(message));
    }

    // The server ends the connection of a writer halfway through its
    // vehicles: the writer is told the connection was lost, nothing of the
    // survey is stored, and its batch number stays free.
    void lostConnectionSavesNothing()
    {
        ServerPlace place;
        const auto store = place.open();
        const auto writer = store->beginSurvey(headerOf(QStringLiteral("050302-A")), QString());
        writeVehicles(*writer, randomVehicles(3, 20000));
        const QString killed = testServer().execute(
            QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = '%1' AND "
                           "usename = 'admin1'")
                .arg(place.database()));
        QVERIFY2(killed.isEmpty(), qPrintable(killed));
        const QString told = test::dbErrorOf([&] {
            writeVehicles(*writer, randomVehicles(4, 20000));
            writer->commit(summaryOf(QStringLiteral("050302-A"), {}), std::nullopt);
        });
        QVERIFY2(told.contains(QLatin1String("was lost")) && told.contains(place.database()),
                 qPrintable(told));
        const auto other = place.open();
        QCOMPARE(listed(*other), QStringList());
        QCOMPARE(other->tally(QStringLiteral("050302-A"))->vehicles(), qint64(0));
        addSurvey(*other, QStringLiteral("050302-A"), randomVehicles(5, 3));
        QCOMPARE(listed(*other), QStringList{"050302-A Main St 3"});
    }

    // A store's connection serves the next store of the same login, never
    // another login's, and one the server ended meanwhile is not handed out.
    void serverConnectionsAreReused()
    {
        ServerPlace place;
        addSurvey(*place.open(), QStringLiteral("050302-A"), randomVehicles(1, 3));
        for (int store = 0; store < 3; ++store) {
            QCOMPARE(place.open()->capabilities().deleteSurveys, std::optional<bool>(true));
            QCOMPARE(place.openAs(QStringLiteral("officer1"))->capabilities().deleteSurveys,
                     std::optional<bool>(false));
        }
        const QString sessions =
            QStringLiteral("SELECT string_agg(usename, ' ' ORDER BY usename) FROM pg_stat_activity WHERE "
                           "datname = '%1'")
                .arg(place.database());
        QCOMPARE(testServer().query(sessions).trimmed(), QStringLiteral("admin1 officer1"));
        const QString killed = testServer().execute(
            QStringLiteral("SELECT pg_terminate_backend(pid, 10000) FROM pg_stat_activity WHERE datname = "
                           "'%1'")
                .arg(place.database()));
        QVERIFY2(killed.isEmpty(), qPrintable(killed));
        QCOMPARE(listed(*place.open()), QStringList{"050302-A Main St 3"});
    }

    // Writers of different surveys on a server do not wait for each other:
    // a survey is stored whole while another writer holds one open, and
    // the one held open is stored whole after it.
    void serverWritersWorkSideBySide()
    {
        ServerPlace place;
        const auto holder = place.open();
        const std::vector<Vehicle> held = randomVehicles(1, 3000);
        const auto writer = holder->beginSurvey(headerOf(QStringLiteral("050302-C")), QString());
        writeVehicles(*writer, held);
        writer->tally(); // the vehicles have reached the server
        addSurvey(*place.open(), QStringLiteral("050302-B"), randomVehicles(2, 3));
        QCOMPARE(listed(*place.open()), QStringList{"050302-B Main St 3"});
        const survey::SummaryRow summary = summaryOf(QStringLiteral("050302-C"), held);
        writer->commit(summary, placementOf(headerOf(QStringLiteral("050302-C")), summary, held));
        QCOMPARE(listed(*place.open()), (QStringList{"050302-B Main St 3", "050302-C Main St 3000"}));
    }

    // Setting the server up again changes nothing of what it holds.
    void serverSetUpTwiceKeepsSurveys()
    {
        ServerPlace place;
        addSurvey(*place.open(), QStringLiteral("050302-A"), randomVehicles(1, 4));
        place.open()->addName(store::NameList::Officers, QStringLiteral("J. Smith"));
        store::initServer({{}, testServer().connectionString(place.database())});
        const auto store = place.open();
        QCOMPARE(listed(*store), QStringList{"050302-A Main St 4"});
        QCOMPARE(namesOf(store->names(store::NameList::Officers)), QStringList{"J. Smith"});
        addSurvey(*store, QStringLiteral("050302-B"), randomVehicles(2, 2));
        QCOMPARE(store->tally(QStringLiteral("050302-B"))->vehicles(), qint64(2));
    }

    void nameLists_data()
    {
        QTest::addColumn<int>("backend");
        QTest::addColumn<bool>("agencies");
        rowOnEach("agencies", true);
        rowOnEach("officers", false);
    }
    // Entries keep the ids the database gave them through renames and the
    // deletion of others; a second store on the same database sees every
    // committed change at once; the other list is left alone.
    void nameLists()
    {
        QFETCH(int, backend);
        QFETCH(bool, agencies);
        const store::NameList list = agencies ? store::NameList::Agencies : store::NameList::Officers;
        const store::NameList otherList = agencies ? store::NameList::Officers : store::NameList::Agencies;
        const auto place = backends()[size_t(backend)].make();
        const auto one = place->open();
        const auto two = place->open();
        QCOMPARE(one->names(list).size(), size_t(0));

        const store::NamedEntry county = one->addName(list, QStringLiteral("O'Brien's County"));
        const store::NamedEntry town = two->addName(list, QStringLiteral("Town Police"));
        const store::NamedEntry third = one->addName(list, QStringLiteral("Königsbrück"));
        QVERIFY(county.id != town.id && town.id != third.id && county.id != third.id);
        QCOMPARE(namesOf(two->names(list)), (QStringList{"O'Brien's County", "Town Police", "Königsbrück"}));

        QVERIFY(two->renameName(list, county.id, QStringLiteral("County Sheriff")));
        QVERIFY(one->deleteName(list, town.id));
        const std::vector<store::NamedEntry> left = two->names(list);
        QCOMPARE(namesOf(left), (QStringList{"County Sheriff", "Königsbrück"}));
        QCOMPARE(left[0].id, county.id);
        QCOMPARE(left[1].id, third.id);
        // What is gone cannot be renamed or deleted again.
        QVERIFY(!two->renameName(list, town.id, QStringLiteral("Ghost")));
        QVERIFY(!two->deleteName(list, town.id));
        QCOMPARE(namesOf(one->names(list)), namesOf(left));
        QCOMPARE(one->names(otherList).size(), size_t(0));
    }

    void sites_data()
    {
        QTest::addColumn<int>("backend");
        rowOnEach("surveys at sites");
    }
    // A survey goes to the site its location and direction lead to, whoever
    // stores it; merging moves a site's surveys and keys; a survey split
    // off keeps a site of its own while new surveys of its key go to the
    // old one; a survey stored without a site is placed later and keeps
    // its figures once placed; deletion takes a survey's entry with it. On
    // a server an officer does all of it but the deletion.
    void sites()
    {
        QFETCH(int, backend);
        const auto place = backends()[size_t(backend)].make();
        ServerPlace* server = dynamic_cast<ServerPlace*>(place.get());
        const auto admin = place->open();
        const auto one = server ? server->openAs(QStringLiteral("officer1")) : place->open();
        const auto two = server ? server->openAs(QStringLiteral("officer1")) : place->open();
        addSurvey(*one, QStringLiteral("050302-A"), randomVehicles(1, 3), QStringLiteral("Elm St"));
        addSurvey(*two, QStringLiteral("050302-B"), randomVehicles(2, 4), QStringLiteral("Elm Street"));
        addSurvey(*one, QStringLiteral("050302-C"), randomVehicles(3, 5), QStringLiteral("Elm Street"));
        addSurvey(*two, QStringLiteral("050302-D"), randomVehicles(4, 6), QStringLiteral("ELM  st."));
        // The Header rows alone are those the survey list shows.
        QStringList headers;
        for (const survey::HeaderRow& header : one->listHeaders())
            headers << QStringLiteral("%1 %2").arg(header.batchNumber, header.location);
        QCOMPARE(headers,
                 listed(*two).replaceInStrings(QRegularExpression(QStringLiteral(" \\d+$")), QString()));

        std::map<QString, qint64> siteOf;
        const auto entries = [&siteOf](const auto& store) {
            QStringList found;
            for (const store::SiteSurvey& entry : store->siteSurveys()) {
                siteOf[entry.batchNumber] = entry.siteId;
                found << QStringLiteral("%1 %2").arg(entry.batchNumber).arg(entry.method);
            }
            return found;
        };
        QCOMPARE(entries(two), (QStringList{"050302-A 1", "050302-B 1", "050302-C 1", "050302-D 1"}));
        const qint64 elm = siteOf[QStringLiteral("050302-A")];
        const qint64 elmStreet = siteOf[QStringLiteral("050302-B")];
        QVERIFY(elm != elmStreet);
        QCOMPARE(siteOf[QStringLiteral("050302-C")], elmStreet);
        QCOMPARE(siteOf[QStringLiteral("050302-D")], elm);

        QVERIFY(one->setSiteCoordinates(elmStreet, 42.3601, -71.0589));
        QVERIFY(two->mergeSites(elm, elmStreet));
        QVERIFY(!two->mergeSites(elm, elmStreet)); // gone already
        addSurvey(*one, QStringLiteral("050302-E"), randomVehicles(5, 2), QStringLiteral("Elm St"));
        entries(one);
        QCOMPARE(siteOf[QStringLiteral("050302-E")], elmStreet);
        const std::vector<store::Site> left = one->sites();
        QCOMPARE(left.size(), size_t(1));
        QCOMPARE(left[0].name, QStringLiteral("Elm Street"));
        QCOMPARE(left[0].latitude.value_or(0), 42.3601);
        QCOMPARE(left[0].longitude.value_or(0), -71.0589);

        const qint64 own = two->splitSurvey(QStringLiteral("050302-C"));
        QVERIFY(own != 0 && own != elmStreet);
        QCOMPARE(two->splitSurvey(QStringLiteral("123199-Z")), 0);
        addSurvey(*two, QStringLiteral("050302-F"), randomVehicles(6, 2), QStringLiteral("Elm Street"));
        entries(one);
        QCOMPARE(siteOf[QStringLiteral("050302-C")], own);
        QCOMPARE(siteOf[QStringLiteral("050302-F")], elmStreet);
        QVERIFY(!one->setSiteCoordinates(elm, 1, 1));

        // Stored without a site, placed later; placed again, it keeps its
        // site and figures.
        const std::vector<Vehicle> vehicles = randomVehicles(7, 9);
        const survey::HeaderRow header = headerOf(QStringLiteral("050302-G"), QStringLiteral("Oak Ave"));
        const survey::SummaryRow summary = summaryOf(header.batchNumber, vehicles);
        {
            const auto writer = one->beginSurvey(header, QString());
            writeVehicles(*writer, vehicles);
            writer->commit(summary, std::nullopt);
        }
        QCOMPARE(entries(two).size(), 6);
        const qint64 oak = two->placeStoredSurvey(header.batchNumber, placementOf(header, summary, vehicles));
        QVERIFY(oak != 0 && oak != elmStreet && oak != own);
        QCOMPARE(one->placeStoredSurvey(header.batchNumber, placementOf(header, summary, vehicles)), oak);
        QCOMPARE(one->placeStoredSurvey(QStringLiteral("123199-Z"), placementOf(header, summary, vehicles)),
                 0);

        admin->deleteSurvey(QStringLiteral("050302-B"));
        QCOMPARE(entries(two), (QStringList{"050302-A 1", "050302-C 1", "050302-D 1", "050302-E 1",
                                            "050302-F 1", "050302-G 1"}));
    }

    // Stores that meet one new key at the same moment make one site.
    void racingStoresMakeOneSite_data() { sites_data(); }
    void racingStoresMakeOneSite()
    {
        QFETCH(int, backend);
        const auto place = backends()[size_t(backend)].make();
        std::vector<std::unique_ptr<store::SurveyStore>> stores;
        for (int i = 0; i < 4; ++i)
            stores.push_back(place->open());
        for (int round = 0; round < 5; ++round) {
            const QString key = QStringLiteral("street %1|north").arg(round);
            std::atomic<bool> go{false};
            std::vector<std::thread> threads;
            for (size_t i = 0; i < stores.size(); ++i)
                threads.emplace_back([&, i] {
                    while (!go)
                        std::this_thread::yield();
                    addSurvey(*stores[i],
                              QStringLiteral("0503%1-%2").arg(round, 2, 10, QLatin1Char('0')).arg(i),
                              randomVehicles(quint32(round * 10 + int(i)), 20),
                              QStringLiteral("Street %1").arg(round));
                });
            go = true;
            for (std::thread& thread : threads)
                thread.join();
        }
        std::map<qint64, int> surveysAt;
        for (const store::SiteSurvey& entry : stores[0]->siteSurveys())
            ++surveysAt[entry.siteId];
        QCOMPARE(stores[0]->sites().size(), size_t(5));
        QCOMPARE(surveysAt.size(), size_t(5));
        for (const auto& [site, surveys] : surveysAt)
            QCOMPARE(surveys, int(stores.size()));
    }
};

QTEST_GUILESS_MAIN(TstSurveyStore)
#include "tst_surveystore.moc"
