// fxtune-gallery: every drawn control with sample data, for trying the
// interaction by hand and for screenshots.
//
//   fxtune-gallery [--language 0|1] [--screenshot DIR]
//
// With --screenshot the gallery writes one PNG per scene into DIR and quits.

#include "controls/CEqPanel.h"
#include "controls/CGdipButton.h"
#include "controls/CGridListCtrlEx.h"
#include "controls/CPeakMeterCtrl.h"
#include "controls/CReportCtrl.h"
#include "controls/CSmallEqPanel.h"
#include "controls/CTabWnd.h"
#include "controls/CXBmpSlider.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>
#include <cstdio>

namespace {

const QColor kPageBackground(240, 250, 255);

void ClickAt(QWidget& widget, QPointF pos) {
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, pos, widget.mapToGlobal(pos), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(&widget, &event);
    }
}

void FillPage(QWidget* page) {
    page->setAutoFillBackground(true);
    QPalette palette = page->palette();
    palette.setColor(QPalette::Window, kPageBackground);
    page->setPalette(palette);
}

QLabel* Caption(const QString& text) {
    auto* label = new QLabel(text);
    label->setStyleSheet("color: #305070; font-weight: bold;");
    return label;
}

// Microphone A: a typical vocal curve, band 9 selected (PEQ).
CEqPanel* MakePeqGraph(int language) {
    auto* panel = new CEqPanel;
    panel->setObjectName("eq-peq");
    panel->setMinimumSize(960, 360);
    panel->SetLanguage(language);
    panel->ShowEqSet(0);
    const float gains[15] = {0, -2, -3.5f, 1.5f, 0, 0, -1, 0, 6, 2.5f, 0, 3, 0, -4, 0};
    for (int b = 0; b < 15; ++b) panel->ApplyBandGain(b, gains[b]);
    panel->ApplyBandType(0, EQ_HP);
    panel->ApplyBandFrequency(0, 60);
    panel->ApplyBandQ(8, 2.2f);
    panel->ApplyBandType(14, EQ_HS);
    panel->ApplyBandGain(14, 2.0f);
    return panel;
}

// Output channel 6 with its crossover band, band 7 (the compound one) LP.
CEqPanel* MakeLpGraph(int language) {
    auto* panel = new CEqPanel;
    panel->setObjectName("eq-lp");
    panel->setMinimumSize(960, 360);
    panel->SetLanguage(language);
    panel->ShowEqSet(12);
    const float gains[6] = {3, 0, -2.5f, 0, 1.5f, 0};
    for (int b = 0; b < 6; ++b) panel->ApplyBandGain(b, gains[b]);
    panel->ApplyBandTypeGrouped(6, EQ_LP);
    panel->ApplyBandFrequency(6, 2500);
    panel->RecomputeBand(6);
    panel->ApplyBandType(1, EQ_LS);
    panel->ApplyBandGain(1, 4.0f);
    return panel;
}

void SelectGraphBand(CEqPanel& panel, int band) {
    ClickAt(panel, panel.HandleCentre(band));
}

QWidget* MakeGraphPage(int language, CEqPanel** peq, CEqPanel** lp) {
    auto* page = new QWidget;
    FillPage(page);
    auto* layout = new QVBoxLayout(page);
    *peq = MakePeqGraph(language);
    *lp = MakeLpGraph(language);
    layout->addWidget(Caption("CEqPanel, set 0, PEQ band selected"));
    layout->addWidget(*peq, 1);
    layout->addWidget(Caption("CEqPanel, set 12, compound crossover band (LP) selected"));
    layout->addWidget(*lp, 1);
    return page;
}

CSmallEqPanel* MakeSmallPanel(const QColor& color, bool bypass, int seed) {
    auto* panel = new CSmallEqPanel;
    panel->setFixedSize(240, 120);
    panel->SetCurveColor(color);
    const float gains[2][7] = {{4, 2, -3, 0, 1.5f, -6, 3}, {-3, 0, 5, 2, -2, 0, 6}};
    for (int b = 0; b < 7; ++b) {
        panel->LoadBand(b, 1, panel->BandAt(b).frequency, gains[seed][b], 1.41f);
    }
    panel->SetBypass(bypass);
    return panel;
}

CXBmpSlider* MakeSlider(bool vertical, int minimum, int maximum, int position, QColor accent) {
    auto* slider = new CXBmpSlider;
    slider->SetVertical(vertical);
    slider->SetRange(minimum, maximum);
    slider->SetPos(position);
    slider->SetAccentColor(accent);
    if (vertical) {
        slider->setFixedSize(28, 180);
    } else {
        slider->setFixedSize(220, 26);
    }
    return slider;
}

QWidget* MakeSmallControlsPage(QList<CPeakMeterCtrl*>& meters) {
    auto* page = new QWidget;
    FillPage(page);
    auto* grid = new QGridLayout(page);

    grid->addWidget(Caption("CSmallEqPanel"), 0, 0, 1, 2);
    auto* reverb = MakeSmallPanel(QColor::fromRgba(0xFF00C8FF), false, 0);
    auto* echo = MakeSmallPanel(QColor::fromRgba(0xFF00DC00), true, 1);
    auto* clickInfo = new QLabel("click a preview");
    QObject::connect(reverb, &CSmallEqPanel::Clicked, clickInfo,
                     [clickInfo] { clickInfo->setText("reverb preview clicked"); });
    QObject::connect(echo, &CSmallEqPanel::Clicked, clickInfo,
                     [clickInfo] { clickInfo->setText("echo preview clicked"); });
    grid->addWidget(reverb, 1, 0);
    grid->addWidget(echo, 1, 1);
    grid->addWidget(clickInfo, 2, 0, 1, 2);

    grid->addWidget(Caption("CXBmpSlider"), 3, 0, 1, 2);
    auto* sliders = new QHBoxLayout;
    auto* value = new QLabel("50");
    auto* horizontal = MakeSlider(false, 0, 100, 50, QColor(0, 200, 255));
    QObject::connect(horizontal, &CXBmpSlider::PositionChanging, value,
                     [value](int, int pos) { value->setText(QString::number(pos)); });
    auto* column = new QVBoxLayout;
    column->addWidget(horizontal);
    column->addWidget(MakeSlider(false, -150, 150, 60, QColor(0, 220, 0)));
    auto* disabled = MakeSlider(false, 20, 20000, 1000, QColor(255, 200, 0));
    disabled->SetEnabled(false);
    column->addWidget(disabled);
    column->addWidget(value);
    sliders->addLayout(column);
    sliders->addWidget(MakeSlider(true, 0, 100, 75, QColor(0, 200, 255)));
    sliders->addWidget(MakeSlider(true, 2, 200, 40, QColor(255, 200, 0)));
    sliders->addStretch();
    grid->addLayout(sliders, 4, 0, 1, 2);

    grid->addWidget(Caption("CPeakMeterCtrl"), 0, 2);
    auto* meterRow = new QHBoxLayout;
    for (int i = 0; i < 6; ++i) {
        auto* meter = new CPeakMeterCtrl;
        meter->Configure(1, 15, 60, 40, 50, kPageBackground, 50);
        meter->setFixedSize(18, 200);
        meters << meter;
        meterRow->addWidget(meter);
    }
    auto* stereo = new CPeakMeterCtrl;
    stereo->Configure(8, 8, 60, 40, 50, QColor(30, 30, 30), 50);
    stereo->setFixedSize(240, 120);
    meters << stereo;
    meterRow->addWidget(stereo);
    meterRow->addStretch();
    grid->addLayout(meterRow, 1, 2, 2, 1);

    grid->addWidget(Caption("CGdipButton"), 3, 2);
    auto* buttons = new QHBoxLayout;
    auto* normal = new CGdipButton;
    normal->setText("Mic CH A");
    normal->SetTooltip("Microphone chain A");
    normal->setFixedSize(100, 30);
    auto* toggle = new CGdipButton;
    toggle->setText("Mute");
    toggle->SetToggle(true);
    toggle->setChecked(true);
    toggle->setFixedSize(100, 30);
    auto* off = new CGdipButton;
    off->setText("Disabled");
    off->setEnabled(false);
    off->setFixedSize(100, 30);
    buttons->addWidget(normal);
    buttons->addWidget(toggle);
    buttons->addWidget(off);
    buttons->addStretch();
    grid->addLayout(buttons, 4, 2, Qt::AlignTop);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(5, 1);
    return page;
}

QWidget* MakeListPage(int language) {
    auto* page = new QWidget;
    FillPage(page);
    auto* layout = new QHBoxLayout(page);
    const QStringList types = language == 0
                                  ? QStringList{"关闭", "参量", "低通", "高通", "低架", "高架"}
                                  : QStringList{"OFF", "PEQ", "LP", "HP", "LS", "HS"};
    auto* bands = new CGridListCtrlEx;
    bands->AddColumn("", 30);
    bands->AddColumn(language == 0 ? "类型" : "Type", 55, CGridListCtrlEx::Editor::Combo, types);
    bands->AddColumn(language == 0 ? "增益" : "Gain", 60, CGridListCtrlEx::Editor::Text);
    bands->AddColumn(language == 0 ? "频率" : "Freq", 60, CGridListCtrlEx::Editor::Text);
    bands->AddColumn(language == 0 ? "Q值" : "Q", 50, CGridListCtrlEx::Editor::Text);
    bands->SetRowCount(15);
    const int freqs[15] = {25,   40,   63,   100,  160,  250,   400,  630,
                           1000, 1600, 2500, 4000, 6300, 10000, 16000};
    for (int row = 0; row < 15; ++row) {
        bands->SetCellText(row, 0, QString::number(row + 1));
        bands->SetCellText(row, 1, types[1]);
        bands->SetCellText(row, 2, QString::asprintf("%+-.1fdB", row % 3 == 0 ? 3.0 : -1.5));
        bands->SetCellText(row, 3, QString::asprintf("%.0fHz", double(freqs[row])));
        bands->SetCellText(row, 4, "1.41");
    }
    bands->SetTextColor(QColor(0, 150, 200));
    bands->setFixedWidth(262);
    auto* notice = new QLabel("edit a cell");
    QObject::connect(bands, &CGridListCtrlEx::CellEdited, notice,
                     [notice](int row, int column, const QString& text) {
                         notice->setText(
                             QString("row %1 column %2: %3").arg(row).arg(column).arg(text));
                     });
    auto* left = new QVBoxLayout;
    left->addWidget(Caption("CGridListCtrlEx (band list)"));
    left->addWidget(bands, 1);
    left->addWidget(notice);
    layout->addLayout(left);

    auto* effects = new CReportCtrl;
    effects->InsertColumn("", 50);
    effects->InsertColumn(language == 0 ? "参数名" : "Parameter name", 130);
    effects->InsertColumn(language == 0 ? "参数值" : "Value", 80);
    const char* names[9] = {"Reverb Level",   "Reverb Predelay", "Reverb Time",
                            "Echo Level",     "Echo Predelay",   "Echo Time",
                            "Echo Start Vol", "Echo Vol Decay",  "Shift Frequency"};
    const char* values[9] = {"12%", "2ms", "2818ms", "65%", "2ms", "247ms", "88%", "50%", "5Hz"};
    for (int row = 0; row < 9; ++row) {
        effects->InsertItem(row, QString::number(row + 1));
        effects->SetItemText(row, 1, names[row]);
        effects->SetItemText(row, 2, values[row]);
        effects->SetRowColors(row, row < 3 ? QColor(0, 120, 200) : QColor(0, 150, 0),
                              row % 2 ? QColor(235, 245, 250) : QColor());
    }
    effects->SelectRow(0);
    effects->setFixedWidth(266);
    auto* right = new QVBoxLayout;
    right->addWidget(Caption("CReportCtrl (effect list)"));
    right->addWidget(effects, 1);
    layout->addLayout(right);
    layout->addStretch();
    return page;
}

bool SaveGrab(QWidget* widget, const QString& path) {
    const bool ok = widget->grab().save(path);
    std::fprintf(stderr, "%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    QCommandLineOption languageOption("language", "0 Chinese, 1 English", "index", "1");
    QCommandLineOption screenshotOption("screenshot", "Write PNG screenshots into DIR and quit",
                                        "DIR");
    parser.addOption(languageOption);
    parser.addOption(screenshotOption);
    parser.process(app);
    const int language = parser.value(languageOption).toInt() == 0 ? 0 : 1;

    QWidget window;
    window.setWindowTitle("fxtune-gallery");
    FillPage(&window);
    auto* layout = new QVBoxLayout(&window);
    auto* switcherRow = new QHBoxLayout;
    auto* tabs = new CTabWnd;
    CEqPanel* peq = nullptr;
    CEqPanel* lp = nullptr;
    QList<CPeakMeterCtrl*> meters;
    const QStringList names = {"EQ graph", "Small controls", "Lists"};
    tabs->AddChild(MakeGraphPage(language, &peq, &lp));
    tabs->AddChild(MakeSmallControlsPage(meters));
    tabs->AddChild(MakeListPage(language));
    QList<CGdipButton*> tabButtons;
    for (int i = 0; i < names.size(); ++i) {
        auto* button = new CGdipButton;
        button->setText(names[i]);
        button->SetToggle(true);
        button->setChecked(i == 0);
        button->setFixedSize(130, 30);
        tabButtons << button;
        QObject::connect(button, &QAbstractButton::clicked, tabs, [=] {
            tabs->SetActive(i);
            for (int j = 0; j < tabButtons.size(); ++j) tabButtons[j]->setChecked(j == i);
        });
        switcherRow->addWidget(button);
    }
    auto* bypass = new CGdipButton;
    bypass->setText("Bypass");
    bypass->SetToggle(true);
    bypass->setFixedSize(100, 30);
    QObject::connect(bypass, &QAbstractButton::toggled, peq,
                     [peq](bool on) { peq->SetBypass(on); });
    switcherRow->addStretch();
    switcherRow->addWidget(bypass);
    layout->addLayout(switcherRow);
    layout->addWidget(tabs, 1);
    window.resize(1040, 860);

    // Live sample data for the meters: a slow wobble with peaks.
    QTimer feed;
    int tick = 0;
    const auto feedMeters = [&] {
        ++tick;
        for (int i = 0; i < meters.size(); ++i) {
            std::vector<int> values(meters[i]->ChannelCount());
            for (size_t c = 0; c < values.size(); ++c) {
                values[c] = int(30 + 28 * std::sin(0.21 * tick + 0.9 * i + 0.7 * double(c)));
            }
            meters[i]->SetData(values);
        }
    };
    QObject::connect(&feed, &QTimer::timeout, feedMeters);
    feed.start(300);
    feedMeters();

    window.show();
    SelectGraphBand(*peq, 8);
    SelectGraphBand(*lp, 6);

    if (!parser.isSet(screenshotOption)) return app.exec();

    const QDir dir(parser.value(screenshotOption));
    QDir().mkpath(dir.path());
    bool ok = true;
    const auto settle = [&] {
        for (int i = 0; i < 5; ++i) app.processEvents();
    };
    settle();
    ok &= SaveGrab(peq, dir.filePath("controls-eq-peq.png"));
    ok &= SaveGrab(lp, dir.filePath("controls-eq-lp.png"));
    peq->SetBypass(true);
    settle();
    ok &= SaveGrab(peq, dir.filePath("controls-eq-bypass.png"));
    peq->SetBypass(false);
    tabs->SetActive(1);
    settle();
    ok &= SaveGrab(tabs->Child(1), dir.filePath("controls-small.png"));
    tabs->SetActive(2);
    settle();
    ok &= SaveGrab(tabs->Child(2), dir.filePath("controls-lists.png"));
    tabs->SetActive(0);
    settle();
    ok &= SaveGrab(&window, dir.filePath("controls-gallery.png"));
    return ok ? 0 : 1;
}
