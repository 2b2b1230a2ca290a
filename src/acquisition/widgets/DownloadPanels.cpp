#include "acquisition/widgets/DownloadPanels.h"

#include "ui/Style.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace pelmor::acquisition {

ProcessingPanel::ProcessingPanel(QWidget* parent)
    : QGroupBox(parent)
{
    setObjectName(QStringLiteral("ProcessingFrame"));
    QLabel* instructions = ui::makeNote(
        QStringLiteral(
            "To import data you must first attach the provided serial cable from the speed sign to the "
            "computer serial port. You must also connect the input keyboard to the speed sign to activate "
            "the download process.  When the cable and keyboard are properly attached you may proceed with "
            "the data download process.  Press the number (7) on the speed sign keyboard while in the "
            "program mode and the speed sign will immediately download all survey data through the serial "
            "cable to the attached computer. Press \"Process The Imported Data\" once the block counter "
            "stops: the imported data will show in the window below. Fill out the missing fields in the "
            "form to the right and press \"Process This Radar Data to The Database>>\" to complete the "
            "data import process."),
        this, QStringLiteral("DownloadInstructions"));
    QLabel* warning = new QLabel(
        QStringLiteral("DO NOT PRESS ANY BUTTONS\nuntil your data has finished downloading!"), this);
    warning->setObjectName(QStringLiteral("DownloadWarning"));
    warning->setProperty("role", QStringLiteral("warning"));
    warning->setAlignment(Qt::AlignCenter);
    m_status = ui::makeValueLabel(QStringLiteral("PortStatus"), this);
    m_status->setText(QStringLiteral("comm choice"));
    m_process = ui::makeButton(tr("Process The Imported Data"), QStringLiteral("ProcessImportedData"), this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(instructions);
    layout->addWidget(warning);
    layout->addWidget(m_status);
    layout->addWidget(m_process, 0, Qt::AlignRight);
}

void ProcessingPanel::setStatus(const QString& text)
{
    m_status->setText(text);
}

QString ProcessingPanel::status() const
{
    return m_status->text();
}

ProgressPanel::ProgressPanel(QWidget* parent)
    : QGroupBox(parent)
{
    setObjectName(QStringLiteral("ProgressFrame"));
    QLabel* caption = new QLabel(QStringLiteral("Downloading\nRadar Data\nBlocks.."), this);
    caption->setObjectName(QStringLiteral("DownloadingCaption"));
    caption->setAlignment(Qt::AlignCenter);
    m_counter = ui::makeValueLabel(QStringLiteral("BlockCount"), this);
    m_counter->setText(QStringLiteral("1"));
    m_counter->setAlignment(Qt::AlignCenter);
    m_counter->setMinimumWidth(90);
    QFont big = m_counter->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    m_counter->setFont(big);
    m_reset = ui::makeButton(QStringLiteral("R E S E T"), QStringLiteral("Reset"), this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    layout->addWidget(m_counter);
    layout->addWidget(m_reset);
    layout->addStretch(1);
}

QString ProgressPanel::counterText() const
{
    return m_counter->text();
}

void ProgressPanel::setCounterText(const QString& text)
{
    m_counter->setText(text);
}

void ProgressPanel::countBlock()
{
    m_counter->setText(QString::number(m_counter->text().toLongLong() + 1));
}

SavedFilePanel::SavedFilePanel(QWidget* parent)
    : QGroupBox(parent)
{
    setObjectName(QStringLiteral("SavedFileFrame"));
    m_load = ui::makeButton(tr("Load Radar Log File"), QStringLiteral("LoadRadarLogFile"), this);
    m_otherLog = ui::makeButton(tr("Import Other Log..."), QStringLiteral("Import_Other_Log"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_otherLog);
    buttons->addWidget(m_load);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ui::makeHeading(tr("Open Saved Radar Download File and Re-Process To Database"), this,
                                      QStringLiteral("SavedFileHeading")));
    layout->addLayout(buttons);
}

} // namespace pelmor::acquisition
