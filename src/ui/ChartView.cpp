#include "ui/ChartView.h"

#include <QPainter>

namespace pelmor::ui {

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
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    if (m_painter)
        m_painter(painter, size);
    return image;
}

void ChartView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (m_painter)
        m_painter(painter, size());
}

} // namespace pelmor::ui
