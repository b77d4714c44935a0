#pragma once

#include "state/PresetDiff.h"

#include <QDialog>

#include <vector>

class QLabel;
class QTreeWidget;

// "Compare with file…": the parameters that differ between a mode file and
// the editor's parameters now, one row each with its name and both values,
// the same list that fxtunectl diff prints.
class CCompareDlg : public QDialog {
    Q_OBJECT
public:
    CCompareDlg(QWidget* parent, const QString& fileName,
                const std::vector<fx::ParamDifference>& differences);

    QLabel* Summary() const { return m_summary; }
    QTreeWidget* List() const { return m_list; }

private:
    QLabel* m_summary = nullptr;
    QTreeWidget* m_list = nullptr;
};
