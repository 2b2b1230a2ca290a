#include "TestSupport.h"
#include "acquisition/widgets/LoadDataFile.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace pelmor;
using acquisition::LoadDataFile;
using Answer = ui::Messages::Answer;

class TstSavedFiles : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_folder = std::make_unique<QTemporaryDir>();
        m_messages = std::make_unique<test::RecordingMessages>();
        m_buffer = "SITE CODE 00415\r\n*\r\nDATA:\r\n0,+,31,++++****";
        m_window = std::make_unique<LoadDataFile>(m_folder->path(), m_buffer, *m_messages);
    }
    void loadModeReadsTheChosenFile()
    {
        writeFile(QStringLiteral("main street.rsx"), "saved download\r\n");
        for (const char* other : {"a.rsx", "notes.txt", "pelmor.mdb"})
            writeFile(QLatin1String(other), "x");
        QSignalSpy aboutToLoad(m_window.get(), &LoadDataFile::aboutToLoad);
        QSignalSpy loaded(m_window.get(), &LoadDataFile::loaded);
        QSignalSpy released(m_window.get(), &LoadDataFile::mainWindowReleased);
        // The buffer is emptied and filled only after the main window has left
        // the download state.
        connect(m_window.get(), &LoadDataFile::aboutToLoad, this, [&] { QVERIFY(!m_buffer.isEmpty()); });

        m_window->openForLoad();
        QVERIFY(m_window->isVisible());
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Load Radar Data File"));
        QCOMPARE(m_window->actionButton()->text(), QStringLiteral("Load File"));
        QCOMPARE(m_window->prompt(), QStringLiteral("Click on desired file to load"));
        QVERIFY(m_window->fileList()->isEnabled());
        QVERIFY(!m_window->deleteButton()->isEnabled());
        // Saved downloads only, in order of name.
        QCOMPARE(m_window->fileList()->count(), 2);
        QCOMPARE(m_window->fileList()->item(0)->text(), QStringLiteral("a.rsx"));

        clickFile(QStringLiteral("main street.rsx"));
        QCOMPARE(m_window->fileNameBox()->text(), QStringLiteral("main street.rsx"));
        QVERIFY(m_window->deleteButton()->isEnabled());
        QCOMPARE(m_window->findChild<QLabel*>(QStringLiteral("PathDisplay"))->text(),
                 QDir::toNativeSeparators(m_folder->path()) + QDir::separator());

        QTest::mouseClick(m_window->actionButton(), Qt::LeftButton);
        QCOMPARE(m_buffer, QByteArray("saved download\r\n"));
        QCOMPARE(aboutToLoad.count(), 1);
        QCOMPARE(loaded.count(), 1);
        QCOMPARE(released.count(), 1);
        QVERIFY(!m_window->isVisible());
        QVERIFY(m_messages->shown().empty());
    }
    void loadNeedsAName()
    {
        QSignalSpy loaded(m_window.get(), &LoadDataFile::loaded);
        m_window->openForLoad();
        QTest::mouseClick(m_window->actionButton(), Qt::LeftButton);
        QCOMPARE(m_messages->last(), QStringLiteral("You must first select a file to load."));
        QCOMPARE(m_messages->shown().back().title, QStringLiteral("Error"));
        QCOMPARE(loaded.count(), 0);
        QVERIFY(m_window->isVisible());
        QVERIFY(!m_buffer.isEmpty());
    }
    void unreadableFileLeavesEmptyBuffer()
    {
        writeFile(QStringLiteral("gone.rsx"), "x");
        QVERIFY(QDir(m_folder->path()).mkdir(QStringLiteral("folder.rsx")));
        for (const QString& name : {QStringLiteral("gone.rsx"), QStringLiteral("folder.rsx")}) {
            m_buffer = "previous download";
            m_window->openForLoad();
            m_window->fileNameBox()->setText(name);
            QFile::remove(path(QStringLiteral("gone.rsx")));
            QSignalSpy loaded(m_window.get(), &LoadDataFile::loaded);
            m_window->act();
            QCOMPARE(loaded.count(), 1);
            QVERIFY(m_buffer.isEmpty());
            QVERIFY(m_messages->shown().empty());
        }
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
        QSignalSpy released(m_window.get(), &LoadDataFile::mainWindowReleased);
        m_window->openForSave();
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Save Radar Data File"));
        QCOMPARE(m_window->actionButton()->text(), QStringLiteral("Save File"));
        QCOMPARE(m_window->prompt(), QStringLiteral("Type <filename> to save file"));
        QVERIFY(!m_window->fileList()->isEnabled());
        QVERIFY(!m_window->deleteButton()->isEnabled());
        QTest::keyClicks(m_window->fileNameBox(), typed);
        QTest::mouseClick(m_window->actionButton(), Qt::LeftButton);
        QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files | QDir::Hidden), QStringList{file});
        QCOMPARE(readFile(file), m_buffer + "\r\n");
        QCOMPARE(released.count(), 1);
        QVERIFY(!m_window->isVisible());
    }
    void replacingNeedsConsent()
    {
        writeFile(QStringLiteral("survey.rsx"), "old");
        m_window->openForSave();
        m_window->fileNameBox()->setText(QStringLiteral("survey"));
        m_messages->script(Answer::No);
        m_window->act();
        const auto& question = m_messages->shown().back();
        QCOMPARE(question.text, QStringLiteral("This file already exists!\nDo you want to replace it?"));
        QCOMPARE(question.title, QStringLiteral("File Error"));
        QCOMPARE(question.buttons, ui::Messages::Buttons::YesNo);
        QCOMPARE(question.icon, ui::Messages::Icon::Warning);
        QCOMPARE(readFile(QStringLiteral("survey.rsx")), QByteArray("old"));
        QVERIFY(m_window->isVisible());
        QCOMPARE(m_window->fileNameBox()->text(), QStringLiteral("survey.rsx"));

        m_messages->script(Answer::Yes);
        m_window->act();
        QCOMPARE(readFile(QStringLiteral("survey.rsx")), m_buffer + "\r\n");
        QVERIFY(!m_window->isVisible());
    }
    void deleteAsksFirst()
    {
        writeFile(QStringLiteral("old.rsx"), "x");
        writeFile(QStringLiteral("keep.rsx"), "x");
        QSignalSpy released(m_window.get(), &LoadDataFile::mainWindowReleased);
        m_window->openForLoad();
        clickFile(QStringLiteral("old.rsx"));
        m_messages->script(Answer::Cancel);
        QTest::mouseClick(m_window->deleteButton(), Qt::LeftButton);
        const auto& question = m_messages->shown().back();
        QCOMPARE(question.text, QStringLiteral("Are you sure you want to delete -\r\nold.rsx"));
        QCOMPARE(question.title, QStringLiteral("delete file"));
        QCOMPARE(question.buttons, ui::Messages::Buttons::OkCancel);
        QVERIFY(QFile::exists(path(QStringLiteral("old.rsx"))));
        QCOMPARE(released.count(), 0);

        m_messages->script(Answer::Ok);
        QTest::mouseClick(m_window->deleteButton(), Qt::LeftButton);
        QVERIFY(!QFile::exists(path(QStringLiteral("old.rsx"))));
        QCOMPARE(m_window->fileList()->count(), 1);
        QCOMPARE(m_window->fileNameBox()->text(), QString());
        QCOMPARE(released.count(), 1);
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
            writeFile(QStringLiteral("survey.rsx"), "weeks of data");
        const QStringList before = QDir(m_folder->path()).entryList(QDir::Files | QDir::Hidden);
        QSignalSpy released(m_window.get(), &LoadDataFile::mainWindowReleased);
        {
            const test::ReadOnlyFolder readOnly(m_folder->path());
            if (!readOnly.isReadOnly())
                QSKIP("this machine cannot make a folder read-only");
            m_window->openForSave();
            m_window->fileNameBox()->setText(QStringLiteral("survey"));
            m_window->act();
            // The file named, the reason, and the window still open for another try.
            const QString told = m_messages->last();
            QVERIFY2(told.contains(QDir::toNativeSeparators(path(QStringLiteral("survey.rsx")))),
                     qPrintable(told));
            QVERIFY(m_window->isVisible());
            QCOMPARE(released.count(), 0);

            if (replacing) {
                m_window->openForLoad();
                clickFile(QStringLiteral("survey.rsx"));
                m_messages->script(Answer::Ok);
                m_window->deleteFile();
                QVERIFY2(m_messages->last().startsWith(QLatin1String("The file ")),
                         qPrintable(m_messages->last()));
            }
        }
        // Nothing half-written, nothing lost.
        QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files | QDir::Hidden), before);
        if (replacing)
            QCOMPARE(readFile(QStringLiteral("survey.rsx")), QByteArray("weeks of data"));
    }
    void everyWayOutReleasesTheMainWindow()
    {
        QSignalSpy released(m_window.get(), &LoadDataFile::mainWindowReleased);
        m_window->openForLoad();
        QTest::mouseClick(m_window->cancelButton(), Qt::LeftButton);
        QVERIFY(!m_window->isVisible());
        QCOMPARE(released.count(), 1);
        m_window->openForSave();
        m_window->close(); // the title bar's close button
        QVERIFY(!m_window->isVisible());
        QCOMPARE(released.count(), 2);
        // The window keeps its mode until the next opening sets it.
        QVERIFY(!m_window->isLoadMode());
    }

private:
    QString path(const QString& name) const { return QDir(m_folder->path()).filePath(name); }
    void writeFile(const QString& name, const QByteArray& content)
    {
        QFile file(path(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QByteArray readFile(const QString& name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void clickFile(const QString& name)
    {
        const auto items = m_window->fileList()->findItems(name, Qt::MatchExactly);
        QCOMPARE(items.size(), 1);
        m_window->fileList()->scrollToItem(items.first());
        const QRect rect = m_window->fileList()->visualItemRect(items.first());
        QTest::mouseClick(m_window->fileList()->viewport(), Qt::LeftButton, {}, rect.center());
    }

    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<test::RecordingMessages> m_messages;
    std::unique_ptr<LoadDataFile> m_window;
    QByteArray m_buffer;
};
QTEST_MAIN(TstSavedFiles)
#include "tst_savedfiles.moc"
