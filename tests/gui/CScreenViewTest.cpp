#include "GuiTestSupport.h"

#include "app/ui/CScreenView.h"
#include "widgets/CArtwork.h"
#include "widgets/CLampPanel.h"

#include <gtest/gtest.h>

namespace {

class CCountingView : public CScreenView {
public:
    using CScreenView::CScreenView;
    int m_nRedraws = 0;

protected:
    void Redraw() override { ++m_nRedraws; }
};

int Lamp(const CScreenView& view, int lamp) {
    return view.Lamps()->GetBitmap(lamp);
}

} // namespace

TEST(ScreenView, LampsFollowTheHubAndTheCaptionItsStatus) {
    CTestScreenHost host;
    CCountingView view(host, 7);
    view.InitialUpdate();
    EXPECT_EQ(host.m_hub.GetScreen(), 7);
    EXPECT_EQ(Lamp(view, CLampPanel::LAMP_CONFIG), CArtwork::BMP_LAMP_RED);
    EXPECT_EQ(Lamp(view, CLampPanel::LAMP_STATE), CArtwork::BMP_LAMP_RED);
    EXPECT_EQ(host.m_strTitle, QStringLiteral("QUILLET"));

    LinkSettings settings;
    settings.m_nPort = 5020;
    host.m_hub.SetupLink(1, &settings);
    host.m_hub.SetLinkUp(true);
    const int before = view.m_nRedraws;
    view.OnLampTimer();
    EXPECT_EQ(Lamp(view, CLampPanel::LAMP_CONFIG), CArtwork::BMP_LAMP_GREEN);
    EXPECT_EQ(Lamp(view, CLampPanel::LAMP_STATE), CArtwork::BMP_LAMP_GREEN);
    EXPECT_EQ(host.m_strTitle,
              QStringLiteral("QUILLET , TCP SERVER설정: PORT:5020 , 접속자 수 : 0"));
    EXPECT_EQ(view.m_nRedraws, before + 1);
    view.OnLampTimer(); // same status: no repaint
    EXPECT_EQ(view.m_nRedraws, before + 1);
}

TEST(ScreenView, ABlockLightsItsLampForOneTickAndRepaintsWhenItGoesOut) {
    CTestScreenHost host;
    CCountingView view(host, 0);
    view.InitialUpdate();
    const int before = view.m_nRedraws;
    view.OnLinkReceived();
    view.OnLinkSent();
    view.OnBlinkTimer();
    EXPECT_EQ(Lamp(view, CLampPanel::LAMP_RX), CArtwork::BMP_LAMP_GREEN);
    EXPECT_EQ(Lamp(view, CLampPanel::LAMP_TX), CArtwork::BMP_LAMP_GREEN);
    view.OnBlinkTimer(); // RX goes out and ends the tick; TX waits for the next
    EXPECT_EQ(Lamp(view, CLampPanel::LAMP_RX), CArtwork::BMP_LAMP_GREY);
    EXPECT_EQ(Lamp(view, CLampPanel::LAMP_TX), CArtwork::BMP_LAMP_GREEN);
    EXPECT_EQ(view.m_nRedraws, before + 1);
    view.OnBlinkTimer();
    EXPECT_EQ(Lamp(view, CLampPanel::LAMP_TX), CArtwork::BMP_LAMP_GREY);
    EXPECT_EQ(view.m_nRedraws, before + 2);

    // Blocks that keep coming keep the lamp lit and the repaint waiting.
    for (int i = 0; i < 5; ++i) {
        view.OnLinkReceived();
        view.OnBlinkTimer();
        EXPECT_EQ(Lamp(view, CLampPanel::LAMP_RX), CArtwork::BMP_LAMP_GREEN);
    }
    EXPECT_EQ(view.m_nRedraws, before + 2);
}
