#pragma once

#include <QImage>
#include <QWidget>

#include <functional>

namespace pelmor::ui {

// A graph drawn anew at the widget's own size whenever it is painted, so
// its text stays sharp however large the window is.
class ChartView : public QWidget {
    Q_OBJECT
public:
    // Paints a graph of the given size.
    using Painter = std::function<void(QPainter&, const QSize&)>;

    explicit ChartView(const QString& objectName, QWidget* parent = nullptr);

    // Nothing to draw: an empty painter.
    void setPainter(Painter painter);
    bool hasGraph() const { return static_cast<bool>(m_painter); }

    // The graph as the widget shows it, or at another size.
    QImage image() const { return image(size()); }
    QImage image(const QSize& size) const;

    QSize sizeHint() const override { return QSize(480, 360); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Painter m_painter;
};

} // namespace pelmor::ui
