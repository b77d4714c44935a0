#pragma once

#include <functional>

class CRibbonBar;
class QString;

// The master controls on the ribbon: the five level rows with their mute
// boxes, the noise gate and the music pitch. Each change goes to the editor
// variable, the image and the processor at once; both copies of a control
// (one per category) are kept in step.
class CMasterControls {
public:
    // restartPitchTimer restarts the view's 2000 ms pitch display timer.
    CMasterControls(CRibbonBar& ribbon, std::function<void()> restartPitchTimer);

    // Handles a ribbon command of a master control; false for other commands.
    bool HandleCommand(int id);

    void OnLevelSlider(int row);
    void OnMuteBox(int row);
    void OnNoiseGate();
    void OnPitch();

    void RefreshRibbon();
    void RefreshPitchDisplay();
    void RelabelRibbon();

    // The largest level a row may take (99 when it has no limit).
    static int LevelLimitOf(int row);

private:
    int ActiveCopy() const;
    void SetLevelLabels(int row, int value);
    void SetNoiseGateLabels(int value);
    void SetMuteBoxes(int row);
    void SetPitchCaption(int category);
    QString PitchCaption() const;
    static int PitchEditorValue();

    CRibbonBar& m_ribbon;
    std::function<void()> m_restartPitchTimer;
};
