#pragma once

#include "controls/CGridCellDelegate.h"

#include <QColor>
#include <QTableWidget>

#include <vector>

// Editable list of the EQ pages: fixed columns of given widths and headers,
// rows addressed by index with their own text colour, single-row selection
// with a notice, and in-place editing of a cell (text field or drop-down)
// that ends with a notice of the row, the column and the new text.
class CGridListCtrlEx : public QTableWidget {
    Q_OBJECT
public:
    using Editor = CGridCellDelegate::Editor;

    explicit CGridListCtrlEx(QWidget* parent = nullptr);

    // Removes every row and column (the list is built again column by column).
    void RemoveAllColumns();
    // Closes an open in-place editor without applying what it holds.
    void CancelEdit();
    // Appends a column; returns its index.
    int AddColumn(const QString& header, int width, Editor editor = Editor::None,
                  const QStringList& choices = {});
    void SetColumnHeader(int column, const QString& header);
    // New drop-down entries (the type names after a language switch).
    void SetColumnChoices(int column, const QStringList& choices);
    void SetRowCount(int rows);
    void SetCellText(int row, int column, const QString& text);
    QString CellText(int row, int column) const;
    // Text colour of every row, and of one row. The list's background follows
    // the colour of every row: white or dark, whichever reads better.
    void SetTextColor(const QColor& color);
    QColor BackgroundColor() const;
    void SetRowTextColor(int row, const QColor& color);
    QColor RowTextColor(int row) const;
    int SelectedRow() const;
    void SelectRow(int row);
    // Opens the in-place editor of a cell (no effect on a read-only column).
    bool EditCell(int row, int column);
    // While set, the arrow keys and the wheel go to the page as ArrowKey and
    // WheelStep instead of moving the selection or scrolling.
    void SetInputToOwner(bool on) { m_inputToOwner = on; }
    CGridCellDelegate* Delegate() const { return m_delegate; }

signals:
    void RowSelected(int row);
    void CellEdited(int row, int column, const QString& text);
    void ArrowKey(int key);
    void WheelStep(int direction);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    QTableWidgetItem* CellItem(int row, int column);
    void ApplyRowColor(int row);

    CGridCellDelegate* m_delegate;
    QColor m_textColor;
    QColor m_background{255, 255, 255};
    std::vector<QColor> m_rowColors;
    bool m_inputToOwner = false;
};
