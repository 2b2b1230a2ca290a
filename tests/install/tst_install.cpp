#include "TestSupport.h"
#include "db/Connection.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

using pelmor::test::row;
using Run = pelmor::test::ProgramRun;

namespace {

const QStringList kPrograms = {"pelmor", "pelmor-cli", "pelmor-web", "pelmor-loggen", "pelmor-signsim"};

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// The batch numbers stored in the database of `folder`; none when it holds
// no database.
QStringList storedBatches(const QString& folder)
{
    const QString database = QDir(folder).filePath(QStringLiteral("pelmor.mdb"));
    if (!QFileInfo::exists(database))
        return {};
    return pelmor::test::rowTexts(database, QStringLiteral("select Batch_Number from Header"));
}

QStringList agencies(const QString& database)
{
    return pelmor::test::rowTexts(database, QStringLiteral("select Admin_Agency from Agency"));
}

void addAgency(const QString& database, const QString& name)
{
    pelmor::db::Connection connection({database});
    connection.execute(QStringLiteral("INSERT INTO Agency (Admin_Agency) VALUES ('%1')").arg(name));
}

} // namespace

// The installed programs, run from a tree that `cmake --install` wrote, by a
// user whose home, data and settings folders are temporary ones.
class TstInstall : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_prefix.isValid());
        const Run install = pelmor::test::runProgram(
            QStringLiteral(PELMOR_CMAKE), {"--install", PELMOR_BUILD_DIR, "--prefix", m_prefix.path()});
        QVERIFY2(install.exitCode == 0, qPrintable(install.err));
        // The installed template carries a mark of its own, so that a
        // database made from it can be told from one written anew.
        addAgency(installedTemplate(), QStringLiteral("Installed template"));
        m_installedTemplate = pelmor::test::fileBytes(installedTemplate());
    }
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        m_environment = QProcessEnvironment::systemEnvironment();
        m_environment.insert(QStringLiteral("HOME"), home());
        m_environment.insert(QStringLiteral("XDG_DATA_HOME"), home() + QStringLiteral("/data"));
        m_environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home() + QStringLiteral("/config"));
        m_environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    }
    void cleanup()
    {
        for (const QString& file : filesIn(bin())) {
            if (!kPrograms.contains(file))
                QFile::remove(QDir(bin()).filePath(file));
        }
        QFile restored(installedTemplate());
        QVERIFY(restored.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(restored.write(m_installedTemplate), m_installedTemplate.size());
    }

    void installedProgramsStart_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("helpNames");
        row("the program", QStringLiteral("pelmor"), QStringLiteral("--db <DIR>"));
        row("the headless tool", QStringLiteral("pelmor-cli"),
            QStringLiteral("folder [--set DIR | --forget]"));
        row("the web view", QStringLiteral("pelmor-web"), QStringLiteral("--listen <ADDRESS:PORT>"));
        row("the log generator", QStringLiteral("pelmor-loggen"), QStringLiteral("--rsx"));
        row("the sign simulator", QStringLiteral("pelmor-signsim"), QStringLiteral("--pty"));
    }
    void installedProgramsStart()
    {
        QFETCH(QString, program);
        QFETCH(QString, helpNames);
        const Run help = pelmor::test::runProgram(QDir(bin()).filePath(program), {"--help"}, m_environment);
        QCOMPARE(help.exitCode, 0);
        QVERIFY2(help.out.contains(helpNames), qPrintable(help.out));
    }

    // The web view's systemd unit runs the installed program as its own
    // user, with the system out of its reach.
    void serviceUnit_data()
    {
        QTest::addColumn<QString>("line");
        row("the program installed", QStringLiteral("ExecStart=%1 --server ${PELMOR_SERVER} --listen "
                                                    "${PELMOR_LISTEN}"));
        row("its own user", QStringLiteral("User=pelmor"));
        row("no new privileges", QStringLiteral("NoNewPrivileges=yes"));
        row("the system read-only", QStringLiteral("ProtectSystem=strict"));
        row("no capabilities", QStringLiteral("CapabilityBoundingSet="));
    }
    void serviceUnit()
    {
        QFETCH(QString, line);
        const QString unit = QString::fromUtf8(pelmor::test::fileBytes(
            m_prefix.filePath(QStringLiteral("lib/systemd/system/pelmor-web.service"))));
        QVERIFY2(unit.split(QLatin1Char('\n')).contains(line.arg(QDir(bin()).filePath("pelmor-web"))),
                 qPrintable(unit));
    }

    // Where the database lives: beside the program where its folder holds
    // one and can be written, else in the user's data folder, made there
    // from the installed template.
    void databaseFolder_data()
    {
        QTest::addColumn<QString>("programFolder");
        row("installed, program folder read-only", QStringLiteral("read-only"));
        row("installed, program folder writable but without a database", QStringLiteral("writable"));
        row("portable, program folder holding the database", QStringLiteral("portable"));
    }
    void databaseFolder()
    {
        QFETCH(QString, programFolder);
        const bool portable = programFolder == QLatin1String("portable");
        if (portable)
            QCOMPARE(cli({"--db", bin(), "init"}).exitCode, 0);
        std::optional<pelmor::test::ReadOnlyFolder> readOnly;
        if (programFolder == QLatin1String("read-only")) {
            readOnly.emplace(bin());
            if (!readOnly->isReadOnly())
                QSKIP("The program folder cannot be made read-only here.");
        }

        const Run empty = cli({"surveys"});
        QVERIFY2(empty.exitCode == 0, qPrintable(empty.err));
        QCOMPARE(empty.out, QString());
        const Run imported = cli(importArguments());
        QVERIFY2(imported.exitCode == 0, qPrintable(imported.err));
        QCOMPARE(imported.out, QStringLiteral("2,947 records added"));
        QCOMPARE(cli({"surveys"}).out, QStringLiteral("050326-A"));

        const QString expected = portable ? bin() : dataFolder();
        QCOMPARE(storedBatches(expected), QStringList{"050326-A"});
        if (portable) {
            QVERIFY(!QFileInfo::exists(dataFolder()));
            return;
        }
        QVERIFY(!QFileInfo::exists(QDir(bin()).filePath("pelmor.mdb")));
        // The user's folder holds the database, its template and the sample
        // download, and no work file.
        QCOMPARE(filesIn(dataFolder()), (QStringList{"elm-street-2days.rsx", "pelmor.emp", "pelmor.mdb"}));
        QCOMPARE(agencies(QDir(dataFolder()).filePath("pelmor.mdb")), QStringList{"Installed template"});
        QCOMPARE(pelmor::test::fileBytes(QDir(dataFolder()).filePath("pelmor.emp")), m_installedTemplate);
    }

    // A newer installed template reaches the user's folder; the user's
    // database and the samples the user removed stay as they are.
    void newerInstalledTemplate()
    {
        QCOMPARE(cli(importArguments()).exitCode, 0);
        QVERIFY(QFile::remove(QDir(dataFolder()).filePath("elm-street-2days.rsx")));
        addAgency(installedTemplate(), QStringLiteral("Newer template"));

        QCOMPARE(cli({"surveys"}).out, QStringLiteral("050326-A"));
        QCOMPARE(pelmor::test::fileBytes(QDir(dataFolder()).filePath("pelmor.emp")),
                 pelmor::test::fileBytes(installedTemplate()));
        QCOMPARE(agencies(QDir(dataFolder()).filePath("pelmor.mdb")), QStringList{"Installed template"});
        QCOMPARE(filesIn(dataFolder()), (QStringList{"pelmor.emp", "pelmor.mdb"}));
    }

    // --db wins over the folder remembered for the user, which wins over
    // the default.
    void choiceOrder_data()
    {
        QTest::addColumn<bool>("option");
        QTest::addColumn<QString>("remembered"); // none, "set", or "forgotten" after being set
        QTest::addColumn<QString>("landsIn");
        row("nothing chosen", false, QString(), QStringLiteral("default"));
        row("remembered folder", false, QStringLiteral("set"), QStringLiteral("remembered"));
        row("--db over the remembered folder", true, QStringLiteral("set"), QStringLiteral("option"));
        row("--db alone", true, QString(), QStringLiteral("option"));
        row("remembered, then forgotten", false, QStringLiteral("forgotten"), QStringLiteral("default"));
    }
    void choiceOrder()
    {
        QFETCH(bool, option);
        QFETCH(QString, remembered);
        QFETCH(QString, landsIn);
        const QMap<QString, QString> folders = {{"option", home() + QStringLiteral("/option")},
                                                {"remembered", home() + QStringLiteral("/remembered")},
                                                {"default", dataFolder()}};
        QCOMPARE(cli({"--db", folders["option"], "init"}).exitCode, 0);
        QCOMPARE(cli({"--db", folders["remembered"], "init"}).exitCode, 0);
        if (!remembered.isEmpty())
            QCOMPARE(cli({"folder", "--set", folders["remembered"]}).exitCode, 0);
        if (remembered == QLatin1String("forgotten"))
            QCOMPARE(cli({"folder", "--forget"}).exitCode, 0);

        const QStringList chosen = option ? QStringList{"--db", folders["option"]} : QStringList();
        const Run imported = cli(chosen + importArguments());
        QVERIFY2(imported.exitCode == 0, qPrintable(imported.err));
        for (auto folder = folders.cbegin(); folder != folders.cend(); ++folder) {
            QCOMPARE(storedBatches(folder.value()),
                     folder.key() == landsIn ? QStringList{"050326-A"} : QStringList());
        }
        QCOMPARE(cli(chosen + QStringList{"folder"}).out.section(QLatin1Char('\n'), 0, 0), folders[landsIn]);
    }

    // The window program opens the database of the folder chosen, the
    // same way: a file of an older layout given to it is brought up to
    // date, the user's data folder gets a database made from the template.
    void windowOpensTheChosenDatabase_data()
    {
        QTest::addColumn<bool>("option");
        row("the user's data folder", false);
        row("--db", true);
    }
    void windowOpensTheChosenDatabase()
    {
        QFETCH(bool, option);
        const QString given = home() + QStringLiteral("/given");
        QCOMPARE(cli({"--db", given, "init"}).exitCode, 0);
        const QString givenFile = QDir(given).filePath("pelmor.mdb");
        const int current = pelmor::test::schemaVersionOf(givenFile);
        QVERIFY(QFile::remove(givenFile));
        pelmor::test::writeOlderDatabase(givenFile, {QStringLiteral("050326-A")});
        QVERIFY(pelmor::test::schemaVersionOf(givenFile) != current);
        QProcess window;
        window.setProcessEnvironment(m_environment);
        window.start(QDir(bin()).filePath("pelmor"), option ? QStringList{"--db", given} : QStringList());
        QVERIFY(window.waitForStarted());
        const QString expected = QDir(option ? given : dataFolder()).filePath("pelmor.mdb");
        QTRY_VERIFY_WITH_TIMEOUT(
            QFileInfo::exists(expected) && pelmor::test::schemaVersionOf(expected) == current, 60000);
        window.kill();
        window.waitForFinished();
        QCOMPARE(QFileInfo::exists(dataFolder()), !option);
    }

    // A folder that cannot be written stops the tool with a message that
    // names it and says what to do.
    void unwritableFolders_data()
    {
        QTest::addColumn<QString>("locked");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message"); // HOME stands for the user's home folder
        row("the data folder cannot be made", QStringLiteral("data"), QStringList{"surveys"},
            QStringLiteral("Cannot create the database folder HOME/data/Pelmor/Pelmor. Make sure you may "
                           "write there, or choose "
                           "another database folder with --db DIR."));
        row("the setting cannot be written", QStringLiteral("config"), QStringList{"folder", "--set", "/"},
            QStringLiteral(
                "Cannot write the setting file HOME/config/Pelmor/Pelmor.conf. Make sure you may write "
                "there, or give the folder with --db DIR each time."));
    }
    void unwritableFolders()
    {
        QFETCH(QString, locked);
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const QString folder = home() + QLatin1Char('/') + locked;
        QVERIFY(QDir().mkpath(folder));
        const pelmor::test::ReadOnlyFolder readOnly(folder);
        if (!readOnly.isReadOnly())
            QSKIP("The folder cannot be made read-only here.");
        const Run run = cli(arguments);
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err, message.replace(QStringLiteral("HOME"), home()));
    }

private:
    QString home() const { return m_home->path(); }
    QString bin() const { return m_prefix.filePath(QStringLiteral("bin")); }
    QString shared() const { return m_prefix.filePath(QStringLiteral("share/pelmor")); }
    QString installedTemplate() const { return QDir(shared()).filePath("pelmor.emp"); }
    // Where the user's database lives on this system.
    QString dataFolder() const { return home() + QStringLiteral("/data/Pelmor/Pelmor"); }
    QStringList importArguments() const
    {
        return {"import",      QDir(shared()).filePath("elm-street-2days.rsx"),
                "--location",  "Elm Street",
                "--direction", "North",
                "--zone",      "School"};
    }
    Run cli(const QStringList& arguments) const
    {
        return pelmor::test::runProgram(QDir(bin()).filePath("pelmor-cli"), arguments, m_environment);
    }

    QTemporaryDir m_prefix;
    QByteArray m_installedTemplate;
    std::unique_ptr<QTemporaryDir> m_home;
    QProcessEnvironment m_environment;
};

QTEST_GUILESS_MAIN(TstInstall)
#include "tst_install.moc"
