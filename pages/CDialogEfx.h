#pragma once

#include "pages/CEqPageBase.h"
#include "pages/CHalvoxPage.h"
#include "pages/CPageNavigator.h"

class CGdipButton;
class QLabel;

// Control identifiers of the effects page (dialog 421) beyond the EQ part.
enum EfxPageCtrl : int {
    IDC_EFX_BACK = 1068,
    IDC_EFX_TITLE = 1258,
};

// The reverb and echo equaliser page: the EQ in front of the reverb or the
// echo of microphone chain A or B (sub-pages 0..3), reached from the music
// page's previews; its back button returns to the music sub-page shown last.
class CDialogEfx : public fx::CEqPageBase {
    Q_OBJECT
public:
    static constexpr int kResource = 421;
    static constexpr int kSubPages = 4;

    CDialogEfx(int subPage, QWidget* parent, fx::ParamStore& store, CPageNavigator navigator = {});

    // Switches to a sub-page in place (the view asking for page 421 again).
    void SelectSubPage(int subPage) override;
    // Language texts, title picture and the EQ.
    void Reload() override;

    CGdipButton* BackButton() const { return m_back; }
    QLabel* Title() const { return m_title; }
    // Stands in the band editor's place while no band is selected.
    QLabel* EditorHint() const { return m_editorHint; }
    // Resource path of a sub-page's title picture in a language.
    static QString TitlePicture(int subPage, int language);
    // EQ set of a sub-page: 4, 5 (reverb of chain A, B), 2, 3 (echo of chain A, B).
    static int SubPageSet(int subPage);

private:
    void ApplySubPage();
    void LoadTitle();
    void Layout() override;

    CPageNavigator m_navigator;
    QLabel* m_title = nullptr;
    CGdipButton* m_back = nullptr;
    QLabel* m_editorHint = nullptr;
};
