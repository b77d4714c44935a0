#pragma once

#include "state/MusicSources.h"

#include <QDialog>

#include <array>

class CWheelRouter;
class CXBmpSlider;
class QLabel;
class QRadioButton;

// The music input dialog: which source feeds the music input, and the input
// level of each source. Built for the variant of the connected model (its
// dialog resource), which shows only that model's sources under its own
// names; its texts come from the keys of resource 512. Modeless, one at a time.
class CDialogMusicInput : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTextResource = 512;

    CDialogMusicInput(int resource, QWidget* parent);

    // The dialog resource of the variant shown.
    int Resource() const { return m_resource; }
    void Relabel();
    // Sliders, level texts and the radio group from the editor variables.
    void Reload();

    QRadioButton* Radio(int source) const { return m_rows[source].radio; }
    CXBmpSlider* Slider(int source) const { return m_rows[source].slider; }
    QLabel* LevelText(int source) const { return m_rows[source].level; }

protected:
    void reject() override;

private:
    struct SourceRow {
        QRadioButton* radio = nullptr;
        CXBmpSlider* slider = nullptr;
        QLabel* level = nullptr;
    };

    void CreateRows();
    void LayOut();
    void ShowLevel(int source, int level);
    void ShowSelection();
    void OnRadio(int source);
    void OnSlider(int source, int position);

    int m_resource;
    std::array<SourceRow, kMusicSourceCount> m_rows{};
    CWheelRouter* m_wheel = nullptr;
};
