#include "pages/CRoomCorrection.h"

#include "controls/CEqPanel.h"
#include "controls/Localisation.h"
#include "modefile/MeasurementFile.h"
#include "modefile/SafeFile.h"
#include "pages/CAutoEqDlg.h"
#include "state/ChannelLinks.h"
#include "state/ImageEdits.h"
#include "state/ParamImage.h"
#include "state/ParamStore.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressDialog>
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

// A fit still running is waited for (it takes well under a second); its
// result is not applied.
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

void CRoomCorrection::SetErrorSink(std::function<void(const QString&)> sink) {
    m_errorSink = std::move(sink);
}

QString CRoomCorrection::ChooseFile(bool save) {
    if (m_chooser) return m_chooser(save);
    if (save)
        return QFileDialog::getSaveFileName(
            m_page, Tr("导出测量 + 均衡", "Export measurement + EQ"),
            QStringLiteral("measurement-eq.txt"), MeasurementFilter());
    return QFileDialog::getOpenFileName(m_page, Tr("载入测量", "Load measurement"), QString(),
                                        MeasurementFilter());
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

bool CRoomCorrection::AskChoices(fx::AutoEqRequest& request) {
    if (m_optionsChooser) return m_optionsChooser(request);
    const int freeBands = static_cast<int>(fx::FreeEqBands(m_target.set(), m_store.Panel()).size());
    CAutoEqDlg dialog(m_page, freeBands, [this] { return ChooseFile(false); });
    if (dialog.exec() != QDialog::Accepted) return false;
    QString reason;
    if (dialog.TakeChoices(request, reason)) return true;
    ShowError(reason);
    return false;
}

void CRoomCorrection::ChooseAndFit() {
    if (!m_graph.Overlay().HasMeasurement() || FitRunning()) return;
    fx::AutoEqRequest request;
    if (!AskChoices(request)) return;
    request.measurement = m_graph.Overlay().Measurement();
    const std::string refusal = fx::CheckAutoEqRequest(request);
    if (!refusal.empty()) {
        ShowError(QString::fromStdString(refusal));
        return;
    }
    if (!StartFit(request))
        ShowError(Tr("这组均衡没有空闲的频段。", "This EQ set has no free band."));
}

bool CRoomCorrection::StartFit(fx::AutoEqRequest request) {
    if (!m_graph.Overlay().HasMeasurement() || FitRunning()) return false;
    const int set = m_target.set();
    const int freeBands = static_cast<int>(fx::FreeEqBands(set, m_store.Panel()).size());
    if (freeBands == 0) return false;
    request.measurement = m_graph.Overlay().Measurement();
    request.keptBands = fx::KeptEqBands(set, m_store.Panel());
    request.bandCount = request.bandCount > 0 ? std::min(request.bandCount, freeBands) : freeBands;
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

void CRoomCorrection::OnFitDone() {
    m_thread->deleteLater();
    m_thread = nullptr;
    if (m_progress) {
        m_progress->deleteLater();
        m_progress = nullptr;
    }
    m_lastFit = *m_running;
    m_running.reset();
    ApplyFit(m_lastFit);
    emit FitApplied();
}

// One edit for the set and its linked sets: one undo step. Bands the user
// took while the fit ran are no longer free and stay as they are.
void CRoomCorrection::ApplyFit(const fx::AutoEqResult& fit) {
    const int set = m_target.set();
    const std::vector<int> freeBands = fx::FreeEqBands(set, m_store.Panel());
    fx::EditLinkedEqSets(set, fx::ImageEditKind::EqAutoFit,
                         [&](int target) { fx::ApplyAutoEqBands(target, freeBands, fit.bands); });
    m_graph.Overlay().SetTarget(fit.gridHz, fit.targetDb);
    m_graph.Overlay().SetFitNote(Tr("RMS %1 → %2 dB", "RMS %1 → %2 dB")
                                     .arg(fit.rmsBeforeDb, 0, 'f', 2)
                                     .arg(fit.rmsAfterDb, 0, 'f', 2));
    m_target.reload();
}

void CRoomCorrection::ExportPredicted() {
    if (!m_graph.Overlay().HasMeasurement()) return;
    const QString path = ChooseFile(true);
    if (path.isEmpty()) return;
    const int set = m_target.set();
    std::vector<EqBandRecord> bands;
    for (int band = 0; band < EqBandCount(set); ++band)
        bands.push_back(DecodeEqBandRecord(m_store.Panel() + EqBandOffset(set, band)));
    const std::string text = fx::FormatMeasurement(
        fx::PredictedMeasurement(m_graph.Overlay().Measurement(), bands),
        {"measurement + EQ", "EQ set " + std::to_string(set), "Freq(Hz) SPL(dB)"});
    const fx::FileWriteResult saved = fx::WriteFileAtomically(
        path.toStdString(), reinterpret_cast<const uint8_t*>(text.data()), text.size());
    if (!saved.ok) ShowError(QString::fromStdString(saved.message));
}
