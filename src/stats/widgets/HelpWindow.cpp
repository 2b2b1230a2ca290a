#include "stats/widgets/HelpWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace pelmor::stats {
namespace {

constexpr char kPaceText[] =
    "Pace is that range of speed, usually taken at 10 mph intervals, that has the greatest number of "
    "observations. About 70% of motorists travel in a 10-mph grouping (called the \"pace\"), which generally "
    "covers all but the fastest 15% and the slowest 15%. If the speed limit were set at the average speed, "
    "only 50% of motorists would be legalized. Setting the speed limit about 5-mph higher (the \"High Pace "
    "Speed\") which also is very close to the 85th percentile, legalizes the vast majority of motorists.";

constexpr char kPercentileText[] =
    "If the speeds of all motorists are ranked from slowest to fastest, the \"85th percentile speed\" "
    "separates the slower 85% from the fastest 15%. (Similarly, the average speed separates the fastest 50% "
    "and the slowest 50% of motorists in a normal speed distribution. In other words, the average speed is "
    "typically the \"50th percentile speed\") Most motorists travel at about the same speeds, so setting the "
    "speed limit at the 85th percentile legalizes the vast majority of motorists. About 70% of motorists "
    "travel in a 10-mph grouping (called the \"pace\"), which generally covers all but the fastest 15% and "
    "the slowest 15%.";

} // namespace

HelpWindow::HelpWindow(const QString& title, const QString& text, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(title);
    setWindowModality(Qt::NonModal);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->setSpacing(12);

    m_text = new QLabel(text, this);
    m_text->setObjectName(QStringLiteral("HelpText"));
    m_text->setTextFormat(Qt::PlainText);
    m_text->setWordWrap(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_text->setStyleSheet(QStringLiteral("font-size: 11pt;"));
    layout->addWidget(m_text, 1);

    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("HelpNote"));
    m_note->setTextFormat(Qt::PlainText);
    m_note->setWordWrap(true);
    m_note->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_note->setStyleSheet(QStringLiteral("font-size: 10pt; background: #fff6d5; border: 1px solid #e2c26a; "
                                         "padding: 6px;"));
    m_note->hide();
    layout->addWidget(m_note);

    m_close = new QPushButton(QStringLiteral("Close"), this);
    m_close->setObjectName(QStringLiteral("Close"));
    m_close->setDefault(true);
    connect(m_close, &QPushButton::clicked, this, &QWidget::hide);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_close);
    layout->addLayout(buttons);

    // Wide enough to read the paragraph in a few lines.
    setMinimumWidth(440);
    resize(520, sizeHint().height());
}

HelpWindow* HelpWindow::makePaceHelp(QWidget* parent)
{
    auto* window = new HelpWindow(QStringLiteral("Pace"), QLatin1String(kPaceText), parent);
    window->setObjectName(QStringLiteral("PaceHelpWindow"));
    return window;
}

HelpWindow* HelpWindow::makePercentileHelp(QWidget* parent)
{
    auto* window = new HelpWindow(QStringLiteral("85th Percentile"), QLatin1String(kPercentileText), parent);
    window->setObjectName(QStringLiteral("PercentileHelpWindow"));
    return window;
}

void HelpWindow::setNote(const QString& note)
{
    m_note->setText(note);
    m_note->setVisible(!note.isEmpty());
    resize(width(), heightForWidth(width()) > 0 ? heightForWidth(width()) : sizeHint().height());
}

void HelpWindow::present()
{
    show();
    raise();
    activateWindow();
}

} // namespace pelmor::stats
