#pragma once

#include <QColor>
#include <QTableWidget>

#include <vector>

// Report-style list with grid lines and full-row selection whose cells carry
// their own text and background colours. A click selects the row under the
// pointer; the page listens to the list's ordinary signals (cellClicked,
// currentCellChanged) or to RowClicked.
class CReportCtrl : public QTableWidget {
    Q_OBJECT
public:
    explicit CReportCtrl(QWidget* parent = nullptr);

    // Appends a column; returns its index.
    int InsertColumn(const QString& header, int width,
                     Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);
    // Inserts a row at index (clamped to the row count) with the text of column
    // 0; returns the row.
    int InsertItem(int row, const QString& text);
    void DeleteAllItems() { setRowCount(0); }
    void SetItemText(int row, int column, const QString& text);
    QString GetItemText(int row, int column) const;
    // Colours of one cell; an invalid colour keeps the list's default.
    void SetItemColors(int row, int column, const QColor& text, const QColor& background);
    void SetRowColors(int row, const QColor& text, const QColor& background);
    int GetSelectedRow() const;
    void SelectRow(int row);

signals:
    void RowClicked(int row);

private:
    QTableWidgetItem* CellItem(int row, int column);
    std::vector<Qt::Alignment> m_alignments;
};
