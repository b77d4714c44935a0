#include "tests/gui/GuiTestSupport.h"

#include "controls/Localisation.h"
#include "link/LinkState.h"
#include "link/NetLink.h"
#include "pages/CHalvoxPage.h"
#include "shell/CHalvoxView.h"
#include "shell/CNetConnectDlg.h"
#include "shell/CRibbonStatusBar.h"
#include "shell/CStatusBarPane.h"
#include "shell/RibbonIds.h"
#include "sim/SimTcpServer.h"
#include "state/DeviceMirrors.h"
#include "state/ParamImage.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include <cerrno>

namespace {
const QColor kGreen(0, 150, 0);
const QColor kRed(220, 0, 0);
} // namespace

using StatusBarTest = GuiFixture;

TEST_F(StatusBarTest, LinkPaneShowsTransportAndColour) {
    StartEditor(false);
    CRibbonStatusBar* bar = m_frame->StatusBar();
    EXPECT_EQ(QColor(255, 0, 0), CStatusBarPane(120, "x", 52, nullptr).TextColor()); // as made
    View()->UpdateStatusBar();
    EXPECT_EQ(QString::fromUtf8("未连接"), bar->LinkPane()->text());
    EXPECT_EQ(kRed, bar->LinkPane()->TextColor());

    m_usb->Plug();
    ASSERT_TRUE(WaitForRead());
    View()->UpdateStatusBar();
    EXPECT_EQ(QString::fromUtf8("USB：已连接"), bar->LinkPane()->text());
    EXPECT_EQ(kGreen, bar->LinkPane()->TextColor());

    g_CurrentMode() = 2;
    g_Language = 1;
    View()->UpdateStatusBar();
    EXPECT_EQ(QStringLiteral("USB:Connected"), bar->LinkPane()->text());
    EXPECT_EQ(QStringLiteral("Current Mode:M3"), bar->ModePane()->text());
    g_Language = 0;
    View()->UpdateStatusBar();
    EXPECT_EQ(QString::fromUtf8("当前模式:M3"), bar->ModePane()->text());
    EXPECT_TRUE(bar->OfflineNotice()->isHidden());

    // Once the processor is gone the mode pane names no mode of it, and the
    // editor says that edits stay in it.
    m_usb->Unplug();
    ASSERT_TRUE(WaitUntil([] { return !g_bConnected(); }));
    View()->UpdateStatusBar();
    EXPECT_EQ(QString::fromUtf8("当前模式:--"), bar->ModePane()->text());
    EXPECT_EQ(kRed, bar->LinkPane()->TextColor());
    EXPECT_FALSE(bar->OfflineNotice()->isHidden());
    EXPECT_TRUE(bar->OfflineNotice()->text().contains(QString::fromUtf8("离线编辑")));
    View()->ToggleLanguage();
    EXPECT_TRUE(bar->OfflineNotice()->text().startsWith(QStringLiteral("Editing offline")));
}

TEST_F(StatusBarTest, NetworkLinkFromTheConnectDialogShowsIpConnected) {
    SimProcessor netSim;
    SimTcpServer server(netSim);
    ASSERT_TRUE(server.Start(0));
    StartEditor(false);

    View()->OnCommand(ID_NET_CONNECT);
    CNetConnectDlg* dialog = View()->NetConnectDialog();
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(QStringLiteral("192.168.1.123"), dialog->AddressEdit()->text()); // shown, never used
    EXPECT_FALSE(dialog->PortEdit()->isHidden()); // the port can be changed
    EXPECT_EQ(QStringLiteral("30303"), dialog->PortEdit()->text());
    dialog->AddressEdit()->setText(QStringLiteral("127.0.0.1"));
    dialog->PortEdit()->setText(QString::number(server.Port()));
    dialog->OnConnect();

    ASSERT_TRUE(WaitForRead());
    EXPECT_TRUE(g_bNetMode());
    EXPECT_TRUE(netSim.WaitForCommand(48, 1000));
    View()->UpdateStatusBar();
    EXPECT_EQ(QString::fromUtf8("IP：已连接"), m_frame->StatusBar()->LinkPane()->text());
    EXPECT_EQ(kGreen, m_frame->StatusBar()->LinkPane()->TextColor());

    // The address and port are remembered for the next dialog.
    View()->CloseLink();
    View()->OnCommand(ID_NET_CONNECT);
    EXPECT_EQ(QStringLiteral("127.0.0.1"), View()->NetConnectDialog()->AddressEdit()->text());
    EXPECT_EQ(QString::number(server.Port()), View()->NetConnectDialog()->PortEdit()->text());
}

// A connect that fails says why in words, keeps the dialog for another try
// and leaves a working USB link as it was; nothing is dialled for an address
// or a port that is no such thing.
TEST_F(StatusBarTest, FailedConnectSaysWhyAndKeepsTheUsbLink) {
    SimProcessor netSim;
    int refusedPort = 0;
    {
        SimTcpServer server(netSim); // a port that was free a moment ago
        ASSERT_TRUE(server.Start(0));
        refusedPort = server.Port();
    }
    StartEditor();
    ASSERT_TRUE(WaitForRead());
    const struct {
        int language;
        const char* address;
        QString port;
        const char* says;
    } cases[] = {
        {0, "127.0.0.1", QString::number(refusedPort), "连接失败：连接被拒绝"},
        {1, "127.0.0.1", QString::number(refusedPort),
         "Connect failed: the connection was refused: nothing answers on that port."},
        {1, "127.0.0", QStringLiteral("30303"),
         "Connect failed: the address or the port is not valid."},
        {1, "127.0.0.1", QString(), "Connect failed: the address or the port is not valid."},
    };
    for (const auto& c : cases) {
        if (g_Language != c.language) View()->ToggleLanguage();
        View()->OnCommand(ID_NET_CONNECT);
        CNetConnectDlg* dialog = View()->NetConnectDialog();
        ASSERT_NE(nullptr, dialog);
        dialog->AddressEdit()->setText(QString::fromLatin1(c.address));
        dialog->PortEdit()->setText(c.port);
        dialog->OnConnect();
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_TRUE(dialog->MessageText().startsWith(QString::fromUtf8(c.says)))
            << dialog->MessageText().toStdString();
        EXPECT_FALSE(dialog->MessageText().contains(QString::number(ECONNREFUSED)));
        EXPECT_TRUE(g_bConnected());
        EXPECT_FALSE(g_bNetMode());
    }
    // The USB link still works: a change reaches the processor.
    m_sim->ClearCommandLog();
    SetDspParam(1, 14, 42);
    EXPECT_TRUE(WaitUntil([&] { return LastDspValue(1, 14) != 0xFFFFFFFFu; }));
}

TEST_F(StatusBarTest, EqShortcutsAreDisabledOnPagesWithoutEqualiser) {
    StartEditor(false);
    View()->ShowPage(PAGE_DELAY, 0);
    View()->UpdateStatusBar();
    EXPECT_FALSE(m_frame->StatusBar()->BypassBox()->isEnabled());
    EXPECT_FALSE(m_frame->StatusBar()->ResetButton()->isEnabled());
    EXPECT_EQ(QString::fromUtf8("均衡旁路"), m_frame->StatusBar()->BypassBox()->text());
    EXPECT_EQ(QString::fromUtf8("重置均衡"), m_frame->StatusBar()->ResetButton()->text());
}
