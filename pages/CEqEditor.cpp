#include "pages/CEqEditor.h"

#include "controls/CEqPanel.h"
#include "controls/CGridListCtrlEx.h"
#include "controls/CXBmpSlider.h"
#include "controls/EqModel.h"
#include "controls/Localisation.h"
#include "modefile/SafeFile.h"
#include "pages/CRoomCorrection.h"
#include "pages/DialogControls.h"
#include "state/ChannelLinks.h"
#include "state/EqFilterText.h"
#include "state/OutputChannels.h"
#include "state/ParamImage.h"
#include "state/ParamStore.h"

#include <QButtonGroup>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {
constexpr int kGainSliderMin = -150;
constexpr int kGainSliderMax = 150;
constexpr int kFreqMin = 20;
constexpr int kFreqMax = 20000;
constexpr int kQSliderMin = 10;
constexpr int kQSliderMaxPeq = 3000;
constexpr int kQSliderMaxOther = 200;

const char* const kTypeTextsZh[6] = {"关闭", "参量", "低通", "高通", "低架", "高架"};
const char* const kTypeTextsEn[6] = {"OFF", "PEQ", "LP", "HP", "LS", "HS"};

QString GainText(double gain) {
    return QString::asprintf("%+-.1fdB", gain);
}
QString FreqText(double frequency) {
    return QString::asprintf("%.0fHz", frequency);
}
QString QText(double q) {
    return QString::asprintf("%.2f", q);
}

// A band takes the values its record was written with.
void TakeWritten(EqBand& band, const EqBandRecord& written) {
    band.frequency = float(written.frequency);
    band.gain = float(written.gain);
    band.q = float(written.q);
}

bool GainEditable(int type) {
    return type == EQ_PEQ || type == EQ_LS || type == EQ_HS;
}

QLabel* MakeLabel(QWidget* page, int id, const char* text) {
    auto* label = new QLabel(QString::fromUtf8(text), page);
    SetCtrlId(label, id);
    return label;
}
} // namespace

CEqEditor::CEqEditor(QWidget* page, fx::ParamStore& store)
    : QObject(page), m_store(store), m_page(page) {
    m_graph = new CEqPanel(page);
    SetCtrlId(m_graph, IDC_EQ_GRAPH);
    connect(m_graph, &CEqPanel::BandChanged, this,
            [this](EqBand*, int index) { OnBandChanged(index); });
    connect(m_graph, &CEqPanel::BandSelected, this,
            [this](EqBand*, int index) { OnBandSelected(index); });
    connect(m_graph, &CEqPanel::SelectionCleared, this, [this] { OnSelectionCleared(); });
    // The editor always edits the graph's selected band, however it was chosen.
    connect(m_graph, &CEqPanel::SelectionMoved, this, &CEqEditor::FollowGraphSelection);
    m_graph->SetPasteAvailable([] { return g_EqClipboardSet != -1; });
    connect(m_graph, &CEqPanel::CopyPaste, this,
            [this](int operation, int set) { OnCopyPaste(operation, set); });
    connect(m_graph, &CEqPanel::FilterFile, this, [this](int operation, int) {
        if (operation == kEqImportFilters)
            ImportFilters();
        else
            ExportFilters();
    });

    m_room = new CRoomCorrection(this, {[this] { return Set(); }, [this] { Load(); }}, *m_graph,
                                 page, m_store);

    m_list = new CGridListCtrlEx(page);
    SetCtrlId(m_list, IDC_EQ_BAND_LIST);
    m_list->verticalHeader()->setDefaultSectionSize(kListRowHeight);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(m_list, &CGridListCtrlEx::CellEdited, this, &CEqEditor::OnCellEdited);
    connect(m_list, &CGridListCtrlEx::RowSelected, this, &CEqEditor::OnListRowSelected);

    CreateEditor(page);
    ShowEditor(false);
    BuildList(kDefaultColumnWidths);
}

void CEqEditor::BuildList(const ColumnWidths& widths) {
    using Editor = CGridListCtrlEx::Editor;
    m_list->RemoveAllColumns();
    m_list->AddColumn(QString(), widths[ColNumber]);
    m_list->AddColumn(QString(), widths[ColType], Editor::Combo, TypeTexts());
    m_list->AddColumn(QString(), widths[ColGain], Editor::Text);
    m_list->AddColumn(QString(), widths[ColFreq], Editor::Text);
    m_list->AddColumn(QString(), widths[ColQ], Editor::Text);
    m_list->SetTextColor(m_listColor);
    Relabel();
}

void CEqEditor::CreateEditor(QWidget* page) {
    m_number = MakeLabel(page, IDC_EQ_BAND_NUMBER, "1");
    QFont numberFont(QStringLiteral("Arial"));
    numberFont.setPixelSize(24);
    numberFont.setBold(true);
    m_number->setFont(numberFont);
    m_number->setStyleSheet(QStringLiteral("color: rgb(20, 200, 20);"));
    m_number->setAlignment(Qt::AlignCenter);

    m_captions[0] = MakeLabel(page, IDC_EQ_CAPTION_TYPE, "类型");
    m_captions[1] = MakeLabel(page, IDC_EQ_CAPTION_FREQ, "频率");
    m_captions[2] = MakeLabel(page, IDC_EQ_CAPTION_GAIN, "增益");
    m_captions[3] = MakeLabel(page, IDC_EQ_CAPTION_Q, "Q值");

    static const char* const radioTexts[5] = {"参量", "低通", "高通", "低架", "高架"};
    m_typeGroup = new QButtonGroup(this);
    for (int i = 0; i < 5; ++i) {
        m_typeRadios[i] = new QRadioButton(QString::fromUtf8(radioTexts[i]), page);
        m_typeRadios[i]->setAutoExclusive(false);
        SetCtrlId(m_typeRadios[i], IDC_EQ_RADIO_PEQ + i);
        m_typeGroup->addButton(m_typeRadios[i], i + 1);
    }
    connect(m_typeGroup, &QButtonGroup::idClicked, this, &CEqEditor::OnTypeRadio);

    auto makeSlider = [&](int id, int minimum, int maximum) {
        auto* slider = new CXBmpSlider(page);
        slider->SetControlId(id);
        SetCtrlId(slider, id);
        slider->SetRange(minimum, maximum);
        slider->SetMargins(3, 3, 3, 2);
        connect(slider, &CXBmpSlider::PositionChanging, this, &CEqEditor::OnEditorSlider);
        return slider;
    };
    m_gainSlider = makeSlider(IDC_EQ_SLIDER_GAIN, kGainSliderMin, kGainSliderMax);
    m_freqSlider = makeSlider(IDC_EQ_SLIDER_FREQ, kFreqMin, kFreqMax);
    m_qSlider = makeSlider(IDC_EQ_SLIDER_Q, kQSliderMin, kQSliderMaxPeq);

    auto makeEdit = [&](int id) {
        auto* edit = new QLineEdit(page);
        SetCtrlId(edit, id);
        edit->setAlignment(Qt::AlignCenter);
        // Enter in an edit applies the whole editor.
        connect(edit, &QLineEdit::returnPressed, this, &CEqEditor::ApplyEditor);
        return edit;
    };
    m_gainEdit = makeEdit(IDC_EQ_EDIT_GAIN);
    m_freqEdit = makeEdit(IDC_EQ_EDIT_FREQ);
    m_qEdit = makeEdit(IDC_EQ_EDIT_Q);
}

QStringList CEqEditor::TypeTexts() {
    QStringList texts;
    for (int i = 0; i < 6; ++i)
        texts << QString::fromUtf8(g_Language == 1 ? kTypeTextsEn[i] : kTypeTextsZh[i]);
    return texts;
}

int CEqEditor::DisplayType(const EqBand& band) {
    if (band.sectionCount != 3) return band.type;
    SectionTypes types{band.type, 0, 0, 0};
    for (int s = 0; s < 3; ++s)
        if (band.sections[s]) types[s + 1] = band.sections[s]->type;
    const int matched = MatchCrossover(types).bandType;
    if (matched != 0) return matched;
    return IsLowPassLike(band.type) ? EQ_LP : EQ_HP;
}

std::vector<int> CEqEditor::TargetSets() const {
    return fx::EqSetsLinkedWith(m_set);
}

void CEqEditor::SetSet(int set, EqBypassSwitch bypass, const QColor& listColor) {
    m_set = set;
    m_bypass = bypass;
    m_listColor = listColor;
}

void CEqEditor::Relabel() {
    m_list->SetColumnHeader(ColNumber, QString());
    m_list->SetColumnHeader(ColType, Tr("类型", "Type"));
    m_list->SetColumnHeader(ColGain, Tr("增益", "Gain"));
    m_list->SetColumnHeader(ColFreq, Tr("频率", "Freq"));
    m_list->SetColumnHeader(ColQ, Tr("Q值", "Q"));
    m_list->SetColumnChoices(ColType, TypeTexts());
    m_graph->SetLanguage(g_Language);
    for (int b = 0; b < m_list->rowCount(); ++b) FillRow(b);
}

void CEqEditor::SetEnabled(bool enabled) {
    m_graph->setEnabled(enabled);
    m_list->setEnabled(enabled);
}

void CEqEditor::PlaceGraph(const QRect& graphArea) {
    m_graph->setGeometry(graphArea);
}

void CEqEditor::PlaceListArea(const QRect& area, int listHeight) {
    m_list->setGeometry(listHeight > 0 ? QRect(area.topLeft(), QSize(area.width(), listHeight))
                                       : area);
    if (!m_editorAreaOwn) PlaceEditor(area);
}

void CEqEditor::PlaceEditorArea(const QRect& area) {
    m_editorAreaOwn = true;
    PlaceEditor(area);
    ShowEditor(m_editorShown);
}

void CEqEditor::PlaceEditor(const QRect& area) {
    const int x = area.left();
    const int y = area.top();
    const int w = area.width();
    m_number->setGeometry(x, y + 4, 44, 32);
    m_captions[0]->setGeometry(x + 52, y + 10, w - 52, 20);
    const int radioWidth = w / 5;
    for (int i = 0; i < 5; ++i)
        m_typeRadios[i]->setGeometry(x + i * radioWidth, y + 44, radioWidth, 22);
    const int captionWidth = 40;
    const int editWidth = 76;
    const int sliderX = x + captionWidth + 4;
    const int sliderWidth = w - captionWidth - editWidth - 12;
    const int editX = x + w - editWidth;
    struct Row {
        QLabel* caption;
        CXBmpSlider* slider;
        QLineEdit* edit;
    };
    const Row rows[3] = {{m_captions[2], m_gainSlider, m_gainEdit},
                         {m_captions[1], m_freqSlider, m_freqEdit},
                         {m_captions[3], m_qSlider, m_qEdit}};
    for (int r = 0; r < 3; ++r) {
        const int rowY = y + 80 + r * 36;
        rows[r].caption->setGeometry(x, rowY, captionWidth, 26);
        rows[r].slider->setGeometry(sliderX, rowY, sliderWidth, 26);
        rows[r].edit->setGeometry(editX, rowY + 1, editWidth, 24);
    }
}

void CEqEditor::Load() {
    m_selected = -1;
    m_graph->ClearSelection();
    m_list->SelectRow(-1);
    m_graph->setFocus();
    m_graph->ShowEqSet(m_set);
    const int count = m_graph->BandCount();
    for (int b = 0; b < count; ++b) {
        const int offset = EqBandOffset(m_set, b);
        if (offset < 0) continue;
        const EqBandRecord record = DecodeEqBandRecord(&m_store.Panel()[offset]);
        m_graph->ApplyBandType(b, record.type);
        m_graph->ApplyBandGain(b, float(record.gain));
        m_graph->ApplyBandFrequency(b, float(record.frequency));
        m_graph->ApplyBandQ(b, float(record.q));
    }
    // Hidden sections of a compound band have no row.
    int rows = 0;
    while (rows < count && m_graph->Band(rows).shown) ++rows;
    m_list->SetRowCount(rows);
    m_list->SetTextColor(m_listColor);
    for (int b = 0; b < rows; ++b) FillRow(b);
    ShowEditor(false);
    SyncBypassFlag();
    emit SelectionChanged(-1);
}

void CEqEditor::FillRow(int index) {
    if (index < 0 || index >= m_list->rowCount() || index >= m_graph->BandCount()) return;
    const EqBand& band = m_graph->Band(index);
    const QStringList types = TypeTexts();
    const int type = DisplayType(band);
    m_list->SetCellText(index, ColNumber, QString::number(index + 1));
    if (type >= 0 && type < types.size()) m_list->SetCellText(index, ColType, types[type]);
    m_list->SetCellText(index, ColGain, GainText(band.gain));
    m_list->SetCellText(index, ColFreq, FreqText(band.frequency));
    m_list->SetCellText(index, ColQ, QText(band.q));
}

void CEqEditor::FillEditor() {
    if (m_selected < 0 || m_selected >= m_graph->BandCount()) return;
    const EqBand& band = m_graph->Band(m_selected);
    m_number->setText(QString::number(m_selected + 1));
    m_gainEdit->setText(GainText(band.gain));
    m_gainSlider->SetPos(int(std::lround(band.gain * 10.0f)));
    m_freqEdit->setText(FreqText(band.frequency));
    m_freqSlider->SetPos(int(band.frequency));
    m_qEdit->setText(QText(band.q));
    const int type = DisplayType(band);
    m_qSlider->SetRange(kQSliderMin, type == EQ_PEQ ? kQSliderMaxPeq : kQSliderMaxOther);
    m_qSlider->SetPos(int(std::lround(band.q * 100.0f)));
    // No radio stands for OFF or a crossover section: then none is checked.
    m_typeGroup->setExclusive(false);
    for (int i = 0; i < 5; ++i) m_typeRadios[i]->setChecked(type == i + 1);
    m_typeGroup->setExclusive(true);
    const bool gainEditable = GainEditable(band.type);
    m_gainSlider->setEnabled(gainEditable);
    m_gainEdit->setEnabled(gainEditable);
}

void CEqEditor::ShowEditor(bool shown) {
    m_editorShown = shown;
    m_list->setVisible(!shown || m_editorAreaOwn);
    m_number->setVisible(shown);
    for (QLabel* caption : m_captions) caption->setVisible(shown);
    for (QRadioButton* radio : m_typeRadios) radio->setVisible(shown);
    for (QWidget* w : std::initializer_list<QWidget*>{m_gainSlider, m_freqSlider, m_qSlider,
                                                      m_gainEdit, m_freqEdit, m_qEdit})
        w->setVisible(shown);
}

bool CEqEditor::EditorShown() const {
    return m_editorShown;
}

bool CEqEditor::IsWheelTarget(const QWidget* widget) const {
    return widget && (widget == m_graph || widget == m_gainSlider || widget == m_freqSlider ||
                      widget == m_qSlider);
}

void CEqEditor::WriteBand(int index) {
    if (index < 0 || index >= m_graph->BandCount()) return;
    const std::vector<EqBandRecord> written = StoreBand(BandWrites(m_graph->Band(index)));
    ShowWritten(index, written);
}

std::vector<EqBandWrite> CEqEditor::BandWrites(const EqBand& band) const {
    const double frequency = double(int(band.frequency));
    std::vector<EqBandWrite> writes{{band.index, band.type, frequency, band.gain, band.q}};
    // The sections take the band's frequency and keep their gain and Q.
    for (int s = 0; s < band.sectionCount && s < 3; ++s)
        if (const EqBand* section = band.sections[s])
            writes.push_back({section->index, section->type, frequency, section->gain, section->q});
    return writes;
}

std::vector<EqBandRecord> CEqEditor::StoreBand(const std::vector<EqBandWrite>& writes) {
    return fx::SetLinkedEqBands(m_set, writes);
}

void CEqEditor::ShowWritten(int index, const std::vector<EqBandRecord>& written) {
    // The graph, the list and the editor show the words that were written.
    EqBand& band = m_graph->Band(index);
    if (!written.empty()) {
        // Written in the order BandWrites gave: the band, then its sections.
        size_t next = 1;
        for (int s = 0; s < band.sectionCount && s < 3; ++s)
            if (EqBand* section = band.sections[s]; section && next < written.size())
                TakeWritten(*section, written[next++]);
        TakeWritten(band, written.front());
        m_graph->RecomputeBand(index);
    }
    FillRow(index);
    if (index == m_selected) FillEditor();
    emit BandWritten(index);
}

void CEqEditor::ApplyCompoundTypes(int index, const std::array<int, 4>& types) {
    if (index < 0 || index >= m_graph->BandCount()) return;
    m_graph->ApplyCompoundTypes(index, types);
    WriteBand(index);
}

void CEqEditor::OnBandChanged(int index) {
    WriteBand(index);
}

void CEqEditor::OnBandSelected(int index) {
    const bool moved = m_selected != index || !m_editorShown;
    m_selected = index;
    m_number->setText(QString::number(index + 1));
    ShowEditor(true);
    FillEditor();
    ShowSelectedRow();
    if (moved) emit SelectionChanged(index);
}

void CEqEditor::OnSelectionCleared() {
    if (m_selected == -1) return;
    m_selected = -1;
    ShowEditor(false);
    ShowSelectedRow();
    emit SelectionChanged(-1);
}

void CEqEditor::FollowGraphSelection(int index) {
    if (index < 0)
        OnSelectionCleared();
    else
        OnBandSelected(index);
}

// A row picked in the band list selects its band on the graph. Where the
// editor shares the list's place the list stays (the user may be editing a
// cell); where it has a place of its own it shows the band.
void CEqEditor::OnListRowSelected(int row) {
    if (row == m_selected || row < 0 || row >= m_graph->BandCount()) return;
    m_selected = row;
    m_graph->SelectBand(row);
    if (m_editorAreaOwn) ShowEditor(true);
    FillEditor();
    emit SelectionChanged(row);
}

void CEqEditor::ShowSelectedRow() {
    if (m_list->SelectedRow() != m_selected) m_list->SelectRow(m_selected);
}

void CEqEditor::OnCopyPaste(int operation, int set) {
    if (operation == kEqCopyOperation) {
        g_EqClipboardSet = set;
    } else if (operation == kEqPasteOperation && g_EqClipboardSet != -1) {
        fx::PasteLinkedEqSet(g_EqClipboardSet, set);
    }
    Load();
}

void CEqEditor::SetFileChooser(std::function<QString(bool save)> chooser) {
    m_chooser = std::move(chooser);
}

QString CEqEditor::ChooseFilterFile(bool save) {
    if (m_chooser) return m_chooser(save);
    const QString filter =
        Tr("滤波器文本 (*.txt);;所有文件 (*)", "Filter text (*.txt);;All files (*)");
    const QString path =
        save ? QFileDialog::getSaveFileName(m_page, Tr("导出滤波器", "Export filters"),
                                            QDir(fx::LastFileFolder()).filePath("filters.txt"),
                                            filter)
             : QFileDialog::getOpenFileName(m_page, Tr("导入滤波器", "Import filters"),
                                            fx::LastFileFolder(), filter);
    fx::RememberFileFolder(path);
    return path;
}

void CEqEditor::ShowFilterError(const QString& text) {
    QMessageBox::warning(m_page, Tr("滤波器", "Filters"), text);
}

// Nothing reaches the processor unless the whole file fits the set.
void CEqEditor::ImportFilters() {
    const QString path = ChooseFilterFile(false);
    if (path.isEmpty()) return;
    const fx::FileReadResult file =
        fx::ReadRegularFile(path.toStdString(), fx::kMaxFilterTextBytes);
    if (!file.ok) {
        ShowFilterError(QString::fromStdString(file.message));
        return;
    }
    const fx::FilterText text = fx::ParseFilterText(
        std::string(file.bytes.begin(), file.bytes.end()), fx::FilterBandCount(m_set));
    const QString name = QFileInfo(path).fileName();
    if (!text.ok && text.line == 0) {
        ShowFilterError(Tr("%1 无法导入：其中没有滤波器行。", "%1 cannot be imported: it holds no "
                                                              "filter line.")
                            .arg(name));
        return;
    }
    if (!text.ok) {
        ShowFilterError(Tr("%1 第 %2 行无法导入：\n%3", "%1, line %2 cannot be imported:\n%3")
                            .arg(name)
                            .arg(text.line)
                            .arg(QString::fromStdString(text.reason)));
        return;
    }
    // Like every band edit, the import goes to the linked channels too.
    fx::EditLinkedEqSets(m_set, fx::ImageEditKind::EqImport,
                         [&](int set) { fx::ApplyImportedBands(set, text.filters); });
    Load();
    if (text.preampDb) {
        QMessageBox::information(
            m_page, Tr("导入滤波器", "Import filters"),
            Tr("第 %1 行的前级增益 %2 dB 已忽略：均衡没有前级增益。",
               "The preamp of %2 dB on line %1 was ignored: the EQ has no preamp.")
                .arg(text.preampLine)
                .arg(*text.preampDb, 0, 'f', 1));
    }
}

void CEqEditor::ExportFilters() {
    const QString path = ChooseFilterFile(true);
    if (path.isEmpty()) return;
    const std::string text = fx::FormatFilterText(m_set, m_store.Panel());
    const fx::FileWriteResult saved = fx::WriteFileAtomically(
        path.toStdString(), reinterpret_cast<const uint8_t*>(text.data()), text.size());
    if (!saved.ok) ShowFilterError(QString::fromStdString(saved.message));
}

void CEqEditor::OnCellEdited(int row, int column, const QString& text) {
    if (row < 0 || row >= m_graph->BandCount()) return;
    if (column == ColType) {
        const int type = int(TypeTexts().indexOf(text.trimmed()));
        if (type < 0) {
            FillRow(row); // an unknown name leaves the type alone
            return;
        }
        if (type == EQ_OFF)
            m_graph->ApplyBandType(row, EQ_OFF);
        else
            m_graph->ApplyBandTypeGrouped(row, type);
        WriteBand(row);
        return;
    }
    if (column != ColGain && column != ColFreq && column != ColQ) return;
    // The edited text is already in its cell; the row's three values are read together.
    const double gain = fx::ParseNumber(m_list->CellText(row, ColGain));
    const double frequency = fx::ParseNumber(m_list->CellText(row, ColFreq));
    const double q = fx::ParseNumber(m_list->CellText(row, ColQ));
    m_graph->ApplyBandGain(row, float(gain));
    if (frequency != 0.0) m_graph->ApplyBandFrequency(row, float(frequency));
    m_graph->ApplyBandQ(row, float(q));
    WriteBand(row);
}

void CEqEditor::OnTypeRadio(int type) {
    if (m_selected < 0) return;
    m_graph->ApplyBandTypeGrouped(m_selected, type);
    WriteBand(m_selected);
}

void CEqEditor::OnEditorSlider(int controlId, int position) {
    if (m_selected < 0) return;
    switch (controlId) {
    case IDC_EQ_SLIDER_GAIN:
        m_gainEdit->setText(GainText(position / 10.0));
        break;
    case IDC_EQ_SLIDER_FREQ:
        m_freqEdit->setText(QString::asprintf("%dHz", position));
        break;
    case IDC_EQ_SLIDER_Q:
        m_qEdit->setText(QText(position / 100.0));
        break;
    default:
        return;
    }
    ApplyEditor();
}

void CEqEditor::ApplyEditor() {
    if (m_selected < 0) return;
    m_graph->ApplyBandGain(m_selected, float(fx::ParseNumber(m_gainEdit->text())));
    // A frequency that reads as 0 or below the range becomes 20 Hz.
    const double frequency =
        std::clamp(fx::ParseNumber(m_freqEdit->text()), double(kFreqMin), double(kFreqMax));
    m_graph->ApplyBandFrequency(m_selected, float(frequency));
    m_graph->ApplyBandQ(m_selected, float(fx::ParseNumber(m_qEdit->text())));
    WriteBand(m_selected);
}

bool CEqEditor::Bypassed() const {
    return GetDspParam(m_bypass.block, m_bypass.parameter) != 0;
}

void CEqEditor::ToggleBypass() {
    fx::SetLinkedDspParam(m_bypass.block, m_bypass.parameter, Bypassed() ? 0 : 1);
    SyncBypassFlag();
}

void CEqEditor::SyncBypassFlag() {
    m_graph->SetBypass(Bypassed());
}

void CEqEditor::Reset() {
    m_selected = -1;
    m_graph->ClearSelection();
    fx::ResetLinkedEqSet(m_set);
    Load();
}
