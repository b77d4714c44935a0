#include "pages/CPageNavigator.h"

#include "shell/CHalvoxPage.h"
#include "shell/CHalvoxView.h"

#include <QMetaObject>
#include <QPointer>

CPageNavigator::CPageNavigator(ShowFn show, LastMusicFn lastMusicSubPage)
    : m_show(std::move(show)), m_lastMusicSubPage(std::move(lastMusicSubPage)) {}

CPageNavigator CPageNavigator::ForView(CHalvoxView* view) {
    if (!view) return {};
    QPointer<CHalvoxView> target(view);
    return CPageNavigator(
        [target](int pageId, int subPage) {
            if (!target) return;
            QMetaObject::invokeMethod(
                target.data(),
                [target, pageId, subPage] {
                    if (target) target->ShowPage(pageId, subPage);
                },
                Qt::QueuedConnection);
        },
        [target] { return target ? target->LastMusicSubPage() : 0; });
}

void CPageNavigator::ShowPage(int pageId, int subPage) const {
    if (m_show) m_show(pageId, subPage);
}

void CPageNavigator::BackToMusic() const {
    ShowPage(PAGE_MUSIC, m_lastMusicSubPage ? m_lastMusicSubPage() : 0);
}
