#include "pages/PageArtwork.h"

// Outside any namespace: the registration function has a global name.
static void RegisterPageResources() {
    Q_INIT_RESOURCE(pages);
}

void InitPageArtwork() {
    static const bool registered = (RegisterPageResources(), true);
    (void)registered;
}

QString PageArtPath(const QString& name) {
    InitPageArtwork();
    return QStringLiteral(":/pages/") + name;
}

QImage PageArt(const QString& name) {
    return QImage(PageArtPath(name));
}
