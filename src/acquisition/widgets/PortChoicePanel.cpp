#include "acquisition/widgets/PortChoicePanel.h"

#include "ui/Style.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPortInfo>
#include <QStyle>
#include <QVBoxLayout>

namespace pelmor::acquisition {

PortChoicePanel::PortChoicePanel(QWidget* parent)
    : QGroupBox(parent)
{
    setObjectName(QStringLiteral("PortChoiceFrame"));

    m_port1 = new QRadioButton(tr("Comm port #1"), this);
    m_port1->setObjectName(QStringLiteral("CommPort1"));
    m_port1->setChecked(true);
    m_port2 = new QRadioButton(tr("Comm port #2"), this);
    m_port2->setObjectName(QStringLiteral("CommPort2"));
    m_other = new QRadioButton(tr("Other serial port:"), this);
    m_other->setObjectName(QStringLiteral("CommPortOther"));
    m_device = ui::makeList(QStringLiteral("CommPortDevice"), {}, true, this);
    m_device->setMinimumWidth(180);
    m_device->lineEdit()->setPlaceholderText(tr("e.g. /dev/ttyUSB0 or COM3"));
    m_device->setToolTip(tr("The serial ports of this computer, USB serial adapters included. "
                            "You may also type the name of a port."));
    auto* rescan = new QPushButton(style()->standardIcon(QStyle::SP_BrowserReload), QString(), this);
    rescan->setObjectName(QStringLiteral("RescanPorts"));
    rescan->setToolTip(tr("Look again for serial ports (after plugging in an adapter)"));
    m_ok = ui::makeButton(tr("OK"), QStringLiteral("PortOK"), this);
    m_ok->setMinimumWidth(90);

    auto* other = new QHBoxLayout;
    other->addWidget(m_other);
    other->addWidget(m_device, 1);
    other->addWidget(rescan);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ui::makeHeading(QStringLiteral("        Download New Data File From Radar Sign"), this,
                                      QStringLiteral("PortChoiceHeading")));
    layout->addWidget(ui::makeNote(tr("To download radar / sign data you must first select an available "
                                      "communication port from the list options below"),
                                   this));
    layout->addWidget(m_port1);
    layout->addWidget(m_port2);
    layout->addLayout(other);
    layout->addWidget(m_ok, 0, Qt::AlignRight);

    // Typing or picking a device selects the "other port" option.
    connect(m_device, &QComboBox::editTextChanged, this, [this](const QString& text) {
        if (!text.isEmpty())
            m_other->setChecked(true);
    });
    connect(rescan, &QPushButton::clicked, this, &PortChoicePanel::refreshDevices);
    refreshDevices();
}

void PortChoicePanel::refreshDevices()
{
    const QString typed = m_device->currentText();
    const QSignalBlocker blocker(m_device);
    m_device->clear();
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        QString label = info.systemLocation();
        if (!info.description().isEmpty())
            label += QStringLiteral("  (%1)").arg(info.description());
        m_device->addItem(label, info.systemLocation());
    }
    m_device->setCurrentIndex(-1);
    m_device->setEditText(typed);
}

std::optional<PortChoice> PortChoicePanel::choice() const
{
    if (m_port1->isChecked())
        return PortChoice{1, QString()};
    if (m_port2->isChecked())
        return PortChoice{2, QString()};
    if (!m_other->isChecked())
        return std::nullopt;
    // A listed port carries its device path; typed text is the device itself.
    const int index = m_device->findText(m_device->currentText());
    const QString device =
        index >= 0 ? m_device->itemData(index).toString() : m_device->currentText().trimmed();
    if (device.isEmpty())
        return std::nullopt;
    return PortChoice{0, device};
}

} // namespace pelmor::acquisition
