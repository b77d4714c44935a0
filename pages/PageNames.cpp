#include "pages/PageNames.h"

#include "controls/Localisation.h"
#include "pages/CHalvoxPage.h"

#include <algorithm>
#include <array>

namespace fx {
namespace {

struct PageTitle {
    int pageId;
    const char* chinese;
    const char* english;
};

constexpr std::array<PageTitle, 7> kPages{{
    {PAGE_MUSIC, "话筒与音乐输入", "Microphone and music input"},
    {PAGE_DELAY, "喇叭延时", "Speaker delay"},
    {PAGE_SURROUND, "环绕音量", "Surround volume"},
    {PAGE_COMPRESSOR, "压限器", "Compressor"},
    {PAGE_OUTPUT, "输出通道", "Output channels"},
    {PAGE_EFFECTS, "混响与回声均衡", "Reverb and echo EQ"},
    {PAGE_RECORDING, "录音输出", "Recording"},
}};

const PageTitle* FindPage(int pageId) {
    const auto it = std::find_if(kPages.begin(), kPages.end(),
                                 [pageId](const PageTitle& page) { return page.pageId == pageId; });
    return it == kPages.end() ? nullptr : &*it;
}

} // namespace

bool IsPageId(int pageId) {
    return FindPage(pageId) != nullptr;
}

std::vector<int> PageIds() {
    std::vector<int> ids;
    for (const PageTitle& page : kPages) ids.push_back(page.pageId);
    return ids;
}

QString PageName(int pageId) {
    const PageTitle* page = FindPage(pageId);
    return page ? Tr(page->chinese, page->english) : QString();
}

} // namespace fx
