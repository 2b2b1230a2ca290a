#pragma once

#include "acquisition/SerialDownload.h"

#include <QGroupBox>

#include <optional>

class QComboBox;
class QPushButton;
class QRadioButton;

namespace pelmor::acquisition {

// Where the user picks the serial port the sign is connected to: port 1 or
// port 2, or one of the serial ports the computer has (USB adapters appear
// there), or a device typed by hand.
class PortChoicePanel : public QGroupBox {
    Q_OBJECT
public:
    explicit PortChoicePanel(QWidget* parent = nullptr);

    // The chosen port; none when "other port" is chosen without a device.
    std::optional<PortChoice> choice() const;
    // Reads the computer's serial ports into the device list again.
    void refreshDevices();

    QPushButton* okButton() const { return m_ok; }

private:
    QRadioButton* m_port1;
    QRadioButton* m_port2;
    QRadioButton* m_other;
    QComboBox* m_device;
    QPushButton* m_ok;
};

} // namespace pelmor::acquisition
