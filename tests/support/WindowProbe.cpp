#include "WindowProbe.h"

#include "worker/BackgroundTask.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

namespace pelmor::test {

std::vector<QStringList> tableTexts(const QTableWidget* table)
{
    std::vector<QStringList> rows;
    for (int row = 0; row < table->rowCount(); ++row) {
        QStringList texts;
        for (int column = 0; column < table->columnCount(); ++column)
            texts << (table->item(row, column) ? table->item(row, column)->text() : QString());
        rows.push_back(texts);
    }
    return rows;
}

void answerNextWindow(const std::function<void(QDialog*)>& answer, QString* shown)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer, shown] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        if (shown)
            *shown = dialog->objectName();
        answer(dialog);
        poll->deleteLater();
    });
    poll->start(20);
}

void answerFileWindow(const QString& path, QString* shown)
{
    answerNextWindow(
        [path](QDialog* dialog) {
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            name->setText(path);
            QTest::keyClick(name, Qt::Key_Return);
        },
        shown);
}

QString WindowProbe::text(const QString& name) const
{
    const QWidget* widget = child(name);
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (const auto* frame = qobject_cast<const QGroupBox*>(widget))
        return frame->title();
    if (const auto* box = qobject_cast<const QLineEdit*>(widget))
        return box->text();
    if (const auto* list = qobject_cast<const QComboBox*>(widget))
        return list->currentText();
    qFatal("%s shows no text", qPrintable(name));
}

QStringList WindowProbe::items(const QString& name) const
{
    workDone();
    QStringList all;
    const QWidget* widget = child(name);
    if (const auto* list = qobject_cast<const QListWidget*>(widget)) {
        for (int i = 0; i < list->count(); ++i)
            all << list->item(i)->text();
    } else if (const auto* box = qobject_cast<const QComboBox*>(widget)) {
        for (int i = 0; i < box->count(); ++i)
            all << box->itemText(i);
    }
    return all;
}

void WindowProbe::click(const QString& name) const
{
    auto* button = child<QAbstractButton>(name);
    const bool option = qobject_cast<QRadioButton*>(button);
    QTest::mouseClick(button, Qt::LeftButton, {},
                      option ? QPoint(button->height() / 2, button->height() / 2) : QPoint());
}

QStringList WindowProbe::itemKeys(const QString& name) const
{
    workDone();
    QStringList keys;
    const auto* list = child<QListWidget>(name);
    for (int i = 0; i < list->count(); ++i) {
        const QVariant key = list->item(i)->data(Qt::UserRole);
        keys << (key.isValid() ? key.toString() : list->item(i)->text());
    }
    return keys;
}

bool WindowProbe::workDone() const
{
    return QTest::qWaitFor(
        [this] {
            const auto tasks = m_root->findChildren<worker::BackgroundTask*>();
            return std::none_of(tasks.begin(), tasks.end(),
                                [](const worker::BackgroundTask* task) { return task->isRunning(); });
        },
        60000);
}

bool WindowProbe::clickItem(const QString& listName, const QString& text, bool doubleClick) const
{
    if (!workDone())
        return false;
    auto* list = child<QListWidget>(listName);
    QListWidgetItem* found = nullptr;
    for (int i = 0; i < list->count() && !found; ++i) {
        QListWidgetItem* item = list->item(i);
        if (item->text() == text || item->data(Qt::UserRole).toString() == text)
            found = item;
    }
    if (!found)
        return false;
    list->scrollToItem(found);
    const QPoint centre = list->visualItemRect(found).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
    // A double click is a click and then the second press, as the system
    // sends it.
    if (doubleClick)
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
    return workDone();
}

} // namespace pelmor::test
