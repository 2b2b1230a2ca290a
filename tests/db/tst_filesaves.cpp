// Saving a file over what is there: a plain file is replaced whole, a
// symbolic link keeps being a link, a device or a named pipe is written
// through and never replaced, a full device is a failure with the system's
// reason. Every target is made for real in a folder of the test's own.
#include "SpecialFiles.h"
#include "TestSupport.h"
#include "db/DurableFiles.h"
#include "db/SafeFileWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace pelmor;
using pelmor::test::row;

namespace {

enum class Target { Missing, PlainFile, LinkToFile, DanglingLink, Pipe, NullDevice, FullDevice, Folder };

const QByteArray kOld("old content\n");
const QByteArray kNew("new content, longer than the old\n");

} // namespace

class TstFileSaves : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    void saveOverWhatIsThere_data()
    {
        QTest::addColumn<int>("target");
        QTest::addColumn<QString>("kindAfter"); // of the saved path, a link not followed
        QTest::addColumn<QString>("failure");   // a part of the message; empty: saved
        row("no file yet", int(Target::Missing), "file", "");
        row("plain file", int(Target::PlainFile), "file", "");
        row("link to a file", int(Target::LinkToFile), "link", "");
        row("link to no file yet", int(Target::DanglingLink), "link", "");
        row("named pipe", int(Target::Pipe), "pipe", "");
        row("null device", int(Target::NullDevice), "device 1,3", "");
        row("full device", int(Target::FullDevice), "device 1,7", "No space left on device");
        row("folder", int(Target::Folder), "folder", "cannot be written");
    }
    void saveOverWhatIsThere()
    {
        QFETCH(int, target);
        QFETCH(QString, kindAfter);
        QFETCH(QString, failure);
        const QString real = path("real.txt"); // what a link leads to
        QString saved = path("out.txt");
        std::unique_ptr<test::PipeReader> reader;
        switch (Target(target)) {
        case Target::Missing:
            break;
        case Target::PlainFile:
            QVERIFY(test::writeFile(saved, kOld));
            QVERIFY(QFile::setPermissions(saved, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
            break;
        case Target::LinkToFile:
            QVERIFY(test::writeFile(real, kOld));
            QVERIFY(QFile::link(QStringLiteral("real.txt"), saved));
            break;
        case Target::DanglingLink:
            QVERIFY(QFile::link(QStringLiteral("real.txt"), saved));
            break;
        case Target::Pipe:
            reader = std::make_unique<test::PipeReader>(saved);
            QVERIFY(reader->made());
            break;
        case Target::NullDevice:
        case Target::FullDevice:
            saved = test::makeDevice(saved, Target(target) == Target::NullDevice ? test::Device::Null
                                                                                 : test::Device::Full);
            if (saved.isEmpty())
                QSKIP("no device node can be made safely here");
            break;
        case Target::Folder:
            QVERIFY(QDir().mkdir(saved));
            break;
        }

        const QString message = db::saveFile(saved, [](QIODevice& file) {
            file.write(kNew);
            return QString();
        });
        if (failure.isEmpty()) {
            QVERIFY2(message.isEmpty(), qPrintable(message));
        } else {
            QVERIFY2(message.contains(failure), qPrintable(message));
            // The message names the file.
            QVERIFY2(message.contains(QDir::toNativeSeparators(saved)), qPrintable(message));
        }
        QCOMPARE(test::fileKind(saved), kindAfter);

        switch (Target(target)) {
        case Target::PlainFile:
            QCOMPARE(test::fileBytes(saved), kNew);
            // The new file keeps the permissions of the one it replaced.
            QCOMPARE(QFile::permissions(saved), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser |
                                                    QFile::WriteUser | QFile::ReadGroup);
            break;
        case Target::Missing:
            QCOMPARE(test::fileBytes(saved), kNew);
            break;
        case Target::LinkToFile:
        case Target::DanglingLink:
            QCOMPARE(test::fileKind(real), QStringLiteral("file"));
            QCOMPARE(test::fileBytes(real), kNew);
            QCOMPARE(QFileInfo(saved).symLinkTarget(), QFileInfo(real).absoluteFilePath());
            break;
        case Target::Pipe:
            QCOMPARE(reader->received(), kNew);
            break;
        default:
            break;
        }
        // No work file is left beside it, whatever happened.
        const QStringList left =
            QDir(m_dir->path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        QVERIFY2(left.filter(QStringLiteral("partial")).isEmpty(), qPrintable(left.join(' ')));
    }

    // A save that cannot finish leaves the file that was there as it was.
    void failedSaveKeepsTheOldFile_data()
    {
        QTest::addColumn<bool>("readOnlyFolder");
        QTest::addColumn<QString>("failure");
        row("the writer gives up", false, "the data ran out");
        row("the folder refuses new files", true, "cannot be written");
    }
    void failedSaveKeepsTheOldFile()
    {
        QFETCH(bool, readOnlyFolder);
        QFETCH(QString, failure);
        const QString saved = path("out.txt");
        QVERIFY(test::writeFile(saved, kOld));
        std::unique_ptr<test::ReadOnlyFolder> folder;
        if (readOnlyFolder) {
            folder = std::make_unique<test::ReadOnlyFolder>(m_dir->path());
            if (!folder->isReadOnly())
                QSKIP("the folder cannot be made read-only here");
        }
        const QString message = db::saveFile(saved, [](QIODevice& file) {
            file.write(kNew.left(5));
            return QStringLiteral("the data ran out");
        });
        QVERIFY2(message.contains(failure), qPrintable(message));
        folder.reset();
        QCOMPARE(test::fileBytes(saved), kOld);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"out.txt"});
    }

    // The renames of the maintenance work: a link at the final name keeps
    // being a link and its file is replaced; a pipe gets the content; a
    // second name for a linked file names the file, not the link.
    void replaceAndLinkFollowLinks()
    {
        const QString real = path("real.mdb");
        const QString linked = path("linked.mdb");
        QVERIFY(test::writeFile(real, kOld));
        QVERIFY(QFile::link(real, linked));

        const QString copy = path("copy.partial");
        QVERIFY(test::writeFile(copy, kNew));
        QString reason;
        QVERIFY2(db::replaceFile(copy, linked, &reason), qPrintable(reason));
        QCOMPARE(test::fileKind(linked), QStringLiteral("link"));
        QCOMPARE(test::fileBytes(real), kNew);
        QVERIFY(!QFileInfo::exists(copy));

        const QString second = path("second.mdb");
        QVERIFY2(db::linkFile(linked, second, &reason), qPrintable(reason));
        QCOMPARE(test::fileKind(second), QStringLiteral("file"));
        QVERIFY(test::writeFile(real, kOld)); // written in place: both names show it
        QCOMPARE(test::fileBytes(second), kOld);

        test::PipeReader reader(path("pipe"));
        QVERIFY(reader.made());
        QVERIFY(test::writeFile(copy, kNew));
        QVERIFY2(db::replaceFile(copy, path("pipe"), &reason), qPrintable(reason));
        QCOMPARE(reader.received(), kNew);
        QCOMPARE(test::fileKind(path("pipe")), QStringLiteral("pipe"));
        QVERIFY(!QFileInfo::exists(copy));
    }

private:
    QString path(const QString& name) const { return QDir(m_dir->path()).filePath(name); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(TstFileSaves)
#include "tst_filesaves.moc"
