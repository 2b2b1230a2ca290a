#include "TestSupport.h"
#include "acquisition/SavedDownloads.h"
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
    void init();
    void savedNames_data();
    void savedNames();
    void listShowsSavedDownloadsOnly();
    void loadModeReadsTheChosenFile();
    void loadNeedsAName();
    void unreadableFileLeavesEmptyBuffer();
    void saveWritesBufferAndLineBreak_data();
    void saveWritesBufferAndLineBreak();
    void replacingNeedsConsent();
    void deleteAsksFirst();
    void everyWayOutReleasesTheMainWindow();

private:
    void writeFile(const QString& name, const QByteArray& content);
    QByteArray readFile(const QString& name) const;
    void clickFile(const QString& name);

    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<test::RecordingMessages> m_messages;
    std::unique_ptr<LoadDataFile> m_window;
    QByteArray m_buffer;
};

void TstSavedFiles::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    m_messages = std::make_unique<test::RecordingMessages>();
    m_buffer = "SITE CODE 00415\r\n*\r\nDATA:\r\n0,+,31,++++****";
    m_window = std::make_unique<LoadDataFile>(m_folder->path(), m_buffer, *m_messages);
}

void TstSavedFiles::writeFile(const QString& name, const QByteArray& content)
{
    QFile file(QDir(m_folder->path()).filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QByteArray TstSavedFiles::readFile(const QString& name) const
{
    QFile file(QDir(m_folder->path()).filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TstSavedFiles::clickFile(const QString& name)
{
    const auto items = m_window->fileList()->findItems(name, Qt::MatchExactly);
    QCOMPARE(items.size(), 1);
    m_window->fileList()->scrollToItem(items.first());
    const QRect rect = m_window->fileList()->visualItemRect(items.first());
    QTest::mouseClick(m_window->fileList()->viewport(), Qt::LeftButton, {}, rect.center());
}

void TstSavedFiles::savedNames_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("saved");
    QTest::newRow("plain name") << "elm street"
                                << "elm street.rsx";
    QTest::newRow("already ends in .rsx") << "elm.rsx"
                                          << "elm.rsx";
    QTest::newRow("capital extension is not the extension") << "elm.RSX"
                                                            << "elm.RSX.rsx";
    QTest::newRow("empty name") << ""
                                << ".rsx";
    QTest::newRow("other extension") << "elm.txt"
                                     << "elm.txt.rsx";
}

void TstSavedFiles::savedNames()
{
    QFETCH(QString, typed);
    QFETCH(QString, saved);
    QCOMPARE(acquisition::savedFileName(typed), saved);
}

void TstSavedFiles::listShowsSavedDownloadsOnly()
{
    writeFile(QStringLiteral("b.rsx"), "x");
    writeFile(QStringLiteral("a.rsx"), "x");
    writeFile(QStringLiteral("notes.txt"), "x");
    writeFile(QStringLiteral("pelmor.mdb"), "x");
    QCOMPARE(acquisition::listSavedDownloads(m_folder->path()),
             (QStringList{QStringLiteral("a.rsx"), QStringLiteral("b.rsx")}));
}

void TstSavedFiles::loadModeReadsTheChosenFile()
{
    writeFile(QStringLiteral("main street.rsx"), "saved download\r\n");
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
    QCOMPARE(m_window->fileList()->count(), 1);

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

void TstSavedFiles::loadNeedsAName()
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

void TstSavedFiles::unreadableFileLeavesEmptyBuffer()
{
    writeFile(QStringLiteral("gone.rsx"), "x");
    QVERIFY(QDir(m_folder->path()).mkdir(QStringLiteral("folder.rsx")));
    for (const QString& name : {QStringLiteral("gone.rsx"), QStringLiteral("folder.rsx")}) {
        m_buffer = "previous download";
        m_window->openForLoad();
        m_window->fileNameBox()->setText(name);
        QFile::remove(QDir(m_folder->path()).filePath(QStringLiteral("gone.rsx")));
        QSignalSpy loaded(m_window.get(), &LoadDataFile::loaded);
        m_window->act();
        QCOMPARE(loaded.count(), 1);
        QVERIFY(m_buffer.isEmpty());
        QVERIFY(m_messages->shown().empty());
    }
}

void TstSavedFiles::saveWritesBufferAndLineBreak_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("file");
    QTest::newRow("name without extension") << "survey"
                                            << "survey.rsx";
    QTest::newRow("empty name") << ""
                                << ".rsx";
    QTest::newRow("capital extension") << "survey.RSX"
                                       << "survey.RSX.rsx";
}

void TstSavedFiles::saveWritesBufferAndLineBreak()
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
    QCOMPARE(readFile(file), m_buffer + "\r\n");
    QCOMPARE(released.count(), 1);
    QVERIFY(!m_window->isVisible());
}

void TstSavedFiles::replacingNeedsConsent()
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

void TstSavedFiles::deleteAsksFirst()
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
    QVERIFY(QFile::exists(QDir(m_folder->path()).filePath(QStringLiteral("old.rsx"))));
    QCOMPARE(released.count(), 0);

    m_messages->script(Answer::Ok);
    QTest::mouseClick(m_window->deleteButton(), Qt::LeftButton);
    QVERIFY(!QFile::exists(QDir(m_folder->path()).filePath(QStringLiteral("old.rsx"))));
    QCOMPARE(m_window->fileList()->count(), 1);
    QCOMPARE(m_window->fileNameBox()->text(), QString());
    QCOMPARE(released.count(), 1);
    QVERIFY(m_window->isVisible());
}

void TstSavedFiles::everyWayOutReleasesTheMainWindow()
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

QTEST_MAIN(TstSavedFiles)
#include "tst_savedfiles.moc"
