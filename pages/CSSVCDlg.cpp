#include "pages/CSSVCDlg.h"

#include "controls/CSpinButton.h"
#include "controls/CXBmpSlider.h"
#include "controls/DialogStyle.h"
#include "controls/Localisation.h"
#include "pages/CPageNavRow.h"
#include "pages/DialogControls.h"
#include "pages/PageRegistry.h"
#include "state/ParamImage.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <cmath>

namespace {
using fx::page::kGap;
using fx::page::kMargin;
using fx::page::kNavHeight;
using fx::page::kTop;
constexpr int kLeftWidth = 360;
constexpr int kMiddleWidth = 270;
constexpr int kRow = 28;
constexpr int kTitle = 22;
constexpr int kControlHeight = 24;
constexpr int kSpinWidth = 16;

constexpr int kLocateIds[kOutputChannelCount] = {1231, 1232, 1233, 1234, 1235, 1236, 1240, 1241};
constexpr int kSpeakerCaptionIds[kSpeakerCount] = {1011, 1012, 1013, 1022, 1023, 1017, 1018, 1019};
const char* const kSpeakerCaptions[kSpeakerCount] = {"前置左", "中置",     "前置右",   "后环绕左",
                                                     "超低",   "后环绕右", "侧环绕左", "侧环绕右"};
const char* const kSpeakerEnglish[kSpeakerCount] = {"Front L", "Centre", "Front R", "Back L",
                                                    "Sub",     "Back R", "Side L",  "Side R"};

int g_locateSelection = 0;

QString MetresText(double metres) {
    return QString::asprintf("%+-.1fm", metres);
}

QString RoomText(int metres) {
    return QString::asprintf("%dm", metres);
}

// A decimal number at the start of an edit's text ("+1.5m" reads 1.5); 0 when none.
double EditNumber(const QLineEdit* edit) {
    const double value = fx::ParseNumber(edit->text());
    return std::isfinite(value) ? value : 0.0;
}

int Tenths(double metres) {
    return int(std::lround(metres * 10.0));
}

QPushButton* MakeButton(QWidget* page, int id, const char* text) {
    return fx::WithCtrlId(id, new QPushButton(QString::fromUtf8(text), page));
}

// A frame with a bold title behind its controls, as on the output page.
QGroupBox* MakeFrame(QWidget* page, int id, const char* title) {
    QGroupBox* group = fx::MakePageGroup(page);
    if (id != 0) SetCtrlId(group, id);
    group->setTitle(QString::fromUtf8(title));
    group->lower();
    return group;
}
} // namespace

CSSVCDlg::CSSVCDlg(QWidget* parent, fx::ParamStore& store, CPageNavigator navigator)
    : CHalvoxPage(kResource, parent, store) {
    m_volumeGroup = MakeFrame(this, 0, "");
    m_roomGroup = MakeFrame(this, IDC_SSV_ROOM_HEADING, "房间大小");
    m_positionGroup = MakeFrame(this, IDC_SSV_SOURCES_HEADING, "声源的位置");

    m_nav = new CPageNavRow(this, std::move(navigator));
    m_nav->SetCurrent(IDC_NAV_LOCATION);

    CreateVolumes();
    CreateRoom();
    CreateCoordinates();
    m_plan = new CSSVolumePanel(this);
    SetCtrlId(m_plan, IDC_SSV_PLAN);
    ApplyPaleBackground(m_plan);
    fx::RegisterPageArtwork();
    m_plan->SetPictures(QImage(QStringLiteral(":/pages/surround-speaker.png")),
                        QImage(QStringLiteral(":/pages/surround-listener.png")));
    connect(m_plan, &CSSVolumePanel::DragStarted, this, &CSSVCDlg::OnDrag);
    connect(m_plan, &CSSVolumePanel::ItemDragged, this, &CSSVCDlg::OnDrag);

    resize(parent ? parent->size() : QSize(1040, 560));
    Relabel();
    Reload();
}

int CSSVCDlg::LocateSelection() {
    return g_locateSelection;
}

int CSSVCDlg::LocateBoxId(int channel) {
    return kLocateIds[channel];
}

int CSSVCDlg::SpeakerCaptionId(int speaker) {
    return kSpeakerCaptionIds[speaker - 1];
}

int CSSVCDlg::CoordinateEditId(int item, int axis) {
    if (item == CSSVolumePanel::kListener)
        return axis == 0 ? IDC_SSV_LISTENER_X : IDC_SSV_LISTENER_Y;
    return IDC_SSV_SPEAKER_X + 2 * (item - 1) + axis;
}

int CSSVCDlg::CoordinateSpinId(int item, int axis) {
    return IDC_SSV_LISTENER_SPIN + 2 * item + axis;
}

// ------------------------------------------------------------------ controls

void CSSVCDlg::CreateVolumes() {
    for (int c = 0; c < kOutputChannelCount; ++c) {
        m_channelNames[c] = new QLabel(this);
        m_rowLabels[c] = fx::WithCtrlId(IDC_SSV_ROW_LABEL + c, new QLabel(this));
        CXBmpSlider* slider = fx::MakeDialogSlider(this, IDC_SSV_VOLUME + c);
        slider->SetRange(0, SurroundVolumeMax(c));
        // CH 6 runs to 500 %: the mark shows where the others end.
        if (SurroundVolumeMax(c) > 100) slider->SetMark(100);
        slider->SetMargins(3, 3, 3, 2);
        slider->SetAccentColor(QColor(0, 170, 200));
        connect(slider, &CXBmpSlider::PositionChanging, this,
                [this, c](int, int position) { OnVolume(c, position); });
        m_volumes[c] = slider;
        m_volumeValues[c] = fx::MakeValueLabel(this, IDC_SSV_VOLUME_VALUE + c);
        m_locate[c] =
            fx::WithCtrlId(LocateBoxId(c), new QCheckBox(QString::fromUtf8("定位"), this));
        connect(m_locate[c], &QCheckBox::clicked, this,
                [this, c](bool checked) { OnLocate(c, checked); });
    }
}

void CSSVCDlg::CreateRoom() {
    const char* const captions[2] = {"宽(m)", "长(m)"};
    const int captionIds[2] = {IDC_SSV_WIDTH_CAPTION, IDC_SSV_LENGTH_CAPTION};
    const int editIds[2] = {IDC_SSV_WIDTH, IDC_SSV_LENGTH};
    const int spinIds[2] = {IDC_SSV_WIDTH_SPIN, IDC_SSV_LENGTH_SPIN};
    for (int axis = 0; axis < 2; ++axis) {
        m_roomCaption[axis] = fx::MakeDialogLabel(this, captionIds[axis], captions[axis]);
        m_roomEdit[axis] = fx::WithCtrlId(editIds[axis], new QLineEdit(this));
        m_roomEdit[axis]->setAlignment(Qt::AlignCenter);
        // Enter in a room edit applies the size, as "立即修改" does.
        connect(m_roomEdit[axis], &QLineEdit::returnPressed, this, &CSSVCDlg::ApplyRoom);
        m_roomSpin[axis] = fx::WithCtrlId(spinIds[axis], new CSpinButton(this));
        m_roomSpin[axis]->SetRange(kRoomSizeMin, kRoomSizeMax);
        connect(m_roomSpin[axis], &CSpinButton::Stepped, this,
                [this, axis](int position) { OnRoomSpin(axis, position); });
    }
    m_modify = MakeButton(this, IDC_SSV_MODIFY, "立即修改");
    connect(m_modify, &QPushButton::clicked, this, &CSSVCDlg::ApplyRoom);
    m_reset = MakeButton(this, IDC_SSV_RESET, "复位");
    connect(m_reset, &QPushButton::clicked, this, [this] {
        ResetSurround();
        Refresh();
    });
    m_unit = fx::MakeDialogLabel(this, IDC_SSV_UNIT, "长度单位:米(m)");
}

void CSSVCDlg::CreateCoordinates() {
    for (QLabel*& caption : m_axisCaption) {
        caption = new QLabel(this);
        caption->setAlignment(Qt::AlignCenter);
    }
    for (int item = 0; item < kItemCount; ++item) {
        Coordinate& c = m_coordinates[item];
        c.caption =
            item == CSSVolumePanel::kListener
                ? fx::MakeDialogLabel(this, IDC_SSV_LISTENER_CAPTION, "听众位置")
                : fx::MakeDialogLabel(this, SpeakerCaptionId(item), kSpeakerCaptions[item - 1]);
        for (int axis = 0; axis < 2; ++axis) {
            c.edit[axis] = fx::WithCtrlId(CoordinateEditId(item, axis), new QLineEdit(this));
            c.edit[axis]->setAlignment(Qt::AlignCenter);
            connect(c.edit[axis], &QLineEdit::returnPressed, this,
                    [this, item] { OnCoordinateEnter(item); });
            c.spin[axis] = fx::WithCtrlId(CoordinateSpinId(item, axis), new CSpinButton(this));
            connect(c.spin[axis], &CSpinButton::Stepped, this,
                    [this, item, axis](int position) { OnCoordinateSpin(item, axis, position); });
        }
    }
    m_centre = MakeButton(this, IDC_SSV_CENTRE, "居中");
    connect(m_centre, &QPushButton::clicked, this, [this] {
        CentreListener();
        ShowItem(CSSVolumePanel::kListener);
    });
}

// ------------------------------------------------------------------ layout

void CSSVCDlg::resizeEvent(QResizeEvent* event) {
    CHalvoxPage::resizeEvent(event);
    Layout();
}

void CSSVCDlg::Layout() {
    const int w = width();
    const int h = height();
    m_nav->Place(QRect(kMargin, kMargin, w - 2 * kMargin, kNavHeight));
    const QRect volumes(kMargin, kTop, kLeftWidth, kTitle + kOutputChannelCount * kRow + 8);
    LayoutVolumes(volumes);
    LayoutRoom(QRect(kMargin, volumes.bottom() + kGap, kLeftWidth, kTitle + 2 * kRow + 12));
    const int middle = kMargin + kLeftWidth + kGap;
    LayoutCoordinates(QRect(middle, kTop, kMiddleWidth, kTitle + 20 + kItemCount * kRow + 44));
    const int planLeft = middle + kMiddleWidth + kGap;
    m_planArea = QRect(planLeft, kTop, std::max(200, w - planLeft - kMargin),
                       std::max(200, h - kTop - kMargin));
    PlacePlan();
}

void CSSVCDlg::LayoutVolumes(const QRect& area) {
    m_volumeGroup->setGeometry(area);
    const int x0 = area.left() + 8;
    const int right = area.right() - 8;
    for (int c = 0; c < kOutputChannelCount; ++c) {
        const int y = area.top() + kTitle + c * kRow + (kRow - kControlHeight) / 2;
        const int sliderLeft = x0 + 46 + 86;
        const int locateLeft = right - 72;
        const int valueLeft = locateLeft - 52;
        m_channelNames[c]->setGeometry(x0, y, 44, kControlHeight);
        m_rowLabels[c]->setGeometry(x0 + 46, y, 84, kControlHeight);
        m_volumes[c]->setGeometry(sliderLeft, y + 1, valueLeft - 4 - sliderLeft,
                                  kControlHeight - 2);
        m_volumeValues[c]->setGeometry(valueLeft, y, 48, kControlHeight);
        m_locate[c]->setGeometry(locateLeft, y, 72, kControlHeight);
    }
}

void CSSVCDlg::LayoutRoom(const QRect& area) {
    m_roomGroup->setGeometry(area);
    int x = area.left() + 8;
    const int y = area.top() + kTitle + (kRow - kControlHeight) / 2;
    for (int axis = 0; axis < 2; ++axis) {
        m_roomCaption[axis]->setGeometry(x, y, 72, kControlHeight);
        m_roomEdit[axis]->setGeometry(x + 74, y, 52, kControlHeight);
        m_roomSpin[axis]->setGeometry(x + 126, y, kSpinWidth, kControlHeight);
        x += 126 + kSpinWidth + 20;
    }
    const int y2 = y + kRow + 2;
    m_modify->setGeometry(area.left() + 8, y2, 104, kControlHeight + 2);
    m_reset->setGeometry(area.left() + 118, y2, 84, kControlHeight + 2);
    m_unit->setGeometry(area.left() + 212, y2, area.right() - 8 - (area.left() + 212),
                        kControlHeight + 2);
}

void CSSVCDlg::LayoutCoordinates(const QRect& area) {
    m_positionGroup->setGeometry(area);
    const int captionWidth = 104;
    const int editWidth = (area.width() - 16 - captionWidth - 2 * kSpinWidth - 10) / 2;
    const int x0 = area.left() + 8;
    const auto axisLeft = [&](int axis) {
        return x0 + captionWidth + axis * (editWidth + kSpinWidth + 6);
    };
    for (int axis = 0; axis < 2; ++axis)
        m_axisCaption[axis]->setGeometry(axisLeft(axis), area.top() + kTitle,
                                         editWidth + kSpinWidth, 18);
    for (int item = 0; item < kItemCount; ++item) {
        const Coordinate& c = m_coordinates[item];
        const int y = area.top() + kTitle + 20 + item * kRow + (kRow - kControlHeight) / 2;
        c.caption->setGeometry(x0, y, captionWidth - 4, kControlHeight);
        for (int axis = 0; axis < 2; ++axis) {
            c.edit[axis]->setGeometry(axisLeft(axis), y, editWidth, kControlHeight);
            c.spin[axis]->setGeometry(axisLeft(axis) + editWidth, y, kSpinWidth, kControlHeight);
        }
    }
    m_centre->setGeometry(axisLeft(0), area.top() + kTitle + 20 + kItemCount * kRow + 6,
                          2 * (editWidth + kSpinWidth) + 6, kControlHeight + 2);
}

// The plan keeps the room's proportions: a metre is as long both ways.
void CSSVCDlg::PlacePlan() {
    const int margins = 2 * CSSVolumePanel::kMargin;
    const int width = RoomWidth();
    const int length = RoomLength();
    const double scale = std::max(1.0, std::min(double(m_planArea.width() - margins) / width,
                                                double(m_planArea.height() - margins) / length));
    const QSize size(int(scale * width) + margins, int(scale * length) + margins);
    m_plan->setGeometry(m_planArea.left() + (m_planArea.width() - size.width()) / 2,
                        m_planArea.top(), size.width(), size.height());
}

// ------------------------------------------------------------------ refresh

void CSSVCDlg::Reload() {
    m_nav->SetCurrent(IDC_NAV_LOCATION);
    ShowLocateSelection();
    RefreshVolumes();
    RefreshRowLabels();
    Refresh();
}

void CSSVCDlg::RefreshVolumes() {
    for (int c = 0; c < kOutputChannelCount; ++c) {
        const int percent = int(GetDspParam(OutputBlock(c), OUT_SURROUND_VOLUME));
        m_volumes[c]->SetPos(percent);
        m_volumeValues[c]->setText(QString::asprintf("%d%%", percent));
    }
}

void CSSVCDlg::RefreshRowLabels() {
    for (int c = 0; c < kOutputChannelCount; ++c) {
        const int source =
            std::clamp(int(GetDspParam(OutputBlock(c), OUT_SOURCE)), 0, kOutputSourceCount - 1);
        const OutputSourceName& name = kOutputSourceNames[source];
        m_rowLabels[c]->setText(
            QStringLiteral("(%1)").arg(QString::fromUtf8(g_Language == 1 ? name.en : name.zh)));
        m_channelNames[c]->setText(Tr("通道%1", "CH %1").arg(c + 1));
    }
    RefreshSpeakerCaptions();
}

// Each speaker on the plan is tagged with the channel that carries its
// source (the one its distance level goes to), "-" when none does.
void CSSVCDlg::RefreshSpeakerCaptions() {
    for (int speaker = 1; speaker <= kSpeakerCount; ++speaker) {
        const SpeakerFacts& facts = kSpeakers[size_t(speaker - 1)];
        const int channel = ChannelCarryingSource(facts.source);
        const QString name = Tr(kSpeakerCaptions[speaker - 1], kSpeakerEnglish[speaker - 1]);
        m_plan->SetSpeakerCaption(
            speaker, QStringLiteral("%1\n(%2)").arg(name, QString::fromLatin1(facts.code)),
            channel < 0 ? QStringLiteral("-") : Tr("通道%1", "CH%1").arg(channel + 1));
    }
}

void CSSVCDlg::ShowLocateSelection() {
    for (int c = 0; c < kOutputChannelCount; ++c)
        m_locate[c]->setChecked(g_locateSelection == c + 1);
}

void CSSVCDlg::Refresh() {
    ShowRoom();
    for (int item = 0; item < kItemCount; ++item) ShowItem(item);
}

void CSSVCDlg::ShowRoom() {
    const int size[2] = {RoomWidth(), RoomLength()};
    for (int axis = 0; axis < 2; ++axis) {
        m_roomEdit[axis]->setText(RoomText(size[axis]));
        m_roomSpin[axis]->SetPos(size[axis]);
    }
    m_plan->SetRoomSize(size[0], size[1]);
    // The position spins count tenths of a metre within the room.
    for (Coordinate& c : m_coordinates)
        for (int axis = 0; axis < 2; ++axis)
            c.spin[axis]->SetRange(-size[axis] * 10 / 2, size[axis] * 10 / 2);
    PlacePlan();
}

void CSSVCDlg::ShowItem(int item) {
    const RoomPoint at =
        item == CSSVolumePanel::kListener ? ListenerPosition() : SpeakerPosition(item);
    m_plan->SetItemPosition(item, at.x, at.y);
    const double values[2] = {at.x, at.y};
    for (int axis = 0; axis < 2; ++axis) {
        m_coordinates[item].edit[axis]->setText(MetresText(values[axis]));
        m_coordinates[item].spin[axis]->SetPos(Tenths(values[axis]));
    }
}

void CSSVCDlg::Relabel() {
    LoadDialogTexts(this, kResource);
    m_nav->Relabel();
    m_volumeGroup->setTitle(Tr("环绕音量", "Surround volume"));
    m_axisCaption[0]->setText(Tr("左右 X", "X"));
    m_axisCaption[1]->setText(Tr("前后 Y", "Y"));
    RefreshRowLabels();
}

// ------------------------------------------------------------------ volumes

void CSSVCDlg::OnVolume(int channel, int position) {
    SetSurroundVolume(channel, position);
    m_volumeValues[channel]->setText(QString::asprintf("%d%%", position));
}

void CSSVCDlg::OnLocate(int channel, bool checked) {
    if (checked) {
        SendLocateRequest(int(GetDspParam(OutputBlock(channel), OUT_SOURCE)));
        g_locateSelection = channel + 1;
    } else {
        SendLocateRequest(kLocateNone);
        g_locateSelection = 0;
    }
    ShowLocateSelection();
}

// ------------------------------------------------------------------ room

void CSSVCDlg::OnRoomSpin(int axis, int position) {
    m_roomEdit[axis]->setText(RoomText(position));
    ApplyRoom();
}

void CSSVCDlg::ApplyRoom() {
    const int width = std::clamp(int(EditNumber(m_roomEdit[0])), kRoomSizeMin, kRoomSizeMax);
    const int length = std::clamp(int(EditNumber(m_roomEdit[1])), kRoomSizeMin, kRoomSizeMax);
    SetSurroundRoom(width, length);
    ShowRoom();
}

// ------------------------------------------------------------------ moving

void CSSVCDlg::OnCoordinateSpin(int item, int axis, int position) {
    QLineEdit* edit = m_coordinates[item].edit[axis];
    edit->setText(MetresText(position / 10.0));
    edit->setFocus();
    const Coordinate& c = m_coordinates[item];
    MoveItem(item, EditNumber(c.edit[0]), EditNumber(c.edit[1]));
}

void CSSVCDlg::OnCoordinateEnter(int item) {
    const Coordinate& c = m_coordinates[item];
    MoveItem(item, EditNumber(c.edit[0]), EditNumber(c.edit[1]));
}

void CSSVCDlg::OnDrag(int item) {
    const CSSVolumePanel::Item& dragged = m_plan->ItemAt(item);
    const double x = RoomX(dragged.x);
    const double y = RoomY(dragged.y);
    const RoomPoint at =
        item == CSSVolumePanel::kListener ? ListenerPosition() : SpeakerPosition(item);
    // Within the same tenth of a metre nothing changes for the processor.
    if (Tenths(x) == Tenths(at.x) && Tenths(y) == Tenths(at.y)) {
        ShowItem(item);
        return;
    }
    MoveItem(item, x, y);
}

// The layout goes out with the levels the move changes: all eight for the
// listener, the speaker's own otherwise.
void CSSVCDlg::MoveItem(int item, double x, double y) {
    if (item == CSSVolumePanel::kListener)
        MoveListener(x, y);
    else
        MoveSpeaker(item, x, y);
    ShowItem(item);
}

FX_REGISTER_PAGE(PAGE_SURROUND,
                 [](int, QWidget* parent, const CPageNavigator& navigator, fx::ParamStore& store)
                     -> CHalvoxPage* { return new CSSVCDlg(parent, store, navigator); });
