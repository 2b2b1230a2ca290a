#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <vector>

class QDialog;
class QTableWidget;

namespace pelmor::test {

// The texts of a table, row by row; an empty cell reads "".
std::vector<QStringList> tableTexts(const QTableWidget* table);

// Works the next window that opens as a user would; `shown` (when given)
// receives the window's object name.
void answerNextWindow(const std::function<void(QDialog*)>& answer, QString* shown = nullptr);

// Names the file in the next file window that opens, as a user types it
// and presses Save.
void answerFileWindow(const QString& path, QString* shown = nullptr);

// Finds the controls of a window, or of one of its tabs, by object name and
// works them the way a user does. A name that is not there ends the test
// program, so a renamed control cannot pass unnoticed.
class WindowProbe {
public:
    explicit WindowProbe(QWidget* root = nullptr)
        : m_root(root)
    {
    }

    template <typename T = QWidget> T* child(const QString& name) const
    {
        T* found = m_root ? m_root->findChild<T*>(name) : nullptr;
        if (!found)
            qFatal("no %s named %s", T::staticMetaObject.className(), qPrintable(name));
        return found;
    }
    // Whether the control shows whenever the root does.
    bool visible(const QString& name) const { return child(name)->isVisibleTo(m_root); }
    // What a label, button, frame, text box or list box shows.
    QString text(const QString& name) const;
    // The entries of a list or a list box, once the work that fills it has ended.
    QStringList items(const QString& name) const;
    // A mouse click; on an option button, on its round indicator.
    void click(const QString& name) const;
    // What the entries of a list stand for: an entry's key (its user data),
    // or its text when it has none; once the work that fills it has ended.
    QStringList itemKeys(const QString& name) const;
    // A click, or a double click, on the entry of a list that reads `text`
    // or stands for it, once the work that fills the list has ended, and
    // waiting for the work it starts; false when there is none.
    bool clickItem(const QString& list, const QString& text, bool doubleClick = false) const;

    // Waits until no worker of the root runs; false when one still runs
    // after a minute.
    bool workDone() const;

private:
    QWidget* m_root;
};

} // namespace pelmor::test
