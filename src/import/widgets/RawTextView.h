#pragma once

#include <QAbstractScrollArea>
#include <QByteArray>

#include <vector>

namespace pelmor::import {

// A read-only, scrollable display of the download as it arrived. It paints
// only the lines in view from an index of line starts, so a month-long log
// of many megabytes shows at once and scrolls smoothly. Ctrl+C and the
// context menu copy the whole text.
class RawTextView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit RawTextView(QWidget* parent = nullptr);

    void setText(const QByteArray& text);
    void clear() { setText(QByteArray()); }
    const QByteArray& text() const { return m_text; }
    qsizetype lineCount() const { return static_cast<qsizetype>(m_lineStarts.size()); }
    // The text of one line (0-based) without its line break.
    QString line(qsizetype index) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void updateScrollBars();
    void copyAll() const;

    QByteArray m_text;
    std::vector<qsizetype> m_lineStarts;
    qsizetype m_longestLine = 0;
};

} // namespace pelmor::import
