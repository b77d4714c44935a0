#pragma once

#include "pages/CHalvoxPage.h"
#include "pages/CPageNavigator.h"
#include "state/OutputChannels.h"

#include <array>

class CDelayPanel;
class CPageNavRow;
class CSpinButton;
class CWheelRouter;
class CXBmpSlider;
class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;

// Control identifiers of the speaker delay page (dialog 333); each row's
// controls count from the first row's.
enum DelayPageCtrl : int {
    IDC_DELAY_EDIT = 1038,      // 1038..1045: delay time
    IDC_DELAY_HIGH_BAND = 1190, // 1190 + 2 x row: "高频延时"; 1191 + 2 x row: "通道延时"
    IDC_DELAY_SPIN = 1242,      // 1242..1249: spin of the delay time
    IDC_DELAY_CHART = 1250,
    IDC_DELAY_SWITCH = 1293, // 1293..1300
};

// The speaker delay page: the delays of all eight output channels side by
// side, one row of controls per channel beside the chart of their times.
// Every row shows its channel's delay switch, mode, split frequency and time
// from the image and writes a change at once, to the channels linked with
// the row's too (state/ChannelLinks.h); the chart, the edit (Enter)
// and the spin set the time within 1.5..100 ms.
class CDelayDlg : public CHalvoxPage {
    Q_OBJECT
public:
    static constexpr int kResource = 333;
    static constexpr int kSpinMin = int(kDelayMinMs * 10); // tenths of a millisecond
    static constexpr int kSpinMax = int(kDelayMaxMs * 10);

    CDelayDlg(QWidget* parent, fx::ParamStore& store, CPageNavigator navigator = {});

    void Reload() override;
    void Relabel() override;

    static int SplitSliderId(int row);
    static int SplitValueId(int row);
    static int RowLabelId(int row);

    CDelayPanel* Chart() const { return m_chart; }
    CPageNavRow& NavRow() const { return *m_nav; }
    QCheckBox* Switch(int row) const { return m_rows[row].onSwitch; }
    QRadioButton* HighBand(int row) const { return m_rows[row].highBand; }
    QRadioButton* WholeChannel(int row) const { return m_rows[row].wholeChannel; }
    CXBmpSlider* SplitSlider(int row) const { return m_rows[row].split; }
    QLineEdit* Edit(int row) const { return m_rows[row].edit; }
    CSpinButton* Spin(int row) const { return m_rows[row].spin; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Row {
        QLabel* label = nullptr;
        QCheckBox* onSwitch = nullptr;
        QRadioButton* highBand = nullptr;
        QRadioButton* wholeChannel = nullptr;
        CXBmpSlider* split = nullptr;
        QLabel* splitValue = nullptr;
        QLineEdit* edit = nullptr;
        CSpinButton* spin = nullptr;
    };

    void CreateRow(int row);
    void Layout();
    void LoadRow(int row);
    // The row and the rows of the channels linked with it, from the image.
    void LoadLinkedRows(int row);
    void EnableRow(int row);

    void OnSwitch(int row, bool checked);
    void OnMode(int row, bool wholeChannel);
    void OnSplit(int row, int position);
    void OnEditEnter(int row);
    void OnSpin(int row, int position);
    void OnChartDrag(int row, double ms);
    // The edit, the chart and the spin show the time; the processor gets it.
    void ApplyTime(int row, double ms);
    void ShowTime(int row, double ms);
    bool StepFocusedByWheel(QWidget* focus, int direction);
    int EditRow(const QWidget* widget) const;

    CPageNavRow* m_nav = nullptr;
    CDelayPanel* m_chart = nullptr;
    CWheelRouter* m_wheel = nullptr;
    std::array<QLabel*, 4> m_headers{};
    std::array<Row, kOutputChannelCount> m_rows;
};
