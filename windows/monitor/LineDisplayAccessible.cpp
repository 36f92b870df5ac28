#include "windows/monitor/LineDisplayAccessible.h"

#include "windows/monitor/LineDisplay.h"

#include <QScrollBar>

#include <algorithm>

LineDisplayAccessible::LineDisplayAccessible(LineDisplay *display)
    : QAccessibleWidget(display, QAccessible::EditableText)
{
}

void LineDisplayAccessible::install()
{
    static const bool installed = [] {
        QAccessible::installFactory([](const QString &className, QObject *object) -> QAccessibleInterface * {
            if (className == QLatin1String("LineDisplay") && object && object->isWidgetType())
                return new LineDisplayAccessible(static_cast<LineDisplay *>(object));
            return nullptr;
        });
        return true;
    }();
    Q_UNUSED(installed);
}

LineDisplay *LineDisplayAccessible::display() const
{
    return static_cast<LineDisplay *>(widget());
}

QAccessible::State LineDisplayAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    s.readOnly = true;
    s.multiLine = true;
    s.selectableText = true;
    return s;
}

QString LineDisplayAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Value)
        return display()->toPlainText();
    return QAccessibleWidget::text(t);
}

void *LineDisplayAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

int LineDisplayAccessible::startOf(qsizetype line) const
{
    int start = 0;
    const QStringList &lines = display()->m_lines;
    for (qsizetype i = 0; i < std::min(line, lines.size()); ++i)
        start += static_cast<int>(lines[i].size()) + 1;
    return start;
}

qsizetype LineDisplayAccessible::lineOf(int offset, int *lineStart) const
{
    const QStringList &lines = display()->m_lines;
    int start = 0;
    qsizetype line = 0;
    while (line + 1 < lines.size() && offset > start + lines[line].size()) {
        start += static_cast<int>(lines[line].size()) + 1;
        ++line;
    }
    if (lineStart)
        *lineStart = start;
    return line;
}

void LineDisplayAccessible::selection(int selectionIndex, int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = 0;
    const LineDisplay *box = display();
    if (selectionIndex != 0 || box->m_anchor < 0)
        return;
    const qsizetype high = std::max(box->m_anchor, box->m_end);
    *startOffset = startOf(std::min(box->m_anchor, box->m_end));
    *endOffset = startOf(high) + static_cast<int>(box->m_lines[high].size());
}

int LineDisplayAccessible::selectionCount() const
{
    return display()->m_anchor >= 0 ? 1 : 0;
}

// Selections are whole lines: the lines the range touches.
void LineDisplayAccessible::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset);
}

void LineDisplayAccessible::removeSelection(int selectionIndex)
{
    if (selectionIndex == 0)
        display()->select(-1, -1);
}

void LineDisplayAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex != 0 || display()->m_lines.isEmpty())
        return;
    display()->select(lineOf(startOffset), lineOf(std::max(startOffset, endOffset - 1)));
}

int LineDisplayAccessible::cursorPosition() const
{
    const LineDisplay *box = display();
    return box->m_end >= 0 ? startOf(box->m_end) : 0;
}

void LineDisplayAccessible::setCursorPosition(int) {}

QString LineDisplayAccessible::text(int startOffset, int endOffset) const
{
    return display()->toPlainText().mid(startOffset, endOffset - startOffset);
}

int LineDisplayAccessible::characterCount() const
{
    return static_cast<int>(display()->toPlainText().size());
}

QRect LineDisplayAccessible::characterRect(int offset) const
{
    const LineDisplay *box = display();
    if (box->m_lines.isEmpty())
        return {};
    int lineStart = 0;
    const qsizetype line = lineOf(offset, &lineStart);
    const QString &text = box->m_lines[line];
    const qsizetype column = std::clamp<qsizetype>(offset - lineStart, 0, text.size());
    const QFontMetrics metrics = box->fontMetrics();
    const int left =
        LineDisplay::Margin - box->horizontalScrollBar()->value() + metrics.horizontalAdvance(text.left(column));
    const int width = column < text.size() ? metrics.horizontalAdvance(text.at(column)) : 1;
    const QRect rect = box->lineRect(line);
    return QRect(box->viewport()->mapToGlobal(QPoint(left, rect.top())), QSize(width, rect.height()));
}

int LineDisplayAccessible::offsetAtPoint(const QPoint &point) const
{
    const LineDisplay *box = display();
    if (box->m_lines.isEmpty())
        return -1;
    const QPoint local = box->viewport()->mapFromGlobal(point);
    const qsizetype line = box->lineAt(local);
    const QString &text = box->m_lines[line];
    const QFontMetrics metrics = box->fontMetrics();
    const int x = local.x() - LineDisplay::Margin + box->horizontalScrollBar()->value();
    qsizetype column = 0;
    while (column < text.size() && metrics.horizontalAdvance(text.left(column + 1)) <= x)
        ++column;
    return startOf(line) + static_cast<int>(column);
}

void LineDisplayAccessible::scrollToSubstring(int startIndex, int)
{
    display()->verticalScrollBar()->setValue(static_cast<int>(lineOf(startIndex)));
}

QString LineDisplayAccessible::attributes(int offset, int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = offset;
    return {};
}
