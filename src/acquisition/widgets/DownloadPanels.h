#pragma once

#include <QGroupBox>

class QLabel;
class QPushButton;

namespace pelmor::acquisition {

// Shown while the port is open: how to start the download on the sign, the
// port's status line and the button that ends the download.
class ProcessingPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit ProcessingPanel(QWidget* parent = nullptr);

    void setStatus(const QString& text);
    QString status() const;
    QPushButton* processButton() const { return m_process; }

private:
    QLabel* m_status;
    QPushButton* m_process;
};

// The running count of blocks read from the port, and the reset button.
class ProgressPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit ProgressPanel(QWidget* parent = nullptr);

    QString counterText() const;
    void setCounterText(const QString& text);
    // The counter's text taken as a number, plus one.
    void countBlock();
    QPushButton* resetButton() const { return m_reset; }

private:
    QLabel* m_counter;
    QPushButton* m_reset;
};

// The way to a download saved earlier, and to another device's log.
class SavedFilePanel : public QGroupBox {
    Q_OBJECT
public:
    explicit SavedFilePanel(QWidget* parent = nullptr);
    QPushButton* loadButton() const { return m_load; }
    QPushButton* otherLogButton() const { return m_otherLog; }

private:
    QPushButton* m_load;
    QPushButton* m_otherLog;
};

} // namespace pelmor::acquisition
