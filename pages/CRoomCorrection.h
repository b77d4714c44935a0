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

// Room correction on an EQ page: loads a measured response into the graph,
// fits the set's free bands to it on a worker thread (the window's thread
// never waits; a progress dialog shows how far it is) and applies the result
// as one edit, one undo step, to the set and the sets a channel link ties to
// it; exports
// "measurement + EQ" as text.
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

    void LoadMeasurement();
    // Asks for the fit's choices, then starts it.
    void ChooseAndFit();
    void ExportPredicted();
    // Starts a fit of the loaded measurement into the set's free bands (the
    // request's band count is limited to them); false when none is loaded,
    // a fit is running or the set has no free band.
    bool StartFit(fx::AutoEqRequest request);
    bool FitRunning() const { return m_thread != nullptr; }
    const fx::AutoEqResult& LastFit() const { return m_lastFit; }

    // Replaces the dialogs (tests): file choosers (save: true for the export),
    // the fit's choices (false: cancelled) and the error box.
    void SetFileChooser(std::function<QString(bool save)> chooser);
    void SetOptionsChooser(std::function<bool(fx::AutoEqRequest& request)> chooser);
    void SetErrorSink(std::function<void(const QString& text)> sink);

signals:
    void FitProgress(int percent);
    // The fitted bands were written (or nothing was left to fit).
    void FitApplied();

private:
    QString ChooseFile(bool save);
    void ShowError(const QString& text);
    bool AskChoices(fx::AutoEqRequest& request);
    void ShowProgress();
    void OnFitDone();
    void ApplyFit(const fx::AutoEqResult& fit);

    Target m_target;
    CEqPanel& m_graph;
    QWidget* m_page;
    fx::ParamStore& m_store;
    QThread* m_thread = nullptr;
    QProgressDialog* m_progress = nullptr;
    std::shared_ptr<fx::AutoEqResult> m_running; // written by the worker until it ends
    fx::AutoEqResult m_lastFit;
    std::function<QString(bool)> m_chooser;
    std::function<bool(fx::AutoEqRequest&)> m_optionsChooser;
    std::function<void(const QString&)> m_errorSink;
};
