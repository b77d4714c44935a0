#pragma once

#include <QIcon>

// The ribbon's icons, drawn in code.
class CRibbonIcons {
public:
    // The installed application icon (hicolor theme, "fxtune"); drawn in
    // code when the editor runs uninstalled.
    static QIcon Application();
    static QIcon OpenFile();
    static QIcon SaveFile();
    static QIcon LoadMode();
    static QIcon StoreMode();
    static QIcon Exit();
    static QIcon Network();
    static QIcon Features();
    static QIcon InputSource();
    static QIcon Reset();
    static QIcon Remote();
    static QIcon Language();
    static QIcon About();
    static QIcon Information();
};
