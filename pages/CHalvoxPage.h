#pragma once

#include <QWidget>

namespace fx {
class ParamStore;
}

// Page identifiers (their dialog resources).
enum PageId : int {
    PAGE_MUSIC = 313,
    PAGE_DELAY = 333,
    PAGE_SURROUND = 334,
    PAGE_COMPRESSOR = 346,
    PAGE_OUTPUT = 385,
    PAGE_EFFECTS = 421,
    PAGE_RECORDING = 522,
};

// A page hosted in the view's client area, one at a time. Pages reload
// themselves from the parameter image and editor variables; they keep no
// parameter state of their own.
class CRoomCorrection;

class CHalvoxPage : public QWidget {
    Q_OBJECT
public:
    CHalvoxPage(int pageId, QWidget* parent, fx::ParamStore& store);

    int PageId() const { return m_pageId; }
    // What the page shows and changes: the store of the processor's memory.
    fx::ParamStore& Store() const { return m_store; }

    // The music, output and effects pages switch their sub-page (sub-page,
    // output channel, effect) in place; the others ignore it.
    virtual void SelectSubPage(int subPage);
    virtual int SubPage() const { return m_subPage; }
    // Reloads every control from the image and the editor variables.
    virtual void Reload() {}
    // Relabels the page in the current language.
    virtual void Relabel() {}
    // The status bar's EQ shortcuts: pages with an equaliser on show say so.
    virtual bool HasEqualiser() const { return false; }
    virtual bool EqBypassed() const { return false; }
    virtual void ToggleEqBypass() {}
    virtual void ResetShownEq() {}
    // The room correction of the EQ the page shows; nullptr without one.
    virtual CRoomCorrection* RoomCorrection() const { return nullptr; }

protected:
    int m_subPage = 0;

private:
    int m_pageId;
    fx::ParamStore& m_store;
};
