#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;

// The about box (resource 100): the program and processor versions, and two
// hidden controls (the module line 1005 and the "Peak" box 1045 showing the
// status-poll flag) that Ctrl+Shift+F11 reveals.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kResource = 100;
    static constexpr int kModuleLineId = 1005;
    static constexpr int kPeakBoxId = 1045;

    explicit CAboutDlg(QWidget* parent);

    QLabel* ModuleLine() const { return m_module; }
    QCheckBox* PeakBox() const { return m_peak; }

protected:
    void keyReleaseEvent(QKeyEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLabel* m_module = nullptr;
    QCheckBox* m_peak = nullptr;
};
