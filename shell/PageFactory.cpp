#include "shell/PageFactory.h"

#include "pages/CCompDlg.h"
#include "pages/CDelayDlg.h"
#include "pages/CDialogEfx.h"
#include "pages/CDialogMusic.h"
#include "pages/CDialogOutput.h"
#include "pages/CDialogRec.h"
#include "pages/CPageNavigator.h"
#include "pages/CPlaceholderPage.h"
#include "pages/CSSVCDlg.h"
#include "shell/CHalvoxPage.h"
#include "shell/CHalvoxView.h"
#include "shell/Localisation.h"

bool IsPageId(int pageId) {
    switch (pageId) {
    case PAGE_MUSIC:
    case PAGE_DELAY:
    case PAGE_SURROUND:
    case PAGE_COMPRESSOR:
    case PAGE_OUTPUT:
    case PAGE_EFFECTS:
    case PAGE_RECORDING:
        return true;
    default:
        return false;
    }
}

QString PageName(int pageId) {
    switch (pageId) {
    case PAGE_MUSIC:
        return Tr("话筒与音乐输入", "Microphone and music input");
    case PAGE_DELAY:
        return Tr("喇叭延时", "Speaker delay");
    case PAGE_SURROUND:
        return Tr("环绕音量", "Surround volume");
    case PAGE_COMPRESSOR:
        return Tr("压限器", "Compressor");
    case PAGE_OUTPUT:
        return Tr("输出通道", "Output channels");
    case PAGE_EFFECTS:
        return Tr("混响与回声均衡", "Reverb and echo EQ");
    case PAGE_RECORDING:
        return Tr("录音输出", "Recording");
    default:
        return QString();
    }
}

CHalvoxPage* CreatePage(int pageId, int subPage, QWidget* parent) {
    if (!IsPageId(pageId)) return nullptr;
    const auto navigator = [parent] {
        return CPageNavigator::ForView(qobject_cast<CHalvoxView*>(parent));
    };
    if (pageId == PAGE_MUSIC) return new CDialogMusic(subPage, parent, navigator());
    if (pageId == PAGE_EFFECTS) return new CDialogEfx(subPage, parent, navigator());
    if (pageId == PAGE_COMPRESSOR) return new CCompDlg(parent, navigator());
    if (pageId == PAGE_OUTPUT) return new CDialogOutput(subPage, parent, navigator());
    if (pageId == PAGE_DELAY) return new CDelayDlg(parent, navigator());
    if (pageId == PAGE_SURROUND) return new CSSVCDlg(parent, navigator());
    if (pageId == PAGE_RECORDING) return new CDialogRec(parent, navigator());
    CHalvoxPage* page = new CPlaceholderPage(pageId, parent);
    page->SelectSubPage(subPage);
    return page;
}
