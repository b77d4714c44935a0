#include "tests/gui/GuiTestSupport.h"

#include "controls/Localisation.h"
#include "pages/CDialogMusicInput.h"
#include "pages/CloudnessDlg.h"
#include "shell/CHalvoxView.h"
#include "shell/RibbonIds.h"
#include "state/ParamImage.h"

#include <QDir>
#include <QPainter>

// Pictures of the music source dialog (the full variant and the three-source
// one) and of the features dialog, in both languages, for the
// documentation. Only runs when FX_PAGE_SCREENSHOTS names the folder.
namespace {

void SetDsp(SimProcessor::Image& memory, int block, int parameter, uint32_t value) {
    WriteBigEndian32(memory.data() + SimProcessor::FindDspValueOffset(memory, block, parameter),
                     value);
}

// A processor with the given model and a few settings away from the defaults.
void Prepare(SimProcessor& sim, const char* model, int source) {
    SimIdentity identity;
    identity.moduleName = model;
    sim.SetIdentity(identity);
    SimProcessor::Image memory = sim.Memory();
    SetDsp(memory, 4, 23, static_cast<uint32_t>(source));
    const int levels[14] = {100, 85, 70, 100, 60, 90, 75, 100, 80, 100, 65, 95, 100, 50};
    for (int k = 0; k < 14; ++k) SetDsp(memory, 4, 24 + k, PercentToStored(levels[k]));
    WriteBigEndian32(memory.data() + kPanelLevelOffset, FloatBits(-8.0f));
    SetDsp(memory, 1, 43, 0);
    SetDsp(memory, 1, 12, 1);
    SetDsp(memory, 1, 13, PercentToStored(30));
    SetDsp(memory, 4, 15, 0);
    SetDsp(memory, 4, 40, PercentToStored(120));
    sim.SetMemory(memory);
}

} // namespace

// The dialog under a caption strip with its title, as a window manager
// would frame it (the screen under test has none), so the language shows.
QPixmap WithCaption(QWidget* dialog) {
    constexpr int kCaption = 30;
    const QPixmap client = dialog->grab();
    QPixmap framed(client.width() + 2, client.height() + kCaption + 1);
    framed.fill(QColor(120, 140, 160));
    QPainter painter(&framed);
    painter.fillRect(1, 1, client.width(), kCaption - 1, QColor(222, 232, 242));
    QFont font = dialog->font();
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(30, 40, 60));
    painter.drawText(QRect(12, 1, client.width() - 24, kCaption - 1), Qt::AlignVCenter,
                     dialog->windowTitle());
    painter.drawPixmap(1, kCaption, client);
    return framed;
}

class FeaturesScreenshotTest : public GuiFixture {
protected:
    void Save(QWidget* widget, const QString& name) {
        Pump(150);
        ASSERT_TRUE(WithCaption(widget).save(QDir(m_folder).filePath(name)));
    }
    QString m_folder = qEnvironmentVariable("FX_PAGE_SCREENSHOTS");
};

TEST_F(FeaturesScreenshotTest, MusicSourceAndFeaturesDialogsInBothLanguages) {
    if (m_folder.isEmpty()) GTEST_SKIP() << "FX_PAGE_SCREENSHOTS is not set";
    struct Variant {
        const char* model;
        int source;
        const char* name;
    };
    const Variant variants[] = {{"DSW418", 11, "full"}, {"ARN41", 8, "arn41"}};
    for (const Variant& variant : variants) {
        Prepare(*m_sim, variant.model, variant.source);
        StartEditor();
        ASSERT_TRUE(WaitForRead());
        for (int language : {0, 1}) {
            if (g_Language != language) View()->ToggleLanguage();
            const QString suffix = language == 1 ? QStringLiteral("en") : QStringLiteral("zh");
            View()->OnCommand(ID_INPUT_SOURCE);
            Save(View()->MusicInputDialog(),
                 QStringLiteral("music-source-%1-%2.png").arg(variant.name, suffix));
            if (variant.source == 11) {
                View()->OnCommand(ID_FEATURES);
                Save(View()->FeaturesDialog(), "features-" + suffix + ".png");
            }
        }
        TearDown();
        SetUp();
    }
}
