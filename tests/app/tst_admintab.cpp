#include "AppUnderTest.h"
#include "db/Connection.h"
#include "db/Files.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <memory>
#include <optional>

using namespace pelmor;

// The agency and officer lists of the Administration / Setup tab: names
// added, renamed and deleted as the user does it, names told apart by their
// entry, not their text, and a database that refuses a change.
class TstAdminTab : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_app = std::make_unique<test::AppUnderTest>(); }
    void cleanup() { m_app.reset(); }

    void sides_data()
    {
        QTest::addColumn<QString>("side");
        QTest::addColumn<QString>("reportBox");
        test::row("agency", "Agency", "Text2");
        test::row("officer", "Officer", "Text3");
    }

    // The lists are there when the tab opens; a name typed and added is
    // stored at once and heads the reports; typing over a name renames
    // nothing until "Rename" is pressed; the emptied list gets its
    // placeholder, once.
    void nameLists_data() { sides_data(); }
    void nameLists()
    {
        QFETCH(QString, side);
        QFETCH(QString, reportBox);
        const QString placeholder = QStringLiteral("(%1 Name)").arg(side);
        insertNames(side, {"Springfield", "Ogden"});
        openTab();
        QCOMPARE(ui().text(reportBox), "Springfield");
        QCOMPARE(ui().items(side + "List"), (QStringList{"Springfield", "Ogden"}));

        // "Add", the name, "Add": stored, listed and on the reports.
        auto* nameBox = ui().child<QLineEdit>(side + "Name");
        ui().click("Add" + side);
        QCOMPARE(nameBox->text(), QString());
        QTest::keyClicks(nameBox, "O'Brien's County");
        ui().click("Add" + side);
        QStringList names{"Springfield", "Ogden", "O'Brien's County"};
        QCOMPARE(tableNames(side), names);
        QCOMPARE(ui().items(side + "List"), names);
        QCOMPARE(ui().text(reportBox), "O'Brien's County");
        // A name typed over the box and added is a new name, not a rename.
        nameBox->selectAll();
        QTest::keyClicks(nameBox, "Shelbyville");
        QTest::keyClick(nameBox, Qt::Key_Return); // Enter adds only after "Add"
        QCOMPARE(tableNames(side), names);
        ui().click("Add" + side);
        names << "Shelbyville";
        QCOMPARE(tableNames(side), names);
        QCOMPARE(ui().text(reportBox), "Shelbyville");

        // Typed over and left: nothing renamed.
        auto* renameButton = ui().child<QPushButton>("Rename" + side);
        QVERIFY(ui().clickItem(side + "List", "Ogden"));
        QCOMPARE(nameBox->text(), "Ogden");
        QVERIFY(!renameButton->isEnabled());
        nameBox->selectAll();
        QTest::keyClicks(nameBox, "Capital City");
        QVERIFY(renameButton->isEnabled());
        QVERIFY(ui().clickItem(side + "List", "Springfield"));
        QCOMPARE(tableNames(side), names);
        QCOMPARE(ui().text(reportBox), "Springfield");
        // Renaming is its own button.
        QVERIFY(ui().clickItem(side + "List", "Ogden"));
        rename(side, "North Haverbrook");
        names[1] = "North Haverbrook";
        QCOMPARE(tableNames(side), names);
        QCOMPARE(ui().items(side + "List"), names);
        QCOMPARE(ui().text(reportBox), "North Haverbrook");
        // The other list keeps its own record: its table was empty, so the
        // tab's opening gave it the placeholder, which names no one: the
        // reports tab shows nothing for it.
        QCOMPARE(ui().text(reportBox == "Text2" ? "Text3" : "Text2"), QString());

        auto* remove = ui().child<QPushButton>("Delete" + side);
        for (const QString& name : names) {
            QVERIFY(ui().clickItem(side + "List", name));
            QVERIFY(remove->isEnabled());
            ui().click("Delete" + side);
            QVERIFY(!remove->isEnabled());
        }
        QCOMPARE(ui().items(side + "List"), QStringList{placeholder});
        ui().click("Refresh" + side);
        QCOMPARE(ui().items(side + "List"), QStringList{placeholder});
        QCOMPARE(tableNames(side), QStringList{placeholder});
        // The placeholder shows greyed: a name typed into the box is that
        // name alone, added or given to the placeholder's entry.
        QCOMPARE(nameBox->text(), QString());
        QCOMPARE(nameBox->placeholderText(), placeholder);
        QTest::keyClicks(nameBox, "Ogden");
        ui().click("Add" + side);
        QCOMPARE(tableNames(side), (QStringList{placeholder, "Ogden"}));
        QVERIFY(ui().clickItem(side + "List", placeholder));
        rename(side, "Springfield");
        QCOMPARE(tableNames(side), (QStringList{"Springfield", "Ogden"}));
        QCOMPARE(m_app->messages.texts(), QStringList());
    }

    // Two entries of one name: the one clicked is the one renamed and the
    // one the reports carry; a name another program deleted meanwhile is
    // told, not renamed.
    void entriesOfOneName_data() { sides_data(); }
    void entriesOfOneName()
    {
        QFETCH(QString, side);
        QFETCH(QString, reportBox);
        insertNames(side, {"Springfield", "Springfield", "Ogden"});
        openTab();
        clickRow(side, 1);
        rename(side, "Shelbyville");
        QCOMPARE(tableNames(side), (QStringList{"Springfield", "Shelbyville", "Ogden"}));
        QCOMPARE(ui().items(side + "List"), tableNames(side));
        QCOMPARE(ui().text(reportBox), "Shelbyville");

        clickRow(side, 2);
        db::Connection(m_app->folder.database())
            .execute(QStringLiteral("delete from %1 where Admin_%1 = 'Ogden'").arg(side));
        rename(side, "North Haverbrook");
        const QStringList told = m_app->messages.texts();
        QCOMPARE(told.size(), 1);
        QVERIFY2(told[0].contains("\"Ogden\"") && told[0].contains("deleted"), qPrintable(told[0]));
        QCOMPARE(tableNames(side), (QStringList{"Springfield", "Shelbyville"}));
        // The list is read again and the first name is the chosen one.
        QCOMPARE(ui().items(side + "List"), tableNames(side));
        QCOMPARE(ui().text(reportBox), "Springfield");
    }

    // A database the tab cannot write to is told, naming its file, and a
    // name longer than a list holds is told with the most it may hold; the
    // lists, the stored names and the names on the reports stay as they were.
    void refusalsAreTold_data()
    {
        QTest::addColumn<QString>("side");
        QTest::addColumn<QString>("reportBox");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("name");
        const QString tooLong(101, 'x');
        for (const char* side : {"Agency", "Officer"}) {
            const QString box = side == QLatin1String("Agency") ? "Text2" : "Text3";
            for (const char* action : {"add", "rename", "delete"})
                QTest::addRow("%s, %s, read-only", side, action) << side << box << action << "Capital City";
            for (const char* action : {"add", "rename"})
                QTest::addRow("%s, %s, too long", side, action) << side << box << action << tooLong;
        }
    }
    void refusalsAreTold()
    {
        QFETCH(QString, side);
        QFETCH(QString, reportBox);
        QFETCH(QString, action);
        QFETCH(QString, name);
        insertNames(side, {"Springfield", "Ogden"});
        openTab();
        QVERIFY(ui().clickItem(side + "List", "Ogden"));
        const bool tooLong = name.size() > 100;
        std::optional<test::ReadOnlyFolder> readOnly;
        if (!tooLong) {
            readOnly.emplace(m_app->folder.path());
            if (!readOnly->isReadOnly())
                QSKIP("This machine lets the test write into a read-only folder.");
        }

        if (action == "add") {
            ui().click("Add" + side);
            QTest::keyClicks(ui().child<QLineEdit>(side + "Name"), name);
            ui().click("Add" + side);
        } else if (action == "rename") {
            rename(side, name);
        } else {
            ui().click("Delete" + side);
        }
        const QStringList told = m_app->messages.texts();
        QCOMPARE(told.size(), 1);
        const QString expected =
            tooLong
                ? QStringLiteral("The %1 name is 101 characters long, more than the 100 it may hold. Shorten "
                                 "it to at most 100 characters.")
                      .arg(side.toLower())
                : db::displayPath(m_app->folder.databasePath());
        QVERIFY2(told[0].contains(expected), qPrintable(told[0]));
        QCOMPARE(tableNames(side), (QStringList{"Springfield", "Ogden"}));
        QCOMPARE(ui().items(side + "List"), (QStringList{"Springfield", "Ogden"}));
        QCOMPARE(ui().text(reportBox), "Ogden");
    }

private:
    const test::WindowProbe& ui() const { return m_app->ui; }
    void insertNames(const QString& side, const QStringList& names)
    {
        db::Connection connection(m_app->folder.database());
        for (const QString& name : names)
            connection.execute(QStringLiteral("insert into %1 (Admin_%1) values ('%2')").arg(side, name));
    }
    void openTab()
    {
        m_app->start();
        m_app->window->tabs()->setCurrentIndex(3);
    }
    void clickRow(const QString& side, int row)
    {
        auto* list = ui().child<QListWidget>(side + "List");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    }
    void rename(const QString& side, const QString& name)
    {
        auto* box = ui().child<QLineEdit>(side + "Name");
        box->selectAll();
        QTest::keyClicks(box, name);
        ui().click("Rename" + side);
    }
    QStringList tableNames(const QString& side)
    {
        return test::rowTexts(m_app->folder.databasePath(), "select * from " + side, {"Admin_" + side});
    }

    std::unique_ptr<test::AppUnderTest> m_app;
};
QTEST_MAIN(TstAdminTab)
#include "tst_admintab.moc"
