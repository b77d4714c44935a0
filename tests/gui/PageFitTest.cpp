#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/PageTestSupport.h"

#include "controls/CCompressPanelPlus.h"
#include "controls/CEqPanel.h"
#include "controls/CGridListCtrlEx.h"
#include "controls/ColorContrast.h"
#include "controls/Localisation.h"
#include "pages/CHalvoxPage.h"
#include "shell/CAboutDlg.h"
#include "shell/CCompareDlg.h"
#include "shell/CDlgMsgBox.h"
#include "shell/CHalvoxView.h"
#include "shell/CInfoDlg.h"
#include "shell/CMainFrame.h"
#include "shell/CRibbonStatusBar.h"
#include "shell/CSynDlg.h"
#include "shell/RibbonIds.h"
#include "state/PresetDiff.h"

#include <QAbstractButton>
#include <QDialog>
#include <QLabel>

#include <initializer_list>
#include <string>
#include <vector>

// The smallest window (1024 x 660, 1040 x 700 with its frame) holds every page and every dialog:
// each visible control lies inside its page or dialog, and no button or
// one-line label is narrower than its text, in both languages. A geometry
// check, so it names the control that does not fit.
namespace {
constexpr QSize kSmallest(CMainFrame::kMinWidth, CMainFrame::kMinHeight);

struct PageCase {
    int page;
    int subPage;
};

const PageCase kPages[] = {
    {PAGE_MUSIC, 0},    {PAGE_MUSIC, 1},      {PAGE_MUSIC, 2},     {PAGE_EFFECTS, 0},
    {PAGE_EFFECTS, 1},  {PAGE_EFFECTS, 2},    {PAGE_EFFECTS, 3},   {PAGE_OUTPUT, 0},
    {PAGE_OUTPUT, 5},   {PAGE_COMPRESSOR, 0}, {PAGE_RECORDING, 0}, {PAGE_DELAY, 0},
    {PAGE_SURROUND, 0},
};

QString Describe(const QWidget* widget) {
    QString text;
    if (auto* button = qobject_cast<const QAbstractButton*>(widget)) text = button->text();
    if (auto* label = qobject_cast<const QLabel*>(widget)) text = label->text();
    return QStringLiteral("%1 %2 \"%3\"")
        .arg(QString::fromLatin1(widget->metaObject()->className()))
        .arg(CtrlId(widget))
        .arg(text);
}

// A text control whose text needs more width than it has (word-wrapped
// labels and pictures wrap or scale instead).
bool TextCut(const QWidget* widget) {
    if (auto* button = qobject_cast<const QAbstractButton*>(widget))
        return !button->text().isEmpty() && button->sizeHint().width() > button->width();
    if (auto* label = qobject_cast<const QLabel*>(widget))
        return !label->text().isEmpty() && !label->wordWrap() && label->pixmap().isNull() &&
               label->minimumSizeHint().width() > label->width();
    return false;
}

// What does not fit in the container, one line per control.
std::vector<std::string> Misfits(QWidget* container, const QString& where) {
    std::vector<std::string> misfits;
    for (QWidget* widget : container->findChildren<QWidget*>()) {
        if (widget->isWindow() || !widget->isVisibleTo(container)) continue;
        const QRect area(widget->mapTo(container, QPoint(0, 0)), widget->size());
        if (!container->rect().contains(area))
            misfits.push_back((where + QStringLiteral(": outside: ") + Describe(widget) +
                               QStringLiteral(" at %1,%2 %3x%4 in %5x%6")
                                   .arg(area.x())
                                   .arg(area.y())
                                   .arg(area.width())
                                   .arg(area.height())
                                   .arg(container->width())
                                   .arg(container->height()))
                                  .toStdString());
        else if (TextCut(widget))
            misfits.push_back(
                (where + QStringLiteral(": text cut: ") + Describe(widget)).toStdString());
    }
    return misfits;
}

class PageFitTest : public GuiFixture {
protected:
    void SetUp() override {
        GuiFixture::SetUp();
        StartEditor();
        ASSERT_TRUE(WaitForRead());
        m_frame->resize(kSmallest);
        Pump(50);
        ASSERT_EQ(kSmallest, m_frame->size());
    }
};
} // namespace

TEST_F(PageFitTest, EveryPageFitsTheSmallestWindowInBothLanguages) {
    std::vector<std::string> misfits;
    for (int language : {0, 1}) {
        if (g_Language != language) View()->ToggleLanguage();
        for (const PageCase& c : kPages) {
            View()->ShowPage(c.page, c.subPage);
            Pump(20);
            CHalvoxPage* page = View()->CurrentPage();
            ASSERT_NE(nullptr, page);
            const QString where = QStringLiteral("%1/%2 %3")
                                      .arg(c.page)
                                      .arg(c.subPage)
                                      .arg(language == 1 ? "en" : "zh");
            EXPECT_TRUE(View()->rect().contains(QRect(page->pos(), page->size())))
                << where.toStdString();
            for (const std::string& misfit : Misfits(page, where)) misfits.push_back(misfit);
            // With a band selected the band editor takes the band list's place.
            if (auto* graph = page->findChild<CEqPanel*>()) {
                Click(graph, graph->HandleCentre(0));
                Pump(20);
                for (const std::string& misfit : Misfits(page, where + QStringLiteral(" band")))
                    misfits.push_back(misfit);
            }
        }
    }
    for (const std::string& misfit : misfits) ADD_FAILURE() << misfit;
}

TEST_F(PageFitTest, ToolDialogsFitTheSmallestScreenInBothLanguages) {
    std::vector<std::string> misfits;
    for (int language : {0, 1}) {
        if (g_Language != language) View()->ToggleLanguage();
        View()->OpenFeatures();
        View()->OpenMusicInput();
        View()->OpenMachineSettings();
        View()->OpenRemoteLearning();
        View()->OnCommand(ID_NET_CONNECT);
        Pump(50);
        std::vector<QDialog*> dialogs = VisibleWindows<QDialog>();
        EXPECT_EQ(5u, dialogs.size());
        CAboutDlg about(m_frame);
        // "Compare with file…" with a few differences of several kinds.
        std::vector<uint8_t> file = fx::EditedImage();
        for (int offset : {0, 40, 400, 1200, 2400, 3000}) file[size_t(offset)] ^= 0x5A;
        const std::vector<uint8_t> now = fx::EditedImage();
        CCompareDlg compare(m_frame, QStringLiteral("A rather long mode file name.mode"),
                            fx::DiffImages(file.data(), now.data(), g_Language));
        CDlgMsgBox ask(
            Tr("机器上的参数与编辑器不同，请选择", "The processor differs from the editor"),
            Tr("读取", "Read"), Tr("写入", "Write"), m_frame);
        for (QDialog* dialog : std::initializer_list<QDialog*>{&about, &compare, &ask}) {
            dialog->show();
            dialogs.push_back(dialog);
        }
        CInfoDlg::ShowInfo(Tr("主机已连接其他设备，请先断开!", "Host is connected!"), 60000);
        CSynDlg::ShowSyncDialog(QString());
        Pump(20);
        ASSERT_NE(nullptr, CInfoDlg::Current());
        ASSERT_NE(nullptr, CSynDlg::Current());
        dialogs.push_back(CInfoDlg::Current());
        dialogs.push_back(CSynDlg::Current());
        for (QDialog* dialog : dialogs) {
            const QString where =
                QStringLiteral("%1 %2").arg(QString::fromLatin1(dialog->metaObject()->className()),
                                            language == 1 ? "en" : "zh");
            EXPECT_LE(dialog->width(), kSmallest.width()) << where.toStdString();
            EXPECT_LE(dialog->height(), kSmallest.height()) << where.toStdString();
            for (const std::string& misfit : Misfits(dialog, where)) misfits.push_back(misfit);
        }
        for (QDialog* dialog : std::initializer_list<QDialog*>{&about, &compare, &ask})
            dialog->close();
        CSynDlg::CloseSyncDialog();
        CloseStrayWindows();
    }
    for (const std::string& misfit : misfits) ADD_FAILURE() << misfit;
}

// Without a processor the status bar shows the offline notice and the
// disconnect notice beside its panes; Bypass and Reset EQ stay inside.
TEST_F(PageFitTest, TheStatusBarOfflineFitsTheSmallestWindowInBothLanguages) {
    m_usb->Unplug();
    CRibbonStatusBar* bar = m_frame->StatusBar();
    ASSERT_TRUE(WaitUntil([&] {
        View()->UpdateStatusBar();
        return !bar->OfflineNotice()->isHidden() && !bar->NoticeText().isEmpty();
    }));
    std::vector<std::string> misfits;
    for (int language : {0, 1}) {
        if (g_Language != language) View()->ToggleLanguage();
        View()->UpdateStatusBar();
        Pump(20);
        const QString where = QStringLiteral("status bar %1").arg(language == 1 ? "en" : "zh");
        EXPECT_TRUE(m_frame->rect().contains(QRect(bar->pos(), bar->size())))
            << where.toStdString();
        for (const std::string& misfit : Misfits(bar, where)) misfits.push_back(misfit);
    }
    for (const std::string& misfit : misfits) ADD_FAILURE() << misfit;
}

// At the smallest window and a common laptop one, nothing on a page runs
// closer to its right edge than the page keeps on its left, and the
// compressor page's scale labels stay apart and inside the curve.
TEST_F(PageFitTest, EveryPageKeepsItsLeftMarginOnTheRightAtTwoSizes) {
    for (const QSize& size : {kSmallest, QSize(1280, 800)}) {
        m_frame->resize(size);
        Pump(50);
        for (int language : {0, 1}) {
            if (g_Language != language) View()->ToggleLanguage();
            for (const PageCase& c : kPages) {
                View()->ShowPage(c.page, c.subPage);
                Pump(20);
                CHalvoxPage* page = View()->CurrentPage();
                const std::string where = std::to_string(c.page) + "/" + std::to_string(c.subPage) +
                                          " " + std::to_string(size.width()) +
                                          (language ? " en" : " zh");
                int left = page->width();
                int right = 0;
                QWidget* rightmost = nullptr;
                for (QWidget* widget : page->findChildren<QWidget*>()) {
                    if (widget->isWindow() || !widget->isVisibleTo(page) ||
                        widget->parentWidget() != page)
                        continue;
                    left = std::min(left, widget->x());
                    if (widget->geometry().right() + 1 > right) {
                        right = widget->geometry().right() + 1;
                        rightmost = widget;
                    }
                }
                ASSERT_NE(nullptr, rightmost) << where;
                EXPECT_GE(page->width() - right, left)
                    << where << ": " << Describe(rightmost).toStdString() << " runs to " << right
                    << " of " << page->width() << ", the left margin is " << left;
                if (auto* curve = page->findChild<CCompressPanelPlus*>()) {
                    const auto labels = curve->AxisLabels();
                    for (size_t i = 0; i < labels.size(); ++i) {
                        EXPECT_TRUE(QRectF(curve->rect()).contains(labels[i].ink))
                            << where << " " << labels[i].text.toStdString();
                        for (size_t j = i + 1; j < labels.size(); ++j)
                            EXPECT_FALSE(labels[i].ink.intersects(labels[j].ink))
                                << where << " " << labels[i].text.toStdString() << " / "
                                << labels[j].text.toStdString();
                    }
                }
            }
        }
    }
}

// The compressor page spends its width: the settings beside the curve grow
// with the window, and the curve keeps to the page's height.
TEST_F(PageFitTest, TheCompressorPageUsesItsWidth) {
    for (const QSize& size : {kSmallest, QSize(1280, 800)}) {
        m_frame->resize(size);
        Pump(50);
        View()->ShowPage(PAGE_COMPRESSOR, 0);
        Pump(20);
        CHalvoxPage* page = View()->CurrentPage();
        auto* curve = page->findChild<CCompressPanelPlus*>();
        ASSERT_NE(nullptr, curve);
        const int unused = page->width() - curve->geometry().right() - 1;
        EXPECT_LE(unused, page->width() / 10) << size.width();
        EXPECT_GE(curve->geometry().bottom(), page->height() - 20) << size.width();
    }
}

// Every list on every page reads: each row's colour on the list's background
// at 4.5:1 or better.
TEST_F(PageFitTest, EveryListReadsOnItsBackground) {
    for (const PageCase& c : kPages) {
        View()->ShowPage(c.page, c.subPage);
        Pump(20);
        for (CGridListCtrlEx* list : View()->CurrentPage()->findChildren<CGridListCtrlEx*>())
            for (int row = 0; row < list->rowCount(); ++row)
                EXPECT_GE(ContrastRatio(list->RowTextColor(row), list->BackgroundColor()), 4.5)
                    << c.page << "/" << c.subPage << " list " << CtrlId(list) << " row " << row;
    }
}
