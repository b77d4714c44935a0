#pragma once

#include "state/AutoEqFit.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace fx {
class ParamStore;
}

class CEqPanel;
class QProgressDialog;
class QThread;
class QWidget;

// Room correction on an EQ page: loads a measured response into the graph
// (it belongs to the set shown when it was loaded), fits the set's free
// bands to it on a worker thread (the window's thread never waits; a
// progress dialog shows how far it is), draws the fitted result for the
// user to apply or cancel, and applies it as one edit, one undo step, to the
// set and the sets a channel link ties to it; exports "measurement + EQ" as
// text. Reached from the graph's band-less menu and from the Edit menu.
class CRoomCorrection : public QObject {
    Q_OBJECT
public:
    // The EQ set the correction works on, as its editor shows it.
    struct Target {
        std::function<int()> set;
        // Shows the image's bands again after the fit was written.
        std::function<void()> reload;
    };

    CRoomCorrection(QObject* owner, Target target, CEqPanel& graph, QWidget* page,
                    fx::ParamStore& store);
    ~CRoomCorrection() override; // waits for a running fit

    bool HasMeasurement() const;
    void LoadMeasurement();
    // Asks for the fit's choices (a measurement first when none is loaded;
    // with no free band, whether to take the set's bands anyway), then
    // starts the fit.
    void ChooseAndFit();
    void ExportPredicted();
    // Starts a fit of the loaded measurement into the set's free bands (or,
    // with allBands, into every band copy and paste move); the request's band
    // count is limited to them. False when none is loaded, a fit is running
    // or there is no band to take.
    bool StartFit(fx::AutoEqRequest request, bool allBands = false);
    bool FitRunning() const { return m_thread != nullptr; }
    const fx::AutoEqResult& LastFit() const { return m_lastFit; }

    // Replaces the dialogs (tests): file choosers (save: true for the export),
    // the fit's choices (false: cancelled), the question whether to take the
    // set's bands when none is free, the preview's Apply (true) or Cancel,
    // and the error box.
    void SetFileChooser(std::function<QString(bool save)> chooser);
    void SetOptionsChooser(std::function<bool(fx::AutoEqRequest& request)> chooser);
    void SetAllBandsChooser(std::function<bool()> chooser);
    void SetPreviewChooser(std::function<bool()> chooser);
    void SetErrorSink(std::function<void(const QString& text)> sink);

signals:
    void FitProgress(int percent);
    // The fitted bands were written (or nothing was left to fit).
    void FitApplied();
    // The preview was cancelled: nothing was written.
    void FitDiscarded();

private:
    QString ChooseFile(bool save);
    void ShowError(const QString& text);
    bool AskAllBands();
    bool AskChoices(fx::AutoEqRequest& request, int bands, bool allBands);
    bool AskApply();
    void ShowProgress();
    void OnFitDone();
    // The bands the fit goes into.
    std::vector<int> Slots(bool allBands) const;
    // What the fit does to the set's curve at the 512 evaluation points.
    std::vector<float> FitCurveChange(const fx::AutoEqResult& fit) const;
    void ApplyFit(const fx::AutoEqResult& fit);

    Target m_target;
    CEqPanel& m_graph;
    QWidget* m_page;
    fx::ParamStore& m_store;
    QThread* m_thread = nullptr;
    QProgressDialog* m_progress = nullptr;
    std::shared_ptr<fx::AutoEqResult> m_running; // written by the worker until it ends
    fx::AutoEqResult m_lastFit;
    bool m_allBands = false; // the running fit takes every band
    std::function<QString(bool)> m_chooser;
    std::function<bool(fx::AutoEqRequest&)> m_optionsChooser;
    std::function<bool()> m_allBandsChooser;
    std::function<bool()> m_previewChooser;
    std::function<void(const QString&)> m_errorSink;
};
