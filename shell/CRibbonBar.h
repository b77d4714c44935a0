#pragma once

#include <QHash>
#include <QStringList>
#include <QWidget>

class CRibbonPanel;
class CRibbonStepSlider;
class QAbstractButton;
class QAction;
class QCheckBox;
class QHBoxLayout;
class QMenu;
class QStackedWidget;
class QTabBar;
class QToolButton;

// The ribbon-like bar: an application button, two categories ("输入控制" /
// "Input" and "输出调节" / "Output") of eight panels each, and a row of
// buttons beside the category tabs. Every element keeps its command
// identifier; user actions are reported as commands.
class CRibbonBar : public QWidget {
    Q_OBJECT
public:
    explicit CRibbonBar(QWidget* parent);

    static constexpr int kInputCategory = 0;
    static constexpr int kOutputCategory = 1;

    int ActiveCategory() const;
    void SetActiveCategory(int category);
    QString ActiveCategoryName() const;
    QString CategoryName(int category) const;
    void SetCategoryName(int category, const QString& name);
    // True when the active category carries one of its four known names.
    bool IsKnownCategoryActive() const;
    // True when the output category (by name) is active.
    bool IsOutputCategoryActive() const;

    QString PanelCaption(int category, int panel) const;
    void SetPanelCaption(int category, int panel, const QString& caption);

    // Elements by command identifier (nullptr when none).
    QWidget* Element(int id) const;
    CRibbonStepSlider* Slider(int id) const;
    QCheckBox* CheckBox(int id) const;
    QAbstractButton* Button(int id) const;
    QString ElementText(int id) const;
    void SetElementText(int id, const QString& text);

    void SetRecentFiles(const QStringList& files);
    void SetRecentFilesCaption(const QString& caption);
    // Texts of the application menu in the current language.
    static QString RecentFilesText();
    static QString MachineSettingsText();
    void AddDemoMenu(QMenu* menu);
    // The Edit menu's undo and redo entries: the step's description after
    // the verb, disabled when there is none.
    void SetUndoTexts(const QString& undoText, bool canUndo, const QString& redoText, bool canRedo);
    QMenu* EditMenu() const { return m_editMenu; }
    // Actions of the application and Edit menus by command identifier.
    QAction* MenuAction(int id) const;

    // Tooltips naming every control, in the current language.
    void RelabelToolTips();

    // The wheel over a row's panel or slider moves both copies by +1 or -1.
    void WheelOverRow(int row, int delta);

signals:
    void command(int id);
    void categoryChanged(int category);
    void recentFileChosen(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildTabRow();
    QWidget* BuildCategory(int category);
    void BuildLevelPanel(CRibbonPanel* panel, int row, int category);
    void BuildPitchPanel(CRibbonPanel* panel, int category);
    void BuildModePanel(CRibbonPanel* panel, int category, bool load);
    QToolButton* AddTabButton(int id, const QString& text, const QIcon& icon);
    void BuildEditMenu(QHBoxLayout* row);
    QAction* AddMenuAction(QMenu* menu, int id, const QString& text, const QIcon& icon);
    QToolButton* MakeLargeButton(int id, const QString& text, const QIcon& icon, QWidget* parent);
    void Register(int id, QWidget* widget);

    QTabBar* m_tabs = nullptr;
    QStackedWidget* m_categories = nullptr;
    QToolButton* m_appButton = nullptr;
    QMenu* m_appMenu = nullptr;
    QMenu* m_recentMenu = nullptr;
    QToolButton* m_editButton = nullptr;
    QMenu* m_editMenu = nullptr;
    QWidget* m_tabRow = nullptr;
    CRibbonPanel* m_panels[2][8] = {};
    QHash<int, QWidget*> m_elements;
    QHash<QObject*, int> m_wheelRows; // panel or slider -> row (0..4 levels, 5 gate, 6 pitch)
};
