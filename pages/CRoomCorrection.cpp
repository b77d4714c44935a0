#include "pages/CRoomCorrection.h"

#include "controls/CEqPanel.h"
#include "controls/EqModel.h"
#include "controls/Localisation.h"
#include "modefile/MeasurementFile.h"
#include "modefile/SafeFile.h"
#include "pages/CAutoEqDlg.h"
#include "pages/DialogControls.h"
#include "state/ChannelLinks.h"
#include "state/ImageEdits.h"
#include "state/ParamImage.h"
#include "state/ParamNames.h"
#include "state/ParamStore.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>

#include <algorithm>
#include <utility>

namespace {

QString MeasurementFilter() {
    return Tr("测量文本 (*.txt *.frd);;所有文件 (*)",
              "Measurement text (*.txt *.frd);;All files (*)");
}

// A file's measurement, or the reason it is refused (with its line).
bool ReadMeasurement(const QString& path, fx::Measurement& out, QString& reason) {
    const fx::MeasurementText text = fx::ReadMeasurementFile(path.toStdString());
    if (!text.ok && text.line == 0) {
        reason = QString::fromStdString(text.reason);
        return false;
    }
    if (!text.ok) {
        reason = Tr("%1 第 %2 行无法读取：\n%3", "%1, line %2 cannot be read:\n%3")
                     .arg(QFileInfo(path).fileName())
                     .arg(text.line)
                     .arg(QString::fromStdString(text.reason));
        return false;
    }
    out = text.measurement;
    return true;
}

QString SetName(int set) {
    return QString::fromStdString(fx::EqSetName(set, g_Language == 1 ? 1 : 0));
}

} // namespace

CRoomCorrection::CRoomCorrection(QObject* owner, Target target, CEqPanel& graph, QWidget* page,
                                 fx::ParamStore& store)
    : QObject(owner), m_target(std::move(target)), m_graph(graph), m_page(page), m_store(store) {
    connect(&m_graph, &CEqPanel::MeasurementFile, this, [this](int operation, int) {
        if (operation == kEqLoadMeasurement)
            LoadMeasurement();
        else if (operation == kEqFitMeasurement)
            ChooseAndFit();
        else
            ExportPredicted();
    });
}

// A fit still running is waited for (it takes about a second); its result
// is not applied.
CRoomCorrection::~CRoomCorrection() {
    if (!m_thread) return;
    m_thread->disconnect(this);
    m_thread->wait();
    delete m_thread;
}

void CRoomCorrection::SetFileChooser(std::function<QString(bool)> chooser) {
    m_chooser = std::move(chooser);
}

void CRoomCorrection::SetOptionsChooser(std::function<bool(fx::AutoEqRequest&)> chooser) {
    m_optionsChooser = std::move(chooser);
}

void CRoomCorrection::SetAllBandsChooser(std::function<bool()> chooser) {
    m_allBandsChooser = std::move(chooser);
}

void CRoomCorrection::SetPreviewChooser(std::function<bool()> chooser) {
    m_previewChooser = std::move(chooser);
}

void CRoomCorrection::SetErrorSink(std::function<void(const QString&)> sink) {
    m_errorSink = std::move(sink);
}

bool CRoomCorrection::HasMeasurement() const {
    return m_graph.Overlay().HasMeasurement();
}

// The dialogs start in the folder of the last measurement or filter file.
QString CRoomCorrection::ChooseFile(bool save) {
    QString path;
    if (m_chooser)
        path = m_chooser(save);
    else if (save)
        path = QFileDialog::getSaveFileName(
            m_page, Tr("导出测量 + 均衡", "Export measurement + EQ"),
            QDir(fx::LastFileFolder()).filePath(QStringLiteral("measurement-eq.txt")),
            MeasurementFilter());
    else
        path = QFileDialog::getOpenFileName(m_page, Tr("载入测量", "Load measurement"),
                                            fx::LastFileFolder(), MeasurementFilter());
    fx::RememberFileFolder(path);
    return path;
}

void CRoomCorrection::ShowError(const QString& text) {
    if (m_errorSink)
        m_errorSink(text);
    else
        QMessageBox::warning(m_page, Tr("测量", "Measurement"), text);
}

// A refused file leaves the graph as it was.
void CRoomCorrection::LoadMeasurement() {
    const QString path = ChooseFile(false);
    if (path.isEmpty()) return;
    fx::Measurement measurement;
    QString reason;
    if (!ReadMeasurement(path, measurement, reason)) {
        ShowError(reason);
        return;
    }
    m_graph.Overlay().SetMeasurement(measurement);
    m_graph.update();
}

std::vector<int> CRoomCorrection::Slots(bool allBands) const {
    const int set = m_target.set();
    if (!allBands) return fx::FreeEqBands(set, m_store.Panel());
    std::vector<int> all(static_cast<size_t>(EqCopyCount(set)));
    for (size_t band = 0; band < all.size(); ++band) all[band] = static_cast<int>(band);
    return all;
}

bool CRoomCorrection::AskAllBands() {
    if (m_allBandsChooser) return m_allBandsChooser();
    const auto answer = QMessageBox::question(
        m_page, Tr("自动均衡", "Auto EQ"),
        Tr("%1 没有空闲频段：每个频段都已使用。\n要让拟合使用它的全部频段并替换其现有设置吗？",
           "%1 has no free band: every band is in use.\nLet the fit take all of its bands and "
           "replace their settings?")
            .arg(SetName(m_target.set())),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    return answer == QMessageBox::Yes;
}

bool CRoomCorrection::AskChoices(fx::AutoEqRequest& request, int bands, bool allBands) {
    if (m_optionsChooser) return m_optionsChooser(request);
    const fx::Measurement& measurement = m_graph.Overlay().Measurement();
    CAutoEqDlg dialog(m_page, fx::DefaultAutoEqRequest(measurement),
                      fx::LowFrequencyLimit(measurement), bands, allBands,
                      [this] { return ChooseFile(false); });
    if (dialog.exec() != QDialog::Accepted) return false;
    QString reason;
    if (dialog.TakeChoices(request, reason)) return true;
    ShowError(reason);
    return false;
}

void CRoomCorrection::ChooseAndFit() {
    if (FitRunning()) return;
    if (!HasMeasurement()) LoadMeasurement();
    if (!HasMeasurement()) return;
    // Said before the choices: no free band, and whether to take them all.
    bool allBands = false;
    if (Slots(false).empty()) {
        if (!AskAllBands()) return;
        allBands = true;
    }
    fx::AutoEqRequest request = fx::DefaultAutoEqRequest(m_graph.Overlay().Measurement());
    if (!AskChoices(request, static_cast<int>(Slots(allBands).size()), allBands)) return;
    request.measurement = m_graph.Overlay().Measurement();
    const std::string refusal = fx::CheckAutoEqRequest(request);
    if (!refusal.empty()) {
        ShowError(QString::fromStdString(refusal));
        return;
    }
    StartFit(request, allBands);
}

bool CRoomCorrection::StartFit(fx::AutoEqRequest request, bool allBands) {
    if (!HasMeasurement() || FitRunning()) return false;
    const int set = m_target.set();
    const std::vector<int> taken = Slots(allBands);
    if (taken.empty()) return false;
    m_allBands = allBands;
    request.measurement = m_graph.Overlay().Measurement();
    // What the fit does not take is part of the response it corrects.
    request.keptBands.clear();
    for (int band = 0; band < EqBandCount(set); ++band)
        if (std::find(taken.begin(), taken.end(), band) == taken.end())
            request.keptBands.push_back(
                DecodeEqBandRecord(m_store.Panel() + EqBandOffset(set, band)));
    const int count = static_cast<int>(taken.size());
    request.bandCount = request.bandCount > 0 ? std::min(request.bandCount, count) : count;
    m_running = std::make_shared<fx::AutoEqResult>();
    // The worker writes only its own result; progress reaches this object
    // queued, on the window's thread.
    m_thread = QThread::create([this, request, result = m_running] {
        *result = fx::FitAutoEq(request, [this](double fraction) {
            const int percent = static_cast<int>(fraction * 100.0);
            QMetaObject::invokeMethod(
                this, [this, percent] { emit FitProgress(percent); }, Qt::QueuedConnection);
        });
    });
    connect(m_thread, &QThread::finished, this, &CRoomCorrection::OnFitDone);
    ShowProgress();
    m_thread->start();
    return true;
}

void CRoomCorrection::ShowProgress() {
    m_progress =
        new QProgressDialog(Tr("正在计算自动均衡…", "Fitting the EQ…"), QString(), 0, 100, m_page);
    m_progress->setWindowTitle(Tr("自动均衡", "Auto EQ"));
    m_progress->setMinimumDuration(0);
    m_progress->setAutoClose(false);
    m_progress->setValue(0);
    connect(this, &CRoomCorrection::FitProgress, m_progress, &QProgressDialog::setValue);
}

std::vector<float> CRoomCorrection::FitCurveChange(const fx::AutoEqResult& fit) const {
    const int set = m_target.set();
    const std::vector<int> taken = Slots(m_allBands);
    std::vector<EqBandRecord> replaced;
    for (size_t i = 0; i < taken.size() && i < fit.bands.size(); ++i)
        replaced.push_back(DecodeEqBandRecord(m_store.Panel() + EqBandOffset(set, taken[i])));
    std::vector<float> change(kEqPoints);
    const auto& f = EqEvalFrequencies();
    for (int i = 0; i < kEqPoints; ++i)
        change[i] = static_cast<float>(fx::BandsResponseDb(fit.bands, f[i]) -
                                       fx::BandsResponseDb(replaced, f[i]));
    return change;
}

// Drawn first: the target and the measurement with the fit, with the
// figures; written only on Apply.
void CRoomCorrection::OnFitDone() {
    m_thread->deleteLater();
    m_thread = nullptr;
    if (m_progress) {
        m_progress->deleteLater();
        m_progress = nullptr;
    }
    m_lastFit = *m_running;
    m_running.reset();
    CEqOverlay& overlay = m_graph.Overlay();
    overlay.SetTarget(m_lastFit.gridHz, m_lastFit.targetDb);
    overlay.SetPreview(FitCurveChange(m_lastFit));
    m_graph.update();
    const bool apply = AskApply();
    overlay.SetPreview({});
    if (!apply) {
        overlay.SetTarget({}, {});
        m_graph.update();
        emit FitDiscarded();
        return;
    }
    ApplyFit(m_lastFit);
    emit FitApplied();
}

bool CRoomCorrection::AskApply() {
    if (m_previewChooser) return m_previewChooser();
    QMessageBox box(QMessageBox::Question, Tr("自动均衡", "Auto EQ"),
                    Tr("曲线图上的蓝色曲线是拟合后的测量 + 均衡，图例给出它的均方根偏差。\n"
                       "写入 %1 吗？",
                       "The blue curve on the graph is measurement + EQ with the fitted bands; "
                       "the legend gives its RMS deviation.\nApply it to %1?")
                        .arg(SetName(m_target.set())),
                    QMessageBox::NoButton, m_page);
    QPushButton* apply = box.addButton(Tr("应用", "Apply"), QMessageBox::AcceptRole);
    box.addButton(Tr("取消", "Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(apply);
    // Over the band list, clear of the graph the curve is drawn on.
    box.move(m_page->mapToGlobal(QPoint(16, 48)));
    box.exec();
    return box.clickedButton() == apply;
}

// One edit for the set and its linked sets: one undo step. Bands the user
// took while the fit ran are no longer free and stay as they are.
void CRoomCorrection::ApplyFit(const fx::AutoEqResult& fit) {
    const int set = m_target.set();
    const std::vector<int> taken = Slots(m_allBands);
    fx::EditLinkedEqSets(set, fx::ImageEditKind::EqAutoFit,
                         [&](int target) { fx::ApplyAutoEqBands(target, taken, fit.bands); });
    m_graph.Overlay().SetTarget(fit.gridHz, fit.targetDb);
    m_target.reload();
}

void CRoomCorrection::ExportPredicted() {
    if (!HasMeasurement()) return;
    const QString path = ChooseFile(true);
    if (path.isEmpty()) return;
    const int set = m_target.set();
    std::vector<EqBandRecord> bands;
    for (int band = 0; band < EqBandCount(set); ++band)
        bands.push_back(DecodeEqBandRecord(m_store.Panel() + EqBandOffset(set, band)));
    const std::string text =
        fx::FormatMeasurement(fx::PredictedMeasurement(m_graph.Overlay().Measurement(), bands),
                              {"measurement + EQ", fx::EqSetName(set, 1), "Freq(Hz) SPL(dB)"});
    const fx::FileWriteResult saved = fx::WriteFileAtomically(
        path.toStdString(), reinterpret_cast<const uint8_t*>(text.data()), text.size());
    if (!saved.ok) ShowError(QString::fromStdString(saved.message));
}
