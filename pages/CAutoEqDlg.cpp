#include "pages/CAutoEqDlg.h"

#include "controls/Localisation.h"
#include "modefile/MeasurementFile.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
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

CAutoEqDlg::CAutoEqDlg(QWidget* parent, int freeBands, std::function<QString()> chooseTarget)
    : QDialog(parent), m_chooseTarget(std::move(chooseTarget)) {
    setWindowTitle(Tr("自动均衡", "Auto EQ"));
    auto* form = new QFormLayout(this);
    m_low = SpinBox(this, 10, 24000, 20, 0, QStringLiteral(" Hz"));
    m_high = SpinBox(this, 10, 24000, 500, 0, QStringLiteral(" Hz"));
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
    m_bands->setRange(1, std::max(1, freeBands));
    m_bands->setValue(std::max(1, freeBands));
    form->addRow(Tr("段数", "Bands"), m_bands);
    m_boost = SpinBox(this, 0, 15, 3, 1, QStringLiteral(" dB"));
    form->addRow(Tr("最大提升", "Most boost"), m_boost);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
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
