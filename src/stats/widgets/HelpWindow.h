#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace pelmor::stats {

// A small window that explains one term of the statistics in words, and
// under it the number shown beside its button, with a "Close" button that
// hides it. It is not modal: the user can keep it open
// beside the statistics it explains.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    HelpWindow(const QString& title, const QString& text, QWidget* parent = nullptr);

    // The two help windows of the statistics tab, "Pace" and "85th Percentile".
    static HelpWindow* makePaceHelp(QWidget* parent);
    static HelpWindow* makePercentileHelp(QWidget* parent);

    QLabel* textLabel() const { return m_text; }
    // What the number beside the help button is, under the general text.
    QLabel* noteLabel() const { return m_note; }
    void setNote(const QString& note);
    QPushButton* closeButton() const { return m_close; }

    // Shows the window, or brings it to the front when it is already open.
    void present();

private:
    QLabel* m_text;
    QLabel* m_note;
    QPushButton* m_close;
};

} // namespace pelmor::stats
