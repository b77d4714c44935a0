#include "controls/CGridCellDelegate.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTimer>

CGridCellDelegate::CGridCellDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

void CGridCellDelegate::SetColumnEditor(int column, Editor editor, const QStringList& choices) {
    if (column < 0) return;
    if (column >= int(m_columns.size())) m_columns.resize(column + 1);
    m_columns[column] = ColumnSetup{editor, choices};
}

CGridCellDelegate::Editor CGridCellDelegate::ColumnEditor(int column) const {
    if (column < 0 || column >= int(m_columns.size())) return Editor::None;
    return m_columns[column].editor;
}

QStringList CGridCellDelegate::ColumnChoices(int column) const {
    if (column < 0 || column >= int(m_columns.size())) return {};
    return m_columns[column].choices;
}

QWidget* CGridCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                         const QModelIndex& index) const {
    switch (ColumnEditor(index.column())) {
    case Editor::Text: {
        auto* edit = new QLineEdit(parent);
        edit->setFrame(false);
        m_openEditor = edit;
        return edit;
    }
    case Editor::Combo: {
        auto* combo = new QComboBox(parent);
        combo->addItems(ColumnChoices(index.column()));
        // Picking an entry ends the edit at once.
        auto* self = const_cast<CGridCellDelegate*>(this);
        connect(combo, &QComboBox::activated, self, [self, combo](int) {
            emit self->commitData(combo);
            emit self->closeEditor(combo);
        });
        QTimer::singleShot(0, combo, [combo] {
            if (combo->isVisible()) combo->showPopup();
        });
        m_openEditor = combo;
        return combo;
    }
    case Editor::None:
        break;
    }
    return nullptr;
}

void CGridCellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    const QString text = index.data(Qt::EditRole).toString();
    if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        edit->setText(text);
        edit->selectAll();
    } else if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        const int found = combo->findText(text);
        if (found >= 0) combo->setCurrentIndex(found);
    }
}

void CGridCellDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                     const QModelIndex& index) const {
    QString text;
    if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        text = edit->text();
    } else if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        text = combo->currentText();
    } else {
        return;
    }
    model->setData(index, text, Qt::EditRole);
    emit EditCommitted(index.row(), index.column(), text);
}

void CGridCellDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                             const QModelIndex&) const {
    editor->setGeometry(option.rect);
}
