#pragma once

#include "state/AutoEqFit.h"

#include <QDialog>

#include <functional>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QSpinBox;

// The choices of an automatic EQ fit: frequency range, target (flat, a tilt
// or a target file), number of bands (at most the set's free bands) and the
// most a dip is filled.
class CAutoEqDlg : public QDialog {
    Q_OBJECT
public:
    // chooseTarget opens a target file (an empty path: cancelled).
    CAutoEqDlg(QWidget* parent, int freeBands, std::function<QString()> chooseTarget);

    // Fills the request's range, target, band count and boost; false with
    // reason when a target file cannot be read.
    bool TakeChoices(fx::AutoEqRequest& request, QString& reason) const;

private:
    void OnTargetKind(int index);

    QDoubleSpinBox* m_low = nullptr;
    QDoubleSpinBox* m_high = nullptr;
    QComboBox* m_target = nullptr;
    QDoubleSpinBox* m_tilt = nullptr;
    QLabel* m_targetFile = nullptr;
    QSpinBox* m_bands = nullptr;
    QDoubleSpinBox* m_boost = nullptr;
    std::function<QString()> m_chooseTarget;
    QString m_targetPath;
};
