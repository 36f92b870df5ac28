#pragma once

#include <QAccessibleWidget>

class LineDisplay;

// What assistive technology and UI automation read of the monitor's display box: a
// read-only text, its lines joined by line feeds, with the selected lines as its selection.
class LineDisplayAccessible final : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit LineDisplayAccessible(LineDisplay *display);
    // Makes every display box answer with this interface.
    static void install();

    QAccessible::State state() const override;
    QString text(QAccessible::Text t) const override;
    void *interface_cast(QAccessible::InterfaceType type) override;

    void selection(int selectionIndex, int *startOffset, int *endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint &point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int *startOffset, int *endOffset) const override;

private:
    LineDisplay *display() const;
    // The line an offset of the whole text lies in, and where that line starts.
    qsizetype lineOf(int offset, int *lineStart = nullptr) const;
    int startOf(qsizetype line) const;
};
