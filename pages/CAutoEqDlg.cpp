#include "pages/CAutoEqDlg.h"

#include "controls/Localisation.h"
#include "modefile/MeasurementFile.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace {

QDoubleSpinBox* SpinBox(QWidget* parent, double low, double high, double value, int decimals,
                        const QString& suffix) {
    auto* box = new QDoubleSpinBox(parent);
    box->setRange(low, high);
    box->setDecimals(decimals);
    box->setValue(value);
    box->setSuffix(suffix);
    return box;
}

enum TargetChoice { kFlat = 0, kTilt = 1, kFile = 2 };

} // namespace

CAutoEqDlg::CAutoEqDlg(QWidget* parent, const fx::AutoEqRequest& defaults, double lowLimitHz,
                       int bands, bool allBands, std::function<QString()> chooseTarget)
    : QDialog(parent), m_chooseTarget(std::move(chooseTarget)) {
    setWindowTitle(Tr("自动均衡（房间校正）", "Auto EQ (room correction)"));
    auto* form = new QFormLayout(this);
    const QString use =
        allBands
            ? Tr("这组均衡没有空闲频段：拟合将使用它的全部 %1 个频段，替换其现有设置。",
                 "This EQ set has no free band: the fit takes all of its %1 bands and replaces "
                 "their settings.")
                  .arg(bands)
            : Tr("拟合使用这组均衡的 %1 个空闲频段，已使用的频段保持不变。",
                 "The fit takes the set's %1 free bands; the bands in use stay as they are.")
                  .arg(bands);
    m_intro = new QLabel(
        Tr("按载入的测量计算参量频段，使“测量 + 均衡”在所选频率范围内接近目标。%1"
           "结果先画在曲线图上，确认后才写入。此测量的低频极限为 %2 Hz（扬声器在此以下滚降），"
           "低于它的频率不会被提升。",
           "Fits peaking bands to the loaded measurement so that measurement + EQ follows the "
           "target over the range. %1 The result is drawn on the graph first and written only "
           "when you apply it. This measurement's low-frequency limit is %2 Hz (the speaker "
           "rolls off below it): nothing below it is boosted.")
            .arg(use)
            .arg(lowLimitHz, 0, 'f', 0),
        this);
    m_intro->setWordWrap(true);
    m_intro->setMinimumWidth(380);
    form->addRow(m_intro);
    m_low = SpinBox(this, 10, 24000, defaults.lowHz, 0, QStringLiteral(" Hz"));
    m_high = SpinBox(this, 10, 24000, defaults.highHz, 0, QStringLiteral(" Hz"));
    form->addRow(Tr("最低频率", "From"), m_low);
    form->addRow(Tr("最高频率", "To"), m_high);
    m_target = new QComboBox(this);
    m_target->addItems({Tr("平直", "Flat"), Tr("倾斜", "Tilt"), Tr("目标文件…", "Target file…")});
    form->addRow(Tr("目标", "Target"), m_target);
    m_tilt = SpinBox(this, -6, 6, -1, 1, Tr(" dB/倍频程", " dB/octave"));
    m_tilt->setEnabled(false);
    form->addRow(Tr("倾斜", "Tilt"), m_tilt);
    m_targetFile = new QLabel(this);
    form->addRow(QString(), m_targetFile);
    m_bands = new QSpinBox(this);
    m_bands->setRange(1, std::max(1, bands));
    m_bands->setValue(std::max(1, bands));
    form->addRow(allBands ? Tr("段数（全部 %1 段）", "Bands (all %1)").arg(bands)
                          : Tr("段数（空闲 %1 段）", "Bands (%1 free)").arg(bands),
                 m_bands);
    m_boost = SpinBox(this, 0, 15, defaults.maxBoostDb, 1, QStringLiteral(" dB"));
    form->addRow(Tr("最大提升", "Most boost"), m_boost);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(Tr("计算", "Fit"));
    buttons->button(QDialogButtonBox::Cancel)->setText(Tr("取消", "Cancel"));
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_target, &QComboBox::activated, this, &CAutoEqDlg::OnTargetKind);
}

void CAutoEqDlg::OnTargetKind(int index) {
    m_tilt->setEnabled(index == kTilt);
    if (index != kFile) return;
    const QString path = m_chooseTarget ? m_chooseTarget() : QString();
    if (path.isEmpty()) {
        m_target->setCurrentIndex(kFlat);
        return;
    }
    m_targetPath = path;
    m_targetFile->setText(QFileInfo(path).fileName());
}

bool CAutoEqDlg::TakeChoices(fx::AutoEqRequest& request, QString& reason) const {
    request.lowHz = m_low->value();
    request.highHz = m_high->value();
    request.bandCount = m_bands->value();
    request.maxBoostDb = m_boost->value();
    request.target = {};
    if (m_target->currentIndex() == kTilt) {
        request.target.kind = fx::EqTarget::Tilt;
        request.target.tiltDbPerOctave = m_tilt->value();
    }
    if (m_target->currentIndex() != kFile) return true;
    const fx::MeasurementText text = fx::ReadMeasurementFile(m_targetPath.toStdString());
    if (!text.ok && text.line == 0) {
        reason = QString::fromStdString(text.reason);
        return false;
    }
    if (!text.ok) {
        reason = QFileInfo(m_targetPath).fileName() + ": " + QString::fromStdString(text.Error());
        return false;
    }
    request.target.kind = fx::EqTarget::Curve;
    request.target.curve = text.measurement;
    return true;
}
