#include "pages/CPageNavigator.h"

#include "pages/CHalvoxPage.h"
#include "pages/IPageHost.h"

#include <QMetaObject>
#include <QPointer>

CPageNavigator::CPageNavigator(ShowFn show, LastMusicFn lastMusicSubPage)
    : m_show(std::move(show)), m_lastMusicSubPage(std::move(lastMusicSubPage)) {}

CPageNavigator CPageNavigator::ForHost(QWidget* host) {
    auto* pageHost = dynamic_cast<fx::IPageHost*>(host);
    if (!pageHost) return {};
    // The host lives as long as its widget does.
    QPointer<QWidget> target(host);
    return CPageNavigator(
        [target, pageHost](int pageId, int subPage) {
            if (!target) return;
            QMetaObject::invokeMethod(
                target.data(),
                [target, pageHost, pageId, subPage] {
                    if (target) pageHost->ShowPage(pageId, subPage);
                },
                Qt::QueuedConnection);
        },
        [target, pageHost] { return target ? pageHost->LastMusicSubPage() : 0; });
}

void CPageNavigator::ShowPage(int pageId, int subPage) const {
    if (m_show) m_show(pageId, subPage);
}

void CPageNavigator::BackToMusic() const {
    ShowPage(PAGE_MUSIC, m_lastMusicSubPage ? m_lastMusicSubPage() : 0);
}
