#pragma once

#include "controls/CBackBuffer.h"
#include "controls/CEqOverlay.h"
#include "controls/EqModel.h"

#include <QColor>
#include <QImage>
#include <QWidget>

#include <array>
#include <functional>
#include <map>

class QAction;
class QMenu;

// Notifications of the EQ graph to its page, carried by the signals below.
// The page routes 0x1420 like 0x1421; the graph itself never sends it.
constexpr int WM_EQ_BAND_CHANGED_OLD = 0x1420;
constexpr int WM_EQ_BAND_CHANGED = 0x1421;
constexpr int WM_EQ_SELECTION_CLEARED = 0x1422;
constexpr int WM_EQ_COPY_PASTE = 0x1423;
constexpr int WM_EQ_BAND_SELECTED = 0x1424;

// Popup menu commands: 2025..2029 turn the selected band into PEQ, LP, HP, LS, HS.
constexpr int ID_EQ_TYPE_PEQ = 2025;
constexpr int ID_EQ_TYPE_HS = 2029;
constexpr int ID_EQ_COPY = 3025;
constexpr int ID_EQ_PASTE = 3026;
constexpr int ID_EQ_IMPORT_FILTERS = 3027;
constexpr int ID_EQ_EXPORT_FILTERS = 3028;
constexpr int ID_EQ_LOAD_MEASUREMENT = 3029;
constexpr int ID_EQ_AUTO_EQ = 3030;
constexpr int ID_EQ_EXPORT_PREDICTED = 3031;
constexpr int ID_EQ_CLEAR_MEASUREMENT = 3032;
constexpr int ID_EQ_SMOOTHING_FIRST = 3040;               // + index into kEqSmoothingChoices
constexpr int kEqSmoothingChoices[5] = {3, 6, 12, 24, 0}; // 1/N octave, 0: none

constexpr int kEqCopyOperation = 0;
constexpr int kEqPasteOperation = 1;
constexpr int kEqImportFilters = 0;
constexpr int kEqExportFilters = 1;
constexpr int kEqLoadMeasurement = 0;
constexpr int kEqFitMeasurement = 1;
constexpr int kEqExportPredicted = 2;

// The frequency-response graph of one EQ set. Holds the set's band objects,
// keeps their responses current and lets the user edit the bands with the
// mouse, the wheel and the keyboard; every selection and change is reported
// to the page, which writes the band to the processor.
class CEqPanel : public QWidget {
    Q_OBJECT
public:
    // Opens a popup menu and returns the chosen action (nullptr: dismissed).
    // Replaceable so the menus can be driven without a blocking event loop.
    using MenuRunner = std::function<QAction*(QMenu& menu, const QPoint& globalPos)>;

    explicit CEqPanel(QWidget* parent = nullptr);

    // Initialises the bands of a set (type PEQ, the set's frequencies, 0 dB,
    // Q 1.41). Set 12 links bands 7..9 as hidden sections of band 6.
    void ShowEqSet(int set);
    int Set() const { return m_set; }
    int BandCount() const { return m_bandCount; }
    EqBand& Band(int index) { return m_bands[index]; }
    const EqBand& Band(int index) const { return m_bands[index]; }

    int SelectedBand() const { return m_selected; }
    void ClearSelection();
    // Selects a band for the page (a row picked in its band list), without
    // notifying: keys, wheel and menus then act on it.
    void SelectBand(int index);
    int HoveredBand() const { return m_hovered; }

    // Band edits for the pages: the model operations with this graph's plot
    // width, followed by a repaint. No notification is sent.
    void ApplyBandType(int index, int type);
    void ApplyBandTypeGrouped(int index, int type);
    // A compound band's own type and its three sections' (the crossover alignment).
    void ApplyCompoundTypes(int index, const std::array<int, 4>& types);
    void ApplyBandGain(int index, float gain);
    void ApplyBandQ(int index, float q);
    // 0 is ignored; other values are limited to 20..20000 Hz.
    void ApplyBandFrequency(int index, float frequency);
    void RecomputeBand(int index);

    void SetBypass(bool on);
    bool Bypass() const { return m_bypass; }
    // 0 = Chinese, 1 = English: title, menus and the info line.
    void SetLanguage(int language);
    int Language() const { return m_language; }
    void SetCurveColor(const QColor& color);
    void SetMenuRunner(MenuRunner runner) { m_menuRunner = std::move(runner); }
    // Whether "Paste EQ" has something to paste: the page knows the clipboard.
    void SetPasteAvailable(std::function<bool()> available) {
        m_pasteAvailable = std::move(available);
    }

    // Plot rectangle in client coordinates: (36, 18) .. (width - 6, height - 20).
    QRectF PlotRect() const;
    // Plot width handed to the model's peak pinning.
    int ModelPlotWidth() const;
    // Centre of a band's handle in client coordinates.
    QPointF HandleCentre(int index) const;
    // Tops of the "F:", "G:", "Q:" rows relative to the base line 4 pixels
    // above the handle centre, rows rowHeight apart (9 by the template; the
    // graph uses its label font's real height, LabelRowHeight).
    static std::array<int, 3> LabelRowOffsets(float gain, int rowHeight = 9);
    static int LabelRowHeight();
    // The highest point of the set's curve in dB, and whether it rises above
    // the plot (+15 dB), where the graph marks it.
    float CurvePeak() const;
    bool SumAboveRange() const;
    static QString SetTitle(int set, int language);
    static QColor BandColor(int index);

    // Draws the whole graph into the back buffer (what a repaint shows).
    const QImage& RenderFrame();

    // Room correction drawn behind the bands, of the set shown: a
    // measurement belongs to the set (the channel) it was loaded on.
    // Repaint after changing it.
    CEqOverlay& Overlay() { return m_overlays[m_set]; }
    const CEqOverlay& Overlay() const { return m_overlays[m_set]; }

signals:
    void BandChanged(EqBand* band, int index);
    void SelectionCleared();
    void CopyPaste(int operation, int set);
    // "Import filters…" / "Export filters…" of the band-less menu, offered
    // only while something is connected to this signal.
    void FilterFile(int operation, int set);
    void BandSelected(EqBand* band, int index);
    // "Load measurement…", "Auto EQ…" and "Export measurement + EQ…" of the
    // band-less menu (kEqLoadMeasurement, kEqFitMeasurement,
    // kEqExportPredicted), offered only while something is connected.
    void MeasurementFile(int operation, int set);
    // The user moved the selection (a press, Tab or Shift+Tab): the band
    // selected now, -1 for none. The page's editor follows it.
    void SelectionMoved(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    // Tab and Shift+Tab step through the bands; past the last (or first)
    // band they leave the graph.
    bool focusNextPrevChild(bool next) override;
    void focusOutEvent(QFocusEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    enum class HitKind { LeftPress, RightPress, Hover };

    QPoint PlotPoint(const QPointF& clientPos) const;
    void UpdateHandlePositions();
    int HitTest(const QPoint& plotPos, HitKind kind);
    int HitCandidateCount() const;
    bool Selectable(int index) const;
    void MoveSelection(int index);
    int TabNeighbour(bool next) const;

    void PressLeft(const QPoint& p);
    void PressRight(const QPoint& p);
    void ReleaseLeft();
    void ReleaseRight(const QPointF& globalPos);
    void DragLeft(const QPoint& p);
    void DragRight(const QPoint& p);
    void NotifyChanged(int index);
    void LimitBand(EqBand& band) const;
    bool ApplyKey(int key, bool fine);
    bool FineStep(const QKeyEvent& event) const;

    void ShowTypeMenu(const QPointF& globalPos);
    void ShowCopyPasteMenu(const QPointF& globalPos);
    void AddMeasurementMenu(QMenu& menu);
    void RunMenuCommand(int command);

    void PaintGridCache();
    void PaintSelectedArea(QPainter& p);
    void PaintCurve(QPainter& p);
    void PaintOverflow(QPainter& p);
    void PaintHandle(QPainter& p, int index);
    void PaintLabels(QPainter& p, int index);
    void PaintInfoLine(QPainter& p, int index);
    void PaintBypass(QPainter& p);

    int m_plotLeft;
    std::array<EqBand, kMaxGraphBands> m_bands{};
    int m_set = 0;
    int m_bandCount = 10;
    int m_selected = -1;
    int m_hovered = -1;
    bool m_leftDown = false;
    bool m_rightDown = false;
    QPoint m_grab;        // left press: pointer minus handle centre
    int m_lastQDragX = 0; // right press: last pointer x of the Q drag
    QPoint m_pressPoint;
    bool m_moved = false;
    bool m_bypass = false;
    int m_language = 0;
    QColor m_curveColor{0, 200, 255};
    // Ctrl keys tracked by side: fine steps follow the left one.
    bool m_leftCtrlDown = false;
    bool m_rightCtrlDown = false;
    MenuRunner m_menuRunner;
    std::function<bool()> m_pasteAvailable;

    CBackBuffer m_buffer;
    QImage m_gridCache;
    QString m_gridCacheKey;
    std::array<float, kEqPoints> m_curve{};
    mutable std::map<int, CEqOverlay> m_overlays; // by set
};
