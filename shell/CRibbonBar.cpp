#include "shell/CRibbonBar.h"

#include "controls/Localisation.h"
#include "shell/CRibbonIcons.h"
#include "shell/CRibbonPanel.h"
#include "shell/CRibbonStepSlider.h"
#include "shell/RibbonIds.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMenu>
#include <QStackedWidget>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace {
constexpr int kLevelSliderWidth = 90;
constexpr int kGateSliderWidth = 100;
constexpr int kNoiseGateMax = 100;
constexpr int kLevelMax = 99;

const char* const kCategoryChinese[2] = {"输入控制", "输出调节"};
const char* const kCategoryEnglish[2] = {"Input", "Output"};

const char* const kPanelChinese[kPanelCount] = {"话筒音量", "效果总音量", "混响音量", "回声音量",
                                                "音乐音量", "音乐变调",   "调用",     "保存"};

const char* const kStyleSheet = R"(
CRibbonBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #e3edf9, stop:1 #c9dbf0); }
QStackedWidget#ribbonCategories { background: qlineargradient(x1:0, y1:0, x2:0, y2:1,
    stop:0 #f4f8fd, stop:0.7 #dde8f5, stop:1 #cfdff1); border: 1px solid #8db2e3;
    border-radius: 3px; }
QFrame#ribbonPanel { border: 1px solid #a9c4e6; border-radius: 3px;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f6f9fd, stop:1 #dbe7f6); }
QLabel#ribbonPanelCaption { color: #15428b; background: #c2d8f2; border-radius: 2px;
    padding: 0px 4px; }
QTabBar::tab { color: #15428b; padding: 3px 14px; margin-right: 2px; border: 1px solid transparent;
    border-bottom: none; border-top-left-radius: 3px; border-top-right-radius: 3px; }
QTabBar::tab:selected { background: #f4f8fd; border-color: #8db2e3; }
QTabBar::tab:hover:!selected { background: #eef4fb; }
QToolButton { color: #15428b; }
QToolButton#ribbonLabel { border: none; padding: 0px; text-align: left; }
QToolButton#ribbonTabButton { padding: 1px 5px; }
QToolButton#ribbonAppButton { border: 1px solid #5f86bd; border-radius: 3px; padding: 2px 10px;
    color: white; background: qlineargradient(x1:0, y1:0, x2:0, y2:1,
    stop:0 #4f7fc0, stop:1 #23508f); font-weight: bold; }
QToolButton#ribbonAppButton::menu-indicator { image: none; }
QCheckBox { color: #15428b; }
)";
} // namespace

CRibbonBar::CRibbonBar(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QString::fromUtf8(kStyleSheet));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 3);
    layout->setSpacing(0);
    BuildTabRow();
    layout->addWidget(m_tabRow);
    m_categories = new QStackedWidget(this);
    m_categories->setObjectName(QStringLiteral("ribbonCategories"));
    m_categories->addWidget(BuildCategory(kInputCategory));
    m_categories->addWidget(BuildCategory(kOutputCategory));
    layout->addWidget(m_categories);
    connect(m_tabs, &QTabBar::currentChanged, this, [this](int index) {
        m_categories->setCurrentIndex(index);
        emit categoryChanged(index);
    });
}

void CRibbonBar::BuildTabRow() {
    m_tabRow = new QWidget(this);
    auto* row = new QHBoxLayout(m_tabRow);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(3);

    m_appButton = new QToolButton(m_tabRow);
    m_appButton->setObjectName(QStringLiteral("ribbonAppButton"));
    m_appButton->setIcon(CRibbonIcons::Application());
    m_appButton->setText(QStringLiteral("FX"));
    m_appButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_appButton->setPopupMode(QToolButton::InstantPopup);
    m_appMenu = new QMenu(m_appButton);
    AddMenuAction(m_appMenu, ID_FILE_OPEN, Tr("打开(&O)", "Open(&O)"), CRibbonIcons::OpenFile())
        ->setShortcut(QKeySequence::Open);
    AddMenuAction(m_appMenu, ID_FILE_SAVE, Tr("保存(&S)", "Save(&S)"), CRibbonIcons::SaveFile())
        ->setShortcut(QKeySequence::Save);
    AddMenuAction(m_appMenu, ID_FILE_COMPARE, Tr("与文件比较(&C)…", "Compare with file(&C)…"),
                  CRibbonIcons::OpenFile());
    AddMenuAction(m_appMenu, ID_MACHINE_SETTINGS, MachineSettingsText(), QIcon());
    m_recentMenu = m_appMenu->addMenu(RecentFilesText());
    m_recentMenu->setMinimumWidth(300);
    m_appMenu->addSeparator();
    AddMenuAction(m_appMenu, ID_APP_EXIT, Tr("退出(&X)", "Exit(&X)"), CRibbonIcons::Exit());
    m_appButton->setMenu(m_appMenu);
    SetRecentFiles({});
    row->addWidget(m_appButton);
    BuildEditMenu(row);

    m_tabs = new QTabBar(m_tabRow);
    m_tabs->setDrawBase(false);
    m_tabs->setExpanding(false);
    m_tabs->addTab(Tr(kCategoryChinese[0], kCategoryEnglish[0]));
    m_tabs->addTab(Tr(kCategoryChinese[1], kCategoryEnglish[1]));
    m_tabs->installEventFilter(this); // double clicks on the tabs are swallowed
    row->addWidget(m_tabs, 0, Qt::AlignBottom);
    row->addStretch(1);

    AddTabButton(ID_NET_CONNECT, Tr("网络连接", "Connect IP"), CRibbonIcons::Network());
    AddTabButton(ID_FEATURES, Tr("特色功能", "Features"), CRibbonIcons::Features());
    AddTabButton(ID_INPUT_SOURCE, Tr("输入源", "Input Source"), CRibbonIcons::InputSource());
    AddTabButton(ID_MACHINE_RESET, Tr("机器复位", "Reset"), CRibbonIcons::Reset());
    AddTabButton(ID_REMOTE_LEARN, Tr("遥控学习", "Remote control"), CRibbonIcons::Remote());
    AddTabButton(ID_LANGUAGE, QString::fromUtf8("中/EN"), CRibbonIcons::Language());
    QToolButton* about = AddTabButton(ID_APP_ABOUT, QString(), CRibbonIcons::About());
    about->setToolButtonStyle(Qt::ToolButtonIconOnly);
    RelabelToolTips();
}

// The menu's entries are the ribbon's actions too, so their shortcuts work
// anywhere in the window while the menu is closed.
QAction* CRibbonBar::AddMenuAction(QMenu* menu, int id, const QString& text, const QIcon& icon) {
    QAction* action = menu->addAction(icon, text);
    action->setData(id);
    addAction(action);
    connect(action, &QAction::triggered, this, [this, id] { emit command(id); });
    return action;
}

void CRibbonBar::BuildEditMenu(QHBoxLayout* row) {
    m_editButton = new QToolButton(m_tabRow);
    m_editButton->setObjectName(QStringLiteral("ribbonEditButton"));
    m_editButton->setAutoRaise(true);
    m_editButton->setPopupMode(QToolButton::InstantPopup);
    m_editMenu = new QMenu(m_editButton);
    AddMenuAction(m_editMenu, ID_EDIT_UNDO, QString(), QIcon())->setShortcut(QKeySequence::Undo);
    AddMenuAction(m_editMenu, ID_EDIT_REDO, QString(), QIcon())
        ->setShortcuts(
            {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    m_editMenu->addSeparator();
    AddMenuAction(m_editMenu, ID_ROOM_LOAD, QString(), QIcon())
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    AddMenuAction(m_editMenu, ID_ROOM_FIT, QString(), QIcon())
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    AddMenuAction(m_editMenu, ID_ROOM_EXPORT, QString(), QIcon());
    m_editButton->setMenu(m_editMenu);
    row->addWidget(m_editButton);
    SetUndoTexts(QString(), false, QString(), false);
}

QAction* CRibbonBar::MenuAction(int id) const {
    for (QAction* action : actions())
        if (action->data().toInt() == id) return action;
    return nullptr;
}

void CRibbonBar::SetUndoTexts(const QString& undoText, bool canUndo, const QString& redoText,
                              bool canRedo) {
    m_editButton->setText(Tr("编辑", "Edit"));
    m_editButton->setToolTip(Tr("撤销与重做参数的改动", "Undo and redo changes of the parameters"));
    const auto entry = [](const QString& verb, const QString& step) {
        return step.isEmpty() ? verb : verb + QLatin1Char(' ') + step;
    };
    QAction* undo = MenuAction(ID_EDIT_UNDO);
    undo->setText(entry(Tr("撤销(&U)", "&Undo"), undoText));
    undo->setEnabled(canUndo);
    QAction* redo = MenuAction(ID_EDIT_REDO);
    redo->setText(entry(Tr("重做(&R)", "&Redo"), redoText));
    redo->setEnabled(canRedo);
    MenuAction(ID_ROOM_LOAD)->setText(Tr("载入房间测量(&M)…", "Load room &measurement…"));
    MenuAction(ID_ROOM_FIT)
        ->setText(Tr("自动均衡（房间校正）(&E)…", "Auto &EQ (room correction)…"));
    MenuAction(ID_ROOM_EXPORT)->setText(Tr("导出测量 + 均衡…", "Export measurement + EQ…"));
}

QToolButton* CRibbonBar::AddTabButton(int id, const QString& text, const QIcon& icon) {
    auto* button = new QToolButton(m_tabRow);
    button->setObjectName(QStringLiteral("ribbonTabButton"));
    button->setAutoRaise(true);
    button->setIcon(icon);
    button->setIconSize(QSize(16, 16));
    button->setText(text);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    Register(id, button);
    connect(button, &QToolButton::clicked, this, [this, id] { emit command(id); });
    static_cast<QHBoxLayout*>(m_tabRow->layout())->addWidget(button);
    return button;
}

QWidget* CRibbonBar::BuildCategory(int category) {
    auto* page = new QWidget(m_categories);
    auto* row = new QHBoxLayout(page);
    row->setContentsMargins(3, 3, 3, 3);
    row->setSpacing(3);
    for (int panel = 0; panel < kPanelCount; ++panel) {
        const bool stacked = panel <= PANEL_PITCH;
        auto* box = new CRibbonPanel(QString::fromUtf8(kPanelChinese[panel]), stacked, page);
        m_panels[category][panel] = box;
        if (panel < kLevelRowCount)
            BuildLevelPanel(box, panel, category);
        else if (panel == PANEL_PITCH)
            BuildPitchPanel(box, category);
        else
            BuildModePanel(box, category, panel == PANEL_LOAD);
        row->addWidget(box);
    }
    row->addStretch(1);
    return page;
}

void CRibbonBar::BuildLevelPanel(CRibbonPanel* panel, int rowIndex, int category) {
    const MasterLevelRow& row = kLevelRows[rowIndex];
    auto* label = new QToolButton(panel);
    label->setObjectName(QStringLiteral("ribbonLabel"));
    label->setAutoRaise(true);
    label->setText(Tr(row.prefixChinese, row.prefixEnglish));
    Register(row.label[category], label);
    auto* slider =
        new CRibbonStepSlider(row.slider[category], 0, kLevelMax, kLevelSliderWidth, panel);
    Register(row.slider[category], slider);
    connect(slider, &CRibbonStepSlider::positionChanged, this, &CRibbonBar::command);
    auto* mute = new QCheckBox(Tr("静音", "Mute"), panel);
    // Reached with Tab; a click leaves the focus where it was.
    mute->setFocusPolicy(Qt::TabFocus);
    Register(row.mute[category], mute);
    const int muteId = row.mute[category];
    connect(mute, &QCheckBox::clicked, this, [this, muteId] { emit command(muteId); });

    panel->Content()->addWidget(label);
    panel->Content()->addWidget(slider);
    panel->Content()->addWidget(mute);
    m_wheelRows.insert(panel, rowIndex);
    m_wheelRows.insert(slider, rowIndex);
    panel->installEventFilter(this);
    slider->installEventFilter(this);
}

void CRibbonBar::BuildPitchPanel(CRibbonPanel* panel, int category) {
    const int labelId = category == kInputCategory ? ID_NOISEGATE_LABEL_IN : ID_NOISEGATE_LABEL_OUT;
    const int gateId = category == kInputCategory ? ID_NOISEGATE_IN : ID_NOISEGATE_OUT;
    const int pitchId = category == kInputCategory ? ID_PITCH_IN : ID_PITCH_OUT;
    auto* label = new QToolButton(panel);
    label->setObjectName(QStringLiteral("ribbonLabel"));
    label->setAutoRaise(true);
    label->setText(Tr("音乐噪声门:", "Noisegate:"));
    Register(labelId, label);
    auto* gate = new CRibbonStepSlider(gateId, 0, kNoiseGateMax, kGateSliderWidth, panel);
    Register(gateId, gate);
    auto* pitch = new CRibbonStepSlider(pitchId, -5, 5, kGateSliderWidth, panel);
    pitch->setTickPosition(QSlider::TicksBelow);
    pitch->setTickInterval(1);
    Register(pitchId, pitch);
    connect(gate, &CRibbonStepSlider::positionChanged, this, &CRibbonBar::command);
    connect(pitch, &CRibbonStepSlider::positionChanged, this, &CRibbonBar::command);
    panel->Content()->addWidget(label);
    panel->Content()->addWidget(gate);
    panel->Content()->addWidget(pitch);
    m_wheelRows.insert(gate, kLevelRowCount);
    m_wheelRows.insert(pitch, kLevelRowCount + 1);
    gate->installEventFilter(this);
    pitch->installEventFilter(this);
}

QToolButton* CRibbonBar::MakeLargeButton(int id, const QString& text, const QIcon& icon,
                                         QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setIcon(icon);
    button->setIconSize(QSize(32, 32));
    button->setText(text);
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setMinimumWidth(64);
    Register(id, button);
    return button;
}

void CRibbonBar::BuildModePanel(CRibbonPanel* panel, int category, bool load) {
    const bool input = category == kInputCategory;
    const int modeId = load ? (input ? ID_MODE_LOAD_IN : ID_MODE_LOAD_OUT)
                            : (input ? ID_MODE_STORE_IN : ID_MODE_STORE_OUT);
    const int fileId = load ? (input ? ID_FILE_LOAD_IN : ID_FILE_LOAD_OUT)
                            : (input ? ID_FILE_SAVE_IN : ID_FILE_SAVE_OUT);
    QToolButton* mode =
        MakeLargeButton(modeId, load ? Tr("载入模式", "LoadMode") : Tr("保存模式", "SaveMode"),
                        load ? CRibbonIcons::LoadMode() : CRibbonIcons::StoreMode(), panel);
    // The button itself does nothing; its menu offers M1..M4.
    auto* menu = new QMenu(mode);
    const int first = load ? ID_MODE_LOAD_FIRST : ID_MODE_STORE_FIRST;
    for (int m = 0; m < 4; ++m) {
        QAction* action = menu->addAction(QStringLiteral("M%1").arg(m + 1));
        action->setData(first + m);
        connect(action, &QAction::triggered, this, [this, id = first + m] { emit command(id); });
    }
    mode->setMenu(menu);
    mode->setPopupMode(QToolButton::InstantPopup);
    QToolButton* file =
        MakeLargeButton(fileId, load ? Tr("载入文件", "LoadFile") : Tr("保存文件", "SaveFile"),
                        load ? CRibbonIcons::OpenFile() : CRibbonIcons::SaveFile(), panel);
    connect(file, &QToolButton::clicked, this, [this, fileId] { emit command(fileId); });
    panel->Content()->addWidget(mode);
    panel->Content()->addWidget(file);
}

void CRibbonBar::Register(int id, QWidget* widget) {
    SetCtrlId(widget, id);
    m_elements.insert(id, widget);
}

int CRibbonBar::ActiveCategory() const {
    return m_tabs->currentIndex();
}

void CRibbonBar::SetActiveCategory(int category) {
    m_tabs->setCurrentIndex(category);
}

QString CRibbonBar::ActiveCategoryName() const {
    return m_tabs->tabText(m_tabs->currentIndex());
}

QString CRibbonBar::CategoryName(int category) const {
    return m_tabs->tabText(category);
}

void CRibbonBar::SetCategoryName(int category, const QString& name) {
    m_tabs->setTabText(category, name);
}

bool CRibbonBar::IsKnownCategoryActive() const {
    const QString name = ActiveCategoryName();
    for (int c = 0; c < 2; ++c)
        if (name == QString::fromUtf8(kCategoryChinese[c]) ||
            name == QString::fromUtf8(kCategoryEnglish[c]))
            return true;
    return false;
}

bool CRibbonBar::IsOutputCategoryActive() const {
    const QString name = ActiveCategoryName();
    return name == QString::fromUtf8(kCategoryChinese[1]) ||
           name == QString::fromUtf8(kCategoryEnglish[1]);
}

QString CRibbonBar::PanelCaption(int category, int panel) const {
    return m_panels[category][panel]->Caption();
}

void CRibbonBar::SetPanelCaption(int category, int panel, const QString& caption) {
    m_panels[category][panel]->SetCaption(caption);
}

QWidget* CRibbonBar::Element(int id) const {
    return m_elements.value(id, nullptr);
}

CRibbonStepSlider* CRibbonBar::Slider(int id) const {
    return qobject_cast<CRibbonStepSlider*>(Element(id));
}

QCheckBox* CRibbonBar::CheckBox(int id) const {
    return qobject_cast<QCheckBox*>(Element(id));
}

QAbstractButton* CRibbonBar::Button(int id) const {
    return qobject_cast<QAbstractButton*>(Element(id));
}

QString CRibbonBar::ElementText(int id) const {
    if (auto* button = Button(id)) return button->text();
    return QString();
}

void CRibbonBar::SetElementText(int id, const QString& text) {
    if (auto* button = Button(id))
        button->setText(text);
    else if (id == ID_FILE_OPEN || id == ID_FILE_SAVE || id == ID_FILE_COMPARE ||
             id == ID_MACHINE_SETTINGS || id == ID_APP_EXIT)
        for (QAction* action : m_appMenu->actions())
            if (action->data().toInt() == id) action->setText(text);
}

void CRibbonBar::SetRecentFiles(const QStringList& files) {
    m_recentMenu->clear();
    int number = 1;
    for (const QString& path : files) {
        QAction* action = m_recentMenu->addAction(
            QStringLiteral("&%1 %2").arg(number++).arg(QFileInfo(path).fileName()));
        action->setToolTip(path);
        connect(action, &QAction::triggered, this, [this, path] { emit recentFileChosen(path); });
    }
    m_recentMenu->setEnabled(!files.isEmpty());
}

QString CRibbonBar::RecentFilesText() {
    return Tr("最近的文档", "Recent files");
}

// F7 opens it anywhere (on the key's release); the menu shows the key.
QString CRibbonBar::MachineSettingsText() {
    return Tr("机器设置(&M)…\tF7", "Machine settings(&M)…\tF7");
}

void CRibbonBar::SetRecentFilesCaption(const QString& caption) {
    m_recentMenu->setTitle(caption);
}

void CRibbonBar::AddDemoMenu(QMenu* menu) {
    auto* button = new QToolButton(m_tabRow);
    button->setObjectName(QStringLiteral("ribbonTabButton"));
    button->setAutoRaise(true);
    button->setDefaultAction(menu->menuAction()); // follows the menu's title

    button->setPopupMode(QToolButton::InstantPopup);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    auto* row = static_cast<QHBoxLayout*>(m_tabRow->layout());
    row->insertWidget(row->indexOf(Element(ID_NET_CONNECT)),
                      button); // first of the right-hand buttons
}

namespace {
struct Tip {
    const char* chinese;
    const char* english;
};

// Per level row: what its label and slider set, and what its mute box does.
const Tip kLevelTips[kLevelRowCount] = {
    {"话筒音量", "Microphone volume"}, {"效果总音量", "Effect volume (echo and reverb)"},
    {"混响音量", "Reverb volume"},     {"回声音量", "Echo volume"},
    {"音乐音量", "Music volume"},
};
const Tip kMuteTips[kLevelRowCount] = {
    {"话筒静音", "Mute the microphones"}, {"效果静音", "Mute the effects"},
    {"混响静音", "Mute the reverb"},      {"回声静音", "Mute the echo"},
    {"音乐静音", "Mute the music"},
};

QString TipText(const Tip& tip) {
    return Tr(tip.chinese, tip.english);
}
} // namespace

void CRibbonBar::RelabelToolTips() {
    const auto tip = [this](int id, const Tip& text) {
        if (QWidget* element = Element(id)) element->setToolTip(TipText(text));
    };
    for (int row = 0; row < kLevelRowCount; ++row) {
        for (int category = 0; category < 2; ++category) {
            tip(kLevelRows[row].label[category], kLevelTips[row]);
            tip(kLevelRows[row].slider[category], kLevelTips[row]);
            tip(kLevelRows[row].mute[category], kMuteTips[row]);
        }
    }
    const Tip gate{"音乐噪声门", "Music noise gate"};
    const Tip pitch{"音乐变调（-5 到 +5）", "Music pitch (-5 to +5)"};
    for (int id :
         {ID_NOISEGATE_LABEL_IN, ID_NOISEGATE_LABEL_OUT, ID_NOISEGATE_IN, ID_NOISEGATE_OUT})
        tip(id, gate);
    for (int id : {ID_PITCH_IN, ID_PITCH_OUT}) tip(id, pitch);
    for (int id : {ID_MODE_LOAD_IN, ID_MODE_LOAD_OUT})
        tip(id, {"从设备的模式 M1..M4 调出参数", "Load the parameters of machine mode M1..M4"});
    for (int id : {ID_MODE_STORE_IN, ID_MODE_STORE_OUT})
        tip(id, {"把参数保存到设备的模式 M1..M4", "Store the parameters in machine mode M1..M4"});
    for (int id : {ID_FILE_LOAD_IN, ID_FILE_LOAD_OUT})
        tip(id, {"载入模式文件并写入设备", "Load a mode file and write it to the processor"});
    for (int id : {ID_FILE_SAVE_IN, ID_FILE_SAVE_OUT})
        tip(id, {"把参数保存为模式文件", "Save the parameters to a mode file"});
    tip(ID_NET_CONNECT, {"通过网络连接设备", "Connect to a processor on the network"});
    tip(ID_FEATURES,
        {"特色功能：低音增强、自动音量等", "Features: bass boost, auto level and more"});
    tip(ID_INPUT_SOURCE, {"选择音乐输入源", "Choose the music input source"});
    tip(ID_MACHINE_RESET,
        {"把设备复位为出厂参数", "Reset the processor to its factory parameters"});
    tip(ID_REMOTE_LEARN, {"学习遥控器按键", "Teach the processor remote control keys"});
    tip(ID_LANGUAGE,
        {"切换界面语言（中文/英文）", "Switch the interface language (Chinese/English)"});
    tip(ID_APP_ABOUT, {"关于", "About"});
    m_appButton->setToolTip(Tr("文件：打开、保存、机器设置、最近的文档、退出",
                               "File: open, save, machine settings, recent files, exit"));
    m_tabs->setTabToolTip(kInputCategory,
                          Tr("输入控制：话筒与音乐输入页", "Input: the microphone and music page"));
    m_tabs->setTabToolTip(kOutputCategory,
                          Tr("输出调节：输出通道页", "Output: the output channel page"));
}

void CRibbonBar::WheelOverRow(int row, int delta) {
    if (!IsKnownCategoryActive()) return;
    int ids[2];
    if (row < kLevelRowCount) {
        ids[0] = kLevelRows[row].slider[0];
        ids[1] = kLevelRows[row].slider[1];
    } else if (row == kLevelRowCount) {
        ids[0] = ID_NOISEGATE_IN;
        ids[1] = ID_NOISEGATE_OUT;
    } else {
        ids[0] = ID_PITCH_IN;
        ids[1] = ID_PITCH_OUT;
    }
    const int step = delta >= 1 ? 1 : -1;
    // Each copy moves and notifies, so the row's handler runs for both.
    for (int id : ids) {
        CRibbonStepSlider* slider = Slider(id);
        slider->SetPositionQuietly(slider->value() + step);
    }
    for (int id : ids) emit command(id);
}

bool CRibbonBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_tabs && event->type() == QEvent::MouseButtonDblClick) return true;
    if (event->type() == QEvent::Wheel && m_wheelRows.contains(watched) &&
        IsKnownCategoryActive()) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        const int delta = wheel->angleDelta().y();
        if (delta == 0) return false;
        WheelOverRow(m_wheelRows.value(watched), delta);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
