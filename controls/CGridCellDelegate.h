#pragma once

#include <QPointer>
#include <QStringList>
#include <QStyledItemDelegate>

#include <vector>

// In-place cell editors of the grid list: a text field or a drop-down list per
// column. Every finished edit is reported with its row, column and text.
class CGridCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    enum class Editor { None, Text, Combo };

    explicit CGridCellDelegate(QObject* parent = nullptr);

    void SetColumnEditor(int column, Editor editor, const QStringList& choices = {});
    Editor ColumnEditor(int column) const;
    QStringList ColumnChoices(int column) const;
    // The in-place editor made last, while it exists.
    QWidget* OpenEditor() const { return m_openEditor; }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

signals:
    void EditCommitted(int row, int column, const QString& text) const;

private:
    struct ColumnSetup {
        Editor editor = Editor::None;
        QStringList choices;
    };
    std::vector<ColumnSetup> m_columns;
    mutable QPointer<QWidget> m_openEditor;
};
