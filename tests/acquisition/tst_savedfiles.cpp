#include "TestSupport.h"
#include "WindowProbe.h"
#include "acquisition/widgets/LoadDataFile.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace pelmor;
using acquisition::LoadDataFile;
using Answer = ui::Messages::Answer;

// The saved-file window on a folder of its own, with what it signals to the
// main window recorded in order.
class TstSavedFiles : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_folder = std::make_unique<QTemporaryDir>();
        m_messages = std::make_unique<test::RecordingMessages>();
        m_buffer = "SITE CODE 00415\r\n*\r\nDATA:\r\n0,+,31,++++****";
        m_window = std::make_unique<LoadDataFile>(m_folder->path(), m_buffer, *m_messages);
        m_ui = test::WindowProbe(m_window.get());
        m_events.clear();
        // The buffer is emptied and filled only after the main window has left
        // the download state.
        connect(m_window.get(), &LoadDataFile::aboutToLoad, this,
                [this] { m_events << (m_buffer.isEmpty() ? "aboutToLoad, empty" : "aboutToLoad"); });
        connect(m_window.get(), &LoadDataFile::loaded, this, [this] { m_events << "loaded"; });
        connect(m_window.get(), &LoadDataFile::mainWindowReleased, this, [this] { m_events << "released"; });
        connect(m_window.get(), &LoadDataFile::saved, this,
                [this](const QString& path) { m_events << "saved " + QFileInfo(path).fileName(); });
    }
    void loadModeReadsTheChosenFile()
    {
        writeFile("main street.rsx", "saved download\r\n");
        for (const char* other : {"a.rsx", "notes.txt", "pelmor.mdb"})
            writeFile(other, "x");
        m_window->openForLoad();
        QVERIFY(m_window->isVisible() && m_window->fileList()->isEnabled());
        QCOMPARE((QStringList{m_window->windowTitle(), m_ui.text("File"), m_window->prompt()}),
                 (QStringList{"Load Radar Data File", "Load File", "Click on desired file to load"}));
        QVERIFY(!m_window->deleteButton()->isEnabled());
        // Saved downloads only, in order of name.
        QCOMPARE(m_ui.items("File1"), (QStringList{"a.rsx", "main street.rsx"}));

        QVERIFY(m_ui.clickItem("File1", "main street.rsx"));
        QCOMPARE(m_ui.text("FileName"), "main street.rsx");
        QVERIFY(m_window->deleteButton()->isEnabled());
        QCOMPARE(m_ui.text("PathDisplay"), QDir::toNativeSeparators(m_folder->path()) + QDir::separator());
        m_ui.click("File");
        QCOMPARE(m_buffer, "saved download\r\n");
        QCOMPARE(m_events, (QStringList{"aboutToLoad", "loaded", "released"}));
        QVERIFY(!m_window->isVisible());
        QVERIFY(m_messages->shown().empty());
    }
    void loadRefusesWhatIsNoDownload_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("told"); // %1 stands for the folder
        test::row("no name", "", "You must first select a file to load.");
        test::row("no such file", "nosuch.rsx",
                  "The file nosuch.rsx was not found in the folder %1.\n\nChoose a file from the list, or go "
                  "to the folder that holds it.");
        test::row("a folder", "folder.rsx",
                  "The file folder.rsx was not found in the folder %1.\n\nChoose a file from the list, or go "
                  "to the folder that holds it.");
        test::row(
            "empty file", "empty.rsx",
            "The file empty.rsx in the folder %1 is empty: it holds no download.\n\nChoose another file.");
        // Refused for its size before it is read.
        test::row(
            "2 GB", "huge.rsx",
            "The file huge.rsx in the folder %1 cannot be read: it is 2.0 GB, more than the 64.0 MB of the "
            "largest download the program takes (about 3,000,000 vehicles).\n\nChoose another file.");
    }
    void loadRefusesWhatIsNoDownload()
    {
        QFETCH(QString, typed);
        QFETCH(QString, told);
        writeFile("empty.rsx", "");
        writeFile("huge.rsx", "");
        QVERIFY(QFile::resize(m_folder->filePath("huge.rsx"), qint64(2) << 30)); // sparse: no disk taken
        QVERIFY(QDir(m_folder->path()).mkdir("folder.rsx"));
        const QByteArray before = m_buffer;
        m_window->openForLoad();
        m_window->fileNameBox()->setText(typed);
        m_ui.click("File");
        QCOMPARE(m_messages->last(), QString(told).replace("%1", QDir::toNativeSeparators(m_folder->path())));
        QCOMPARE(m_messages->shown().back().title, "Error");
        // The download on hand stays, and so does the window.
        QVERIFY(m_events.isEmpty() && m_window->isVisible());
        QCOMPARE(m_buffer, before);
    }
    void doubleClickLoads()
    {
        writeFile("main street.rsx", "saved download\r\n");
        m_window->openForLoad();
        QVERIFY(m_ui.clickItem("File1", "main street.rsx", true));
        QCOMPARE(m_buffer, "saved download\r\n");
        QCOMPARE(m_events, (QStringList{"aboutToLoad", "loaded", "released"}));
        QVERIFY(!m_window->isVisible());
    }
    void browsesOtherFolders()
    {
        // A stick with a download in a folder of its own.
        QVERIFY(QDir(m_folder->path()).mkpath("stick/surveys"));
        writeFile("stick/surveys/away.rsx", "from the stick\r\n");
        writeFile("home.rsx", "x");
        m_window->openForLoad();
        QCOMPARE(m_window->folder(), m_folder->path());
        QVERIFY(m_ui.clickItem("Dir1", "stick", true));
        QCOMPARE(m_ui.items("Dir1"), (QStringList{"..", "surveys"}));
        QVERIFY(m_ui.items("File1").isEmpty());
        QVERIFY(m_ui.clickItem("Dir1", "surveys", true));
        QCOMPARE(m_ui.items("File1"), QStringList{"away.rsx"});
        QCOMPARE(m_ui.text("PathDisplay"),
                 QDir::toNativeSeparators(path("stick/surveys")) + QDir::separator());
        // Up again, and back down to load.
        QVERIFY(m_ui.clickItem("Dir1", "..", true));
        QVERIFY(m_ui.clickItem("Dir1", "..", true));
        QCOMPARE(m_ui.items("File1"), QStringList{"home.rsx"});
        m_window->setFolder(path("stick/surveys"));
        QVERIFY(m_ui.clickItem("File1", "away.rsx", true));
        QCOMPARE(m_buffer, "from the stick\r\n");

        // The drive list holds the drive of the folder shown, and leads to its top.
        m_window->openForLoad();
        auto* drives = m_window->driveList();
        const QString root = QStorageInfo(m_window->folder()).rootPath();
        QCOMPARE(drives->currentData().toString(), root);
        Q_EMIT drives->activated(drives->currentIndex());
        QCOMPARE(m_window->folder(), QDir::cleanPath(root));
    }
    void saveWritesBufferAndLineBreak_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("file");
        test::row("name without extension", "survey", "survey.rsx");
        test::row("already ends in .rsx", "survey.rsx", "survey.rsx");
        test::row("capital extension is not the extension", "survey.RSX", "survey.RSX.rsx");
        test::row("empty name", "", ".rsx");
    }
    void saveWritesBufferAndLineBreak()
    {
        QFETCH(QString, typed);
        QFETCH(QString, file);
        m_window->openForSave();
        QCOMPARE((QStringList{m_window->windowTitle(), m_ui.text("File"), m_window->prompt()}),
                 (QStringList{"Save Radar Data File", "Save File", "Type <filename> to save file"}));
        QVERIFY(!m_window->fileList()->isEnabled() && !m_window->deleteButton()->isEnabled());
        QTest::keyClicks(m_window->fileNameBox(), typed);
        m_ui.click("File");
        QCOMPARE(files(), QStringList{file});
        QCOMPARE(readFile(file), m_buffer + "\r\n");
        QCOMPARE(m_events, (QStringList{"saved " + file, "released"}));
        QVERIFY(!m_window->isVisible());
    }
    void replacingNeedsConsent()
    {
        writeFile("survey.rsx", "old");
        m_window->openForSave();
        m_window->fileNameBox()->setText("survey");
        m_messages->script(Answer::No);
        m_window->act();
        const auto& question = m_messages->shown().back();
        QCOMPARE(question.text,
                 "This file already exists!\nDo you want to replace it?\n\nThe download saved in "
                 "survey.rsx is then lost.");
        QCOMPARE(question.title, "File Error");
        QCOMPARE(question.buttons, ui::Messages::Buttons::YesNoDefaultNo);
        // No is the answer of a hasty Enter.
        QCOMPARE(question.icon, ui::Messages::Icon::Warning);
        QCOMPARE(readFile("survey.rsx"), "old");
        QVERIFY(m_window->isVisible());
        QCOMPARE(m_ui.text("FileName"), "survey.rsx");

        m_messages->script(Answer::Yes);
        m_window->act();
        QCOMPARE(readFile("survey.rsx"), m_buffer + "\r\n");
        QVERIFY(!m_window->isVisible());
    }
    void deleteAsksFirst()
    {
        writeFile("old.rsx", "x");
        writeFile("keep.rsx", "x");
        m_window->openForLoad();
        QVERIFY(m_ui.clickItem("File1", "old.rsx"));
        m_ui.click("DeleteFile");
        const auto& question = m_messages->shown().back();
        QCOMPARE(question.text, "Are you sure you want to delete -\r\nold.rsx");
        QCOMPARE(question.title, "delete file");
        QCOMPARE(question.buttons, ui::Messages::Buttons::OkCancelDefaultCancel);
        QCOMPARE(files(), (QStringList{"keep.rsx", "old.rsx"}));
        QVERIFY(m_events.isEmpty());

        m_messages->script(Answer::Ok);
        m_ui.click("DeleteFile");
        QCOMPARE(files(), QStringList{"keep.rsx"});
        QCOMPARE(m_ui.items("File1"), QStringList{"keep.rsx"});
        QCOMPARE(m_ui.text("FileName"), QString());
        QCOMPARE(m_events, QStringList{"released"});
        QVERIFY(m_window->isVisible());
    }
    void failuresAreToldAndLoseNothing_data()
    {
        QTest::addColumn<bool>("replacing"); // a file of that name exists already
        test::row("new file", false);
        test::row("replacing a file", true);
    }
    void failuresAreToldAndLoseNothing()
    {
        QFETCH(bool, replacing);
        if (replacing)
            writeFile("survey.rsx", "weeks of data");
        const QStringList before = files();
        {
            const test::ReadOnlyFolder readOnly(m_folder->path());
            if (!readOnly.isReadOnly())
                QSKIP("this machine cannot make a folder read-only");
            m_window->openForSave();
            m_window->fileNameBox()->setText("survey");
            if (replacing)
                m_messages->script(Answer::Yes);
            m_window->act();
            // The file named, the reason, and the window still open for another try.
            const QString told = m_messages->last();
            QVERIFY2(told.contains(QDir::toNativeSeparators(path("survey.rsx"))), qPrintable(told));
            QVERIFY(m_window->isVisible() && m_events.isEmpty());
            if (replacing) {
                m_window->openForLoad();
                QVERIFY(m_ui.clickItem("File1", "survey.rsx"));
                m_messages->script(Answer::Ok);
                m_window->deleteFile();
                QVERIFY2(m_messages->last().startsWith("The file "), qPrintable(m_messages->last()));
            }
        }
        // Nothing half-written, nothing lost.
        QCOMPARE(files(), before);
        if (replacing)
            QCOMPARE(readFile("survey.rsx"), "weeks of data");
    }
    void everyWayOutReleasesTheMainWindow()
    {
        m_window->openForLoad();
        m_ui.click("Cancel");
        QVERIFY(!m_window->isVisible());
        m_window->openForSave();
        m_window->close(); // the title bar's close button
        QVERIFY(!m_window->isVisible());
        QCOMPARE(m_events, (QStringList{"released", "released"}));
    }

private:
    QString path(const QString& name) const { return QDir(m_folder->path()).filePath(name); }
    QStringList files() const { return QDir(m_folder->path()).entryList(QDir::Files | QDir::Hidden); }
    void writeFile(const QString& name, const QByteArray& content)
    {
        QVERIFY(test::writeFile(path(name), content));
    }
    QByteArray readFile(const QString& name) const { return test::fileBytes(path(name)); }

    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<test::RecordingMessages> m_messages;
    std::unique_ptr<LoadDataFile> m_window;
    test::WindowProbe m_ui;
    QByteArray m_buffer;
    QStringList m_events;
};
QTEST_MAIN(TstSavedFiles)
#include "tst_savedfiles.moc"
