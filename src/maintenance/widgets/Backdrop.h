#pragma once

#include <QWidget>

namespace pelmor::maintenance {

// The blank backdrop that covers the screen behind the maintenance and
// deletion windows while the main window is closed. A click on it brings
// the window in front of it forward again.
class Backdrop : public QWidget {
    Q_OBJECT
public:
    explicit Backdrop(QWidget* parent = nullptr);

    // Shows the backdrop over the whole screen.
    void cover();

Q_SIGNALS:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    // The backdrop stays until the program returns to its main window.
    void closeEvent(QCloseEvent* event) override;
};

} // namespace pelmor::maintenance
