#pragma once

#include "state/AutoEqFit.h"

#include <QDialog>

#include <functional>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QSpinBox;

// The choices of an automatic EQ fit: frequency range, target (flat, a tilt
// or a target file), number of bands (at most the bands the fit may take)
// and the most a dip is filled. A sentence at the top says what the fit
// does, that it is shown before it is applied, and where the measurement's
// low-frequency limit lies.
class CAutoEqDlg : public QDialog {
    Q_OBJECT
public:
    // defaults: the range and boost to start from (fx::DefaultAutoEqRequest);
    // bands: how many the fit may take; allBands: those are every band of
    // the set (none was free); chooseTarget opens a target file (an empty
    // path: cancelled).
    CAutoEqDlg(QWidget* parent, const fx::AutoEqRequest& defaults, double lowLimitHz, int bands,
               bool allBands, std::function<QString()> chooseTarget);

    // Fills the request's range, target, band count and boost; false with
    // reason when a target file cannot be read.
    bool TakeChoices(fx::AutoEqRequest& request, QString& reason) const;

    QLabel* Intro() const { return m_intro; }
    QSpinBox* BandsBox() const { return m_bands; }
    QDoubleSpinBox* LowBox() const { return m_low; }

private:
    void OnTargetKind(int index);

    QLabel* m_intro = nullptr;
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
