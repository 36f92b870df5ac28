#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QStringList>

#include <vector>

// The monitor's display box: read-only lines in a fixed-pitch font. Setting the text
// repaints only the lines that changed, and a line of printable ASCII is copied together
// from character cells rendered once per font, colours and pixel ratio, so a display
// refreshed 25 times a second costs next to nothing. Any other line, or a font that is
// not fixed-pitch, is drawn by the text engine. Lines can be selected with the mouse
// (whole lines) and copied.
class LineDisplay final : public QAbstractScrollArea {
    Q_OBJECT
    // What the box shows, for UI automation as for the program.
    Q_PROPERTY(QString plainText READ toPlainText NOTIFY textChanged)
public:
    explicit LineDisplay(QWidget *parent = nullptr);

    void setPlainText(const QString &text);
    QString toPlainText() const { return m_lines.join(QLatin1Char('\n')); }
    void clear() { setPlainText({}); }
    QString selectedText() const;

signals:
    void textChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    friend class LineDisplayAccessible;
    static constexpr int Margin = 4; // as a text box's
    // The characters ' ' to '~' side by side, one cell each, in device pixels.
    struct Cells {
        QImage normal;
        QImage selected;
        qreal ratio = 0;
    };
    void fontChanged();
    void renderCells(qreal ratio);
    bool inCells(const QString &line) const;
    qreal widthOf(const QString &line) const;
    void drawLine(QPainter &painter, qsizetype index, const QRect &rect, bool selected);
    QRect lineRect(qsizetype index) const;
    qsizetype lineAt(const QPoint &point) const;
    void select(qsizetype anchor, qsizetype end);
    void selectAll() { select(0, m_lines.size() - 1); }
    void copy() const;
    void updateScrollRanges();

    QStringList m_lines;
    std::vector<qreal> m_widths;
    int m_cellWidth = 0; // logical pixels; 0 when the font is not fixed-pitch
    int m_lineHeight = 1;
    int m_ascent = 0;
    Cells m_cells;
    QImage m_row;            // where a line is put together
    qsizetype m_anchor = -1; // the selected lines: from the anchor to the end, either way
    qsizetype m_end = -1;
};
