#include "study/widgets/ChartView.h"

#include "charts/ChartText.h"

#include <QPainter>

namespace pelmor::study {

ChartView::ChartView(const QString& objectName, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(objectName);
    setMinimumSize(200, 140);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void ChartView::setPainter(Painter painter)
{
    m_painter = std::move(painter);
    update();
}

QImage ChartView::image(const QSize& size) const
{
    return charts::paintedImage(size, [this, size](QPainter& painter) {
        if (m_painter)
            m_painter(painter, size);
    });
}

void ChartView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (m_painter)
        m_painter(painter, size());
}

} // namespace pelmor::study
