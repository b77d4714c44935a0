#include "controls/CGridListCtrlEx.h"

#include "controls/ColorContrast.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QWheelEvent>

CGridListCtrlEx::CGridListCtrlEx(QWidget* parent)
    : QTableWidget(parent), m_delegate(new CGridCellDelegate(this)) {
    setItemDelegate(m_delegate);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                    QAbstractItemView::EditKeyPressed);
    setShowGrid(true);
    // Tab leaves the list (the arrows move within it): no keyboard trap.
    setTabKeyNavigation(false);
    // Narrow fixed columns: a compact font, and cut text rather than dots.
    QFont compact = font();
    compact.setPixelSize(12);
    setFont(compact);
    setTextElideMode(Qt::ElideNone);
    verticalHeader()->setVisible(false);
    verticalHeader()->setDefaultSectionSize(20);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsMovable(false);
    m_textColor = palette().color(QPalette::Text);
    connect(m_delegate, &CGridCellDelegate::EditCommitted, this, &CGridListCtrlEx::CellEdited);
    connect(this, &QTableWidget::currentCellChanged, this,
            [this](int row, int, int previousRow, int) {
                if (row != previousRow && row >= 0) emit RowSelected(row);
            });
}

void CGridListCtrlEx::RemoveAllColumns() {
    CancelEdit();
    clear();
    setRowCount(0);
    setColumnCount(0);
    m_rowColors.clear();
}

void CGridListCtrlEx::CancelEdit() {
    // Once the view has closed the editor, its loss of focus commits nothing.
    QWidget* editor = m_delegate->OpenEditor();
    if (state() == QAbstractItemView::EditingState && editor && editor->isVisible())
        closeEditor(editor, QAbstractItemDelegate::NoHint);
}

int CGridListCtrlEx::AddColumn(const QString& header, int width, Editor editor,
                               const QStringList& choices) {
    const int column = columnCount();
    insertColumn(column);
    setHorizontalHeaderItem(column, new QTableWidgetItem(header));
    horizontalHeader()->setSectionResizeMode(column, QHeaderView::Fixed);
    setColumnWidth(column, width);
    m_delegate->SetColumnEditor(column, editor, choices);
    for (int row = 0; row < rowCount(); ++row) CellItem(row, column);
    return column;
}

void CGridListCtrlEx::SetColumnHeader(int column, const QString& header) {
    if (QTableWidgetItem* item = horizontalHeaderItem(column)) item->setText(header);
}

void CGridListCtrlEx::SetColumnChoices(int column, const QStringList& choices) {
    m_delegate->SetColumnEditor(column, m_delegate->ColumnEditor(column), choices);
}

void CGridListCtrlEx::SetRowCount(int rows) {
    const int before = rowCount();
    setRowCount(std::max(rows, 0));
    m_rowColors.resize(rowCount());
    for (int row = before; row < rowCount(); ++row) {
        for (int column = 0; column < columnCount(); ++column) CellItem(row, column);
    }
}

QTableWidgetItem* CGridListCtrlEx::CellItem(int row, int column) {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return nullptr;
    QTableWidgetItem* cell = item(row, column);
    if (!cell) {
        cell = new QTableWidgetItem;
        Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (m_delegate->ColumnEditor(column) != Editor::None) flags |= Qt::ItemIsEditable;
        cell->setFlags(flags);
        cell->setTextAlignment(Qt::AlignCenter);
        const QColor rowColor = RowTextColor(row);
        cell->setForeground(rowColor);
        setItem(row, column, cell);
    }
    return cell;
}

void CGridListCtrlEx::SetCellText(int row, int column, const QString& text) {
    if (QTableWidgetItem* cell = CellItem(row, column)) cell->setText(text);
}

QString CGridListCtrlEx::CellText(int row, int column) const {
    const QTableWidgetItem* cell = item(row, column);
    return cell ? cell->text() : QString();
}

void CGridListCtrlEx::SetTextColor(const QColor& color) {
    m_textColor = color;
    // Light text (the EQ lists' yellow, cyan, green) reads on a dark list;
    // the cell editors take the same colours.
    m_background = ReadableBackground(color);
    // The cell editors take the same colours. On the dark background the
    // grid takes the graph's grey (only a style sheet reaches its colour).
    if (m_background.lightness() < 128)
        setStyleSheet(QStringLiteral("QTableView { background-color: %1; color: %2; "
                                     "gridline-color: rgb(64, 64, 64); }")
                          .arg(m_background.name(), color.name()));
    else
        setStyleSheet(QString());
    QPalette colours = palette();
    colours.setColor(QPalette::Base, m_background);
    colours.setColor(QPalette::Text, color);
    setPalette(colours);
    std::fill(m_rowColors.begin(), m_rowColors.end(), QColor());
    for (int row = 0; row < rowCount(); ++row) ApplyRowColor(row);
}

void CGridListCtrlEx::SetRowTextColor(int row, const QColor& color) {
    if (row < 0 || row >= rowCount()) return;
    m_rowColors.resize(rowCount());
    m_rowColors[row] = color;
    ApplyRowColor(row);
}

QColor CGridListCtrlEx::BackgroundColor() const {
    return m_background;
}

QColor CGridListCtrlEx::RowTextColor(int row) const {
    if (row >= 0 && row < int(m_rowColors.size()) && m_rowColors[row].isValid()) {
        return m_rowColors[row];
    }
    return m_textColor;
}

void CGridListCtrlEx::ApplyRowColor(int row) {
    const QColor color = RowTextColor(row);
    for (int column = 0; column < columnCount(); ++column) {
        if (QTableWidgetItem* cell = CellItem(row, column)) cell->setForeground(color);
    }
}

int CGridListCtrlEx::SelectedRow() const {
    const QList<QTableWidgetSelectionRange> ranges = selectedRanges();
    return ranges.isEmpty() ? -1 : ranges.first().topRow();
}

void CGridListCtrlEx::SelectRow(int row) {
    if (row < 0 || row >= rowCount()) {
        // No current row either, so picking any row again is a selection.
        setCurrentIndex(QModelIndex());
        clearSelection();
        return;
    }
    setCurrentCell(row, 0);
    selectRow(row);
}

bool CGridListCtrlEx::EditCell(int row, int column) {
    QTableWidgetItem* cell = CellItem(row, column);
    if (!cell || !(cell->flags() & Qt::ItemIsEditable)) return false;
    setCurrentItem(cell);
    editItem(cell);
    return state() == QAbstractItemView::EditingState;
}

void CGridListCtrlEx::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const bool arrow =
        key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
    if (m_inputToOwner && arrow && state() != QAbstractItemView::EditingState) {
        emit ArrowKey(key);
        event->accept();
        return;
    }
    QTableWidget::keyPressEvent(event);
}

void CGridListCtrlEx::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (m_inputToOwner && delta != 0) {
        emit WheelStep(delta > 0 ? 1 : -1);
        event->accept();
        return;
    }
    QTableWidget::wheelEvent(event);
}
