#include "import/widgets/RawTextView.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>

namespace pelmor::import {

RawTextView::RawTextView(QWidget* parent)
    : QAbstractScrollArea(parent)
{
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
    setText(QByteArray());
}

void RawTextView::setText(const QByteArray& text)
{
    m_text = text;
    m_lineStarts.clear();
    m_lineStarts.push_back(0);
    m_longestLine = 0;
    qsizetype start = 0;
    for (qsizetype i = m_text.indexOf('\n'); i >= 0; i = m_text.indexOf('\n', i + 1)) {
        m_longestLine = std::max(m_longestLine, i - start);
        start = i + 1;
        m_lineStarts.push_back(start);
    }
    m_longestLine = std::max(m_longestLine, m_text.size() - start);
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    updateScrollBars();
    viewport()->update();
}

QString RawTextView::line(qsizetype index) const
{
    const qsizetype start = m_lineStarts[static_cast<size_t>(index)];
    qsizetype end =
        index + 1 < lineCount() ? m_lineStarts[static_cast<size_t>(index + 1)] - 1 : m_text.size();
    if (end > start && m_text[end - 1] == '\r')
        --end;
    return QString::fromLatin1(QByteArrayView(m_text).sliced(start, end - start));
}

void RawTextView::updateScrollBars()
{
    const QFontMetrics metrics(font());
    const int lineHeight = metrics.lineSpacing();
    const int visibleLines = std::max(1, viewport()->height() / lineHeight);
    verticalScrollBar()->setRange(0, static_cast<int>(std::max<qsizetype>(0, lineCount() - visibleLines)));
    verticalScrollBar()->setPageStep(visibleLines);
    const int contentWidth =
        static_cast<int>(m_longestLine) * metrics.horizontalAdvance(QLatin1Char('M')) + 8;
    horizontalScrollBar()->setRange(0, std::max(0, contentWidth - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
}

void RawTextView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void RawTextView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    const QFontMetrics metrics(font());
    const int lineHeight = metrics.lineSpacing();
    const qsizetype first = verticalScrollBar()->value();
    const int x = 4 - horizontalScrollBar()->value();
    int y = metrics.ascent() + 2;
    for (qsizetype i = first; i < lineCount() && y - metrics.ascent() < viewport()->height(); ++i) {
        painter.drawText(x, y, line(i));
        y += lineHeight;
    }
}

void RawTextView::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::SelectAll)) {
        copyAll();
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void RawTextView::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    menu.addAction(tr("Copy All"), this, &RawTextView::copyAll);
    menu.exec(event->globalPos());
}

void RawTextView::copyAll() const
{
    QGuiApplication::clipboard()->setText(QString::fromLatin1(m_text));
}

} // namespace pelmor::import
