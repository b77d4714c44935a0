#include "controls/CReportCtrl.h"

#include <QHeaderView>

#include <algorithm>

CReportCtrl::CReportCtrl(QWidget* parent) : QTableWidget(parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    // Narrow fixed columns: a compact font, and cut text rather than dots.
    QFont compact = font();
    compact.setPixelSize(12);
    setFont(compact);
    setTextElideMode(Qt::ElideNone);
    verticalHeader()->setVisible(false);
    verticalHeader()->setDefaultSectionSize(20);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    connect(this, &QTableWidget::cellClicked, this, [this](int row, int) { emit RowClicked(row); });
}

int CReportCtrl::InsertColumn(const QString& header, int width, Qt::Alignment alignment) {
    const int column = columnCount();
    insertColumn(column);
    setHorizontalHeaderItem(column, new QTableWidgetItem(header));
    setColumnWidth(column, width);
    m_alignments.push_back(alignment);
    return column;
}

int CReportCtrl::InsertItem(int row, const QString& text) {
    row = std::clamp(row, 0, rowCount());
    insertRow(row);
    SetItemText(row, 0, text);
    return row;
}

QTableWidgetItem* CReportCtrl::CellItem(int row, int column) {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return nullptr;
    QTableWidgetItem* cell = item(row, column);
    if (!cell) {
        cell = new QTableWidgetItem;
        if (column < int(m_alignments.size())) cell->setTextAlignment(m_alignments[column]);
        setItem(row, column, cell);
    }
    return cell;
}

void CReportCtrl::SetItemText(int row, int column, const QString& text) {
    if (QTableWidgetItem* cell = CellItem(row, column)) cell->setText(text);
}

QString CReportCtrl::GetItemText(int row, int column) const {
    const QTableWidgetItem* cell = item(row, column);
    return cell ? cell->text() : QString();
}

void CReportCtrl::SetItemColors(int row, int column, const QColor& text, const QColor& background) {
    QTableWidgetItem* cell = CellItem(row, column);
    if (!cell) return;
    cell->setForeground(text.isValid() ? QBrush(text) : QBrush());
    cell->setBackground(background.isValid() ? QBrush(background) : QBrush());
}

void CReportCtrl::SetRowColors(int row, const QColor& text, const QColor& background) {
    for (int column = 0; column < columnCount(); ++column) {
        SetItemColors(row, column, text, background);
    }
}

int CReportCtrl::GetSelectedRow() const {
    const QList<QTableWidgetSelectionRange> ranges = selectedRanges();
    return ranges.isEmpty() ? -1 : ranges.first().topRow();
}

void CReportCtrl::SelectRow(int row) {
    if (row < 0 || row >= rowCount()) {
        clearSelection();
        return;
    }
    selectRow(row);
}
