#include "windows/monitor/LineDisplay.h"

#include "windows/monitor/LineDisplayAccessible.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
constexpr char16_t FirstAscii = u' ';
constexpr char16_t LastAscii = u'~';
constexpr int CellCount = LastAscii - FirstAscii + 1;
// One pixel row of a line: each character's cell row copied in place. Cells of the usual
// widths are copied with the width known here, which leaves no call per cell.
template <int Pixels> void copyCellsOf(const QString &line, const quint32 *cells, quint32 *to)
{
    for (const QChar c : line) {
        const quint32 *cell = cells + (c.unicode() - FirstAscii) * Pixels;
        for (int x = 0; x < Pixels; ++x)
            to[x] = cell[x];
        to += Pixels;
    }
}

void copyCells(const QString &line, const quint32 *cells, int pixels, quint32 *to)
{
    switch (pixels) {
    case 6: return copyCellsOf<6>(line, cells, to);
    case 7: return copyCellsOf<7>(line, cells, to);
    case 8: return copyCellsOf<8>(line, cells, to);
    case 9: return copyCellsOf<9>(line, cells, to);
    case 10: return copyCellsOf<10>(line, cells, to);
    case 14: return copyCellsOf<14>(line, cells, to);
    case 16: return copyCellsOf<16>(line, cells, to);
    default:
        for (const QChar c : line)
            to = std::copy_n(cells + (c.unicode() - FirstAscii) * pixels, pixels, to);
    }
}
} // namespace

LineDisplay::LineDisplay(QWidget *parent) : QAbstractScrollArea(parent)
{
    LineDisplayAccessible::install();
    setFocusPolicy(Qt::StrongFocus);
    // The box paints all of its own background, so nothing behind it is painted first.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    viewport()->setCursor(Qt::IBeamCursor);
    fontChanged();
}

void LineDisplay::fontChanged()
{
    const QFontMetricsF metrics(font());
    m_lineHeight = std::max(QFontMetrics(font()).lineSpacing(), 1);
    m_ascent = QFontMetrics(font()).ascent();
    const qreal advance = metrics.horizontalAdvance(QLatin1Char('0'));
    bool fixedPitch = advance > 0;
    for (char16_t c = FirstAscii; c <= LastAscii && fixedPitch; ++c)
        fixedPitch = metrics.horizontalAdvance(QChar(c)) == advance;
    m_cellWidth = fixedPitch ? std::max(static_cast<int>(std::lround(advance)), 1) : 0;
    m_cells = {};
    m_widths.clear();
    for (const QString &line : std::as_const(m_lines))
        m_widths.push_back(widthOf(line));
    updateScrollRanges();
    viewport()->update();
}

// Each character drawn by the text engine into its own cell, clipped to it.
void LineDisplay::renderCells(qreal ratio)
{
    m_cells = {};
    m_cells.ratio = ratio;
    const qreal deviceWidth = m_cellWidth * ratio;
    if (m_cellWidth == 0 || deviceWidth != std::round(deviceWidth))
        return; // a fractional pixel ratio: the text engine draws every line
    const auto render = [&](QPalette::ColorRole background, QPalette::ColorRole text) {
        QImage cells(static_cast<int>(deviceWidth) * CellCount, static_cast<int>(std::ceil(m_lineHeight * ratio)),
                     QImage::Format_RGB32);
        cells.setDevicePixelRatio(ratio);
        cells.fill(palette().color(background));
        QPainter painter(&cells);
        painter.setFont(font());
        painter.setPen(palette().color(text));
        for (int i = 0; i < CellCount; ++i) {
            painter.setClipRect(QRect(i * m_cellWidth, 0, m_cellWidth, m_lineHeight));
            painter.drawText(QPointF(i * m_cellWidth, m_ascent), QString(QChar(char16_t(FirstAscii + i))));
        }
        return cells;
    };
    m_cells.normal = render(QPalette::Base, QPalette::Text);
    m_cells.selected = render(QPalette::Highlight, QPalette::HighlightedText);
}

bool LineDisplay::inCells(const QString &line) const
{
    return !m_cells.normal.isNull() && std::all_of(line.begin(), line.end(), [](QChar c) {
        return c.unicode() >= FirstAscii && c.unicode() <= LastAscii;
    });
}

qreal LineDisplay::widthOf(const QString &line) const
{
    return m_cellWidth > 0 ? static_cast<qreal>(line.size() * m_cellWidth)
                           : QFontMetricsF(font()).horizontalAdvance(line);
}

void LineDisplay::setPlainText(const QString &text)
{
    QStringList lines = text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
    if (lines == m_lines)
        return;
    const qsizetype most = std::max(lines.size(), m_lines.size());
    const bool countChanged = lines.size() != m_lines.size();
    m_widths.resize(static_cast<std::size_t>(most), 0);
    for (qsizetype i = 0; i < most; ++i) {
        if (i < lines.size() && i < m_lines.size() && lines[i] == m_lines[i])
            continue;
        // Only as wide as the old text and the new.
        const std::size_t at = static_cast<std::size_t>(i);
        const qreal width = i < lines.size() ? widthOf(lines[i]) : 0;
        QRect rect = lineRect(i);
        rect.setWidth(std::min(rect.width(), static_cast<int>(std::ceil(std::max(width, m_widths[at]))) + 2 * Margin +
                                                 1 - horizontalScrollBar()->value()));
        viewport()->update(rect);
        m_widths[at] = width;
    }
    m_widths.resize(static_cast<std::size_t>(lines.size()));
    const QString before = QAccessible::isActive() ? toPlainText() : QString();
    m_lines = std::move(lines);
    if (m_anchor >= m_lines.size() || m_end >= m_lines.size())
        m_anchor = m_end = -1;
    if (countChanged)
        updateScrollRanges();
    if (QAccessible::isActive()) {
        QAccessibleTextUpdateEvent changed(this, 0, before, toPlainText());
        QAccessible::updateAccessibility(&changed);
    }
    emit textChanged();
}

QRect LineDisplay::lineRect(qsizetype index) const
{
    const qsizetype top = Margin + (index - verticalScrollBar()->value()) * m_lineHeight;
    return {0, static_cast<int>(top), viewport()->width(), m_lineHeight};
}

qsizetype LineDisplay::lineAt(const QPoint &point) const
{
    const qsizetype index = (point.y() - Margin) / m_lineHeight + verticalScrollBar()->value();
    return std::clamp<qsizetype>(index, 0, std::max<qsizetype>(m_lines.size() - 1, 0));
}

// Every dirty pixel is painted once: a line's cells, then the background beside them.
void LineDisplay::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const qreal ratio = viewport()->devicePixelRatioF();
    if (m_cells.ratio != ratio)
        renderCells(ratio);
    const qsizetype low = std::min(m_anchor, m_end);
    const qsizetype high = std::max(m_anchor, m_end);
    const QBrush base = palette().brush(QPalette::Base);
    for (const QRect &dirty : event->region()) {
        painter.setClipRect(dirty);
        int covered = dirty.top(); // painted down to here
        for (qsizetype i = std::max<qsizetype>(lineAt(dirty.topLeft()) - 1, 0); i < m_lines.size(); ++i) {
            const QRect rect = lineRect(i);
            if (rect.top() > dirty.bottom())
                break;
            if (!rect.intersects(dirty))
                continue;
            if (rect.top() > covered)
                painter.fillRect(QRect(dirty.left(), covered, dirty.width(), rect.top() - covered), base);
            drawLine(painter, i, rect, low >= 0 && i >= low && i <= high);
            covered = rect.bottom() + 1;
        }
        if (covered <= dirty.bottom())
            painter.fillRect(QRect(dirty.left(), covered, dirty.width(), dirty.bottom() + 1 - covered), base);
    }
}

void LineDisplay::drawLine(QPainter &painter, qsizetype index, const QRect &rect, bool selected)
{
    const QString &line = m_lines[index];
    const int left = Margin - horizontalScrollBar()->value();
    const QBrush background = palette().brush(selected ? QPalette::Highlight : QPalette::Base);
    if (!inCells(line)) {
        painter.fillRect(rect, background);
        painter.setPen(palette().color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter.drawText(QPointF(left, rect.top() + m_ascent), line);
        return;
    }
    const int right = left + static_cast<int>(line.size()) * m_cellWidth;
    if (left > rect.left())
        painter.fillRect(QRect(rect.left(), rect.top(), left - rect.left(), rect.height()), background);
    if (right <= rect.right())
        painter.fillRect(QRect(right, rect.top(), rect.right() + 1 - right, rect.height()), background);
    if (line.isEmpty())
        return;
    // The line copied together from its characters' cells, one pixel row at a time.
    const QImage &cells = selected ? m_cells.selected : m_cells.normal;
    const int cellPixels = cells.width() / CellCount;
    const int width = static_cast<int>(line.size()) * cellPixels;
    if (m_row.width() < width || m_row.height() != cells.height()) {
        m_row = QImage(std::max(width, m_row.width()), cells.height(), QImage::Format_RGB32);
        m_row.setDevicePixelRatio(cells.devicePixelRatio());
    }
    for (int y = 0; y < cells.height(); ++y)
        copyCells(line, reinterpret_cast<const quint32 *>(cells.constScanLine(y)), cellPixels,
                  reinterpret_cast<quint32 *>(m_row.scanLine(y)));
    painter.drawImage(QPointF(left, rect.top()), m_row, QRectF(0, 0, width, cells.height()));
}

void LineDisplay::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        fontChanged();
    } else if (event->type() == QEvent::PaletteChange) {
        m_cells = {};
        viewport()->update();
    }
}

void LineDisplay::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRanges();
}

void LineDisplay::scrollContentsBy(int, int)
{
    viewport()->update();
}

// Measured on the box without scroll bars, so a bar shows only when the text needs it.
void LineDisplay::updateScrollRanges()
{
    const QSize area = maximumViewportSize();
    const int visible = std::max((area.height() - Margin) / m_lineHeight, 1);
    verticalScrollBar()->setRange(0, std::max<int>(static_cast<int>(m_lines.size()) - visible, 0));
    verticalScrollBar()->setPageStep(visible);
    verticalScrollBar()->setSingleStep(1);
    const qreal widest = m_widths.empty() ? 0 : *std::max_element(m_widths.begin(), m_widths.end());
    const int overflow = static_cast<int>(std::ceil(widest)) + 2 * Margin - area.width();
    horizontalScrollBar()->setRange(0, std::max(overflow, 0));
    horizontalScrollBar()->setPageStep(area.width());
}

void LineDisplay::select(qsizetype anchor, qsizetype end)
{
    m_anchor = anchor;
    m_end = end;
    viewport()->update();
}

QString LineDisplay::selectedText() const
{
    if (m_anchor < 0)
        return {};
    const qsizetype low = std::min(m_anchor, m_end);
    return m_lines.mid(low, std::max(m_anchor, m_end) - low + 1).join(QLatin1Char('\n'));
}

void LineDisplay::copy() const
{
    if (m_anchor >= 0)
        QApplication::clipboard()->setText(selectedText());
}

void LineDisplay::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || m_lines.isEmpty())
        return;
    const qsizetype line = lineAt(event->position().toPoint());
    select(event->modifiers() & Qt::ShiftModifier && m_anchor >= 0 ? m_anchor : line, line);
}

void LineDisplay::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton && m_anchor >= 0)
        select(m_anchor, lineAt(event->position().toPoint()));
}

void LineDisplay::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy))
        copy();
    else if (event->matches(QKeySequence::SelectAll) && !m_lines.isEmpty())
        selectAll();
    else
        QAbstractScrollArea::keyPressEvent(event);
}

void LineDisplay::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    menu.addAction(tr("&Copy"), this, &LineDisplay::copy)->setEnabled(m_anchor >= 0);
    menu.addAction(tr("Select All"), this, &LineDisplay::selectAll)->setEnabled(!m_lines.isEmpty());
    menu.exec(event->globalPos());
}
