#include "app/CLinkHub.h"
#include "app/CTessaryDoc.h"
#include "app/IScreenSink.h"
#include "link/ILinkControl.h"
#include "link/LinkType.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records what the hub asks of the link; opens as told.
class FakeControl : public ILinkControl {
public:
    void CreateEndpoint(int kind) override { m_calls.push_back("create " + std::to_string(kind)); }
    bool OpenLink(LinkSettings* settings) override {
        m_calls.push_back("open");
        if (m_bOpens && m_pOwner)
            m_pOwner->SetLinkUp(true);
        if (!m_bOpens && m_pOwner && !m_strFailure.empty())
            m_pOwner->OnLinkFailed(m_strFailure);
        if (settings)
            settings->m_strNode = "00007F000001"; // as an IPX/SPX server reports itself
        return m_bOpens;
    }
    void CloseLink() override {
        m_calls.push_back("close");
        if (m_pOwner)
            m_pOwner->SetLinkUp(false);
    }
    bool Send(const std::uint8_t*, int count) override {
        m_sent.push_back(count);
        return m_bSends;
    }

    bool m_bOpens = true;
    bool m_bSends = true;
    std::string m_strFailure;
    ILinkOwner* m_pOwner = nullptr;
    std::vector<std::string> m_calls;
    std::vector<int> m_sent;
};

class FakeScreen : public IScreenSink {
public:
    void OnLinkSent() override { ++m_nSent; }
    void OnLinkReceived() override { ++m_nReceived; }
    void OnLinkData(const std::uint8_t*, int count) override { m_data.push_back(count); }

    int m_nSent = 0;
    int m_nReceived = 0;
    std::vector<int> m_data;
};

class Hub : public ::testing::Test {
protected:
    Hub() : m_hub(m_doc, &m_control, [this](const std::string& t) { m_messages.push_back(t); }) {
        m_control.m_pOwner = &m_hub;
        m_hub.SetActiveScreen(&m_screen);
    }

    void Traffic(int bytes = 10) {
        std::vector<std::uint8_t> block(static_cast<std::size_t>(bytes), 0x41);
        m_hub.SendToLink(block.data(), bytes);
        m_hub.DispatchReceived(block.data(), bytes);
    }

    CTessaryDoc m_doc;
    FakeControl m_control;
    FakeScreen m_screen;
    std::vector<std::string> m_messages;
    CLinkHub m_hub;
};

TEST_F(Hub, CaptureFollowsTheSwitchAndTheScreenShown) {
    // Stopped (the start state) on a PLC screen: the link and the screen get
    // everything, the capture nothing.
    m_hub.SetCurrentScreen(1);
    Traffic();
    EXPECT_EQ(m_doc.GetCount(), 0u);
    EXPECT_EQ(m_control.m_sent, std::vector<int>{10});
    EXPECT_EQ(m_screen.m_data, std::vector<int>{10});
    EXPECT_EQ(m_screen.m_nSent, 1);
    EXPECT_EQ(m_screen.m_nReceived, 1);

    // The analyzer records everything while it is shown.
    m_hub.SetCurrentScreen(0);
    Traffic();
    ASSERT_EQ(m_doc.GetCount(), 2u);
    EXPECT_EQ(m_doc.GetRecord(0).m_nDirection, 2);
    EXPECT_EQ(m_doc.GetRecord(1).m_nDirection, 1);
    EXPECT_EQ(m_screen.m_data.size(), 1u) << "the analyzer gets no data call";

    // Running: every screen's traffic is recorded.
    EXPECT_TRUE(m_hub.StartCapture());
    m_hub.SetCurrentScreen(7);
    Traffic();
    EXPECT_EQ(m_doc.GetCount(), 4u);
    m_hub.StopCapture();
    Traffic();
    EXPECT_EQ(m_doc.GetCount(), 4u);
}

TEST_F(Hub, TheFileScreenStopsCaptureForGood) {
    m_hub.SetCurrentScreen(8);
    EXPECT_FALSE(m_hub.StartCapture());
    EXPECT_EQ(m_messages, std::vector<std::string>{CLinkHub::kNoCaptureMessage});
    EXPECT_TRUE(m_hub.IsCaptureStopped());

    // Started elsewhere, then any traffic on the file screen stops it, and it
    // stays stopped on the chat screen.
    m_hub.SetCurrentScreen(1);
    EXPECT_TRUE(m_hub.StartCapture());
    m_hub.SetCurrentScreen(8);
    Traffic();
    EXPECT_TRUE(m_hub.IsCaptureStopped());
    EXPECT_EQ(m_doc.GetCount(), 0u);
    m_hub.SetCurrentScreen(9);
    Traffic();
    EXPECT_EQ(m_doc.GetCount(), 0u);
    EXPECT_EQ(m_screen.m_data.size(), 2u);
}

TEST_F(Hub, LongBlocksAreCapturedWholeAsRecordsOfAtMost4096Bytes) {
    struct Case {
        int screen; // the analyzer, or a PLC screen with capture running
        int bytes;
        std::vector<int> records;
    } cases[] = {
        {0, 4096, {4096}},
        {0, 4097, {4096, 1}},
        {1, 5000, {4096, 904}},
        {0, 16384, {4096, 4096, 4096, 4096}},
        {1,
         65507,
         {4096, 4096, 4096, 4096, 4096, 4096, 4096, 4096, 4096, 4096, 4096, 4096, 4096, 4096, 4096,
          4067}},
    };
    for (const Case& c : cases) {
        m_doc.Clear();
        m_hub.SetCurrentScreen(c.screen);
        ASSERT_TRUE(m_hub.StartCapture());
        std::vector<std::uint8_t> block(static_cast<std::size_t>(c.bytes));
        for (std::size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
        m_hub.SendToLink(block.data(), c.bytes);
        m_hub.DispatchReceived(block.data(), c.bytes);
        EXPECT_EQ(m_control.m_sent.back(), c.bytes) << "the link gets the block whole";
        if (c.screen != 0) {
            EXPECT_EQ(m_screen.m_data.back(), c.bytes) << "so does the screen";
        }

        ASSERT_EQ(m_doc.GetCount(), 2 * c.records.size()) << c.bytes;
        for (int direction : {TRAFFIC_TX, TRAFFIC_RX}) {
            std::vector<std::uint8_t> joined;
            std::vector<int> lengths;
            for (std::size_t i = 0; i < m_doc.GetCount(); ++i) {
                const TrafficRecord r = m_doc.GetRecord(i);
                if (r.m_nDirection != direction)
                    continue;
                lengths.push_back(r.m_nLength);
                joined.insert(joined.end(), r.m_pData, r.m_pData + r.m_nLength);
            }
            EXPECT_EQ(lengths, c.records) << c.bytes << " direction " << direction;
            EXPECT_EQ(joined, block) << c.bytes << " direction " << direction;
        }
        // Sent first, then received: the records of one block stay together.
        EXPECT_EQ(m_doc.GetRecord(c.records.size() - 1).m_nDirection, TRAFFIC_TX);
        EXPECT_EQ(m_doc.GetRecord(c.records.size()).m_nDirection, TRAFFIC_RX);
    }
}

TEST_F(Hub, ABlockTheLinkRefusesIsNotCapturedAndIsSaidOncePerRun) {
    m_hub.SetCurrentScreen(CLinkHub::SCREEN_ANALYZER);
    const std::uint8_t block[3] = {1, 2, 3};
    m_control.m_bSends = false;
    for (int i = 0; i < 3; ++i)
        m_hub.SendToLink(block, 3); // a poll that goes on sending
    EXPECT_EQ(m_doc.GetCount(), 0u);
    EXPECT_EQ(m_hub.GetUnsentBlocks(), 3);
    EXPECT_EQ(m_hub.GetUnsentBytes(), 9);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0], std::string(CLinkHub::kNotSentMessage) + "3바이트");
    EXPECT_EQ(m_screen.m_nSent, 3); // the TX lamp blinks for every try

    // Once a block goes out again, a later refusal is said again.
    m_control.m_bSends = true;
    m_hub.SendToLink(block, 3);
    EXPECT_EQ(m_doc.GetCount(), 1u);
    m_control.m_bSends = false;
    m_hub.SendToLink(block, 2);
    EXPECT_EQ(m_messages.size(), 2u);
    EXPECT_EQ(m_doc.GetCount(), 1u);
}

TEST_F(Hub, NothingIsDeliveredWhileNoScreenIsShown) {
    m_hub.SetCurrentScreen(CLinkHub::SCREEN_NONE);
    Traffic();
    EXPECT_EQ(m_screen.m_nSent + m_screen.m_nReceived, 0);
    EXPECT_TRUE(m_screen.m_data.empty());
    EXPECT_EQ(m_control.m_sent.size(), 1u) << "sending still reaches the link";
}

TEST_F(Hub, SetupLinkOpensConfirmedLinksAndWritesTheStatus) {
    LinkSettings chosen;
    chosen.m_nPort = 502;
    m_hub.SetupLink(LINK_TCP_SERVER, &chosen);
    EXPECT_EQ(m_control.m_calls, (std::vector<std::string>{"close", "create 1", "open"}));
    EXPECT_EQ(m_hub.GetLinkStatus(), " , TCP SERVER설정: PORT:502 , 접속자 수 : 0");
    EXPECT_TRUE(m_hub.IsLinkUp());
    EXPECT_TRUE(m_hub.IsLinkConfigured());
    EXPECT_EQ(m_hub.GetLinkKind(), LINK_TCP_SERVER);
    EXPECT_EQ(m_hub.GetSettings().m_nPort, 502);

    // What the link wrote into the settings while opening shows in the text.
    m_hub.SetupLink(LINK_IPX_SERVER, &chosen);
    EXPECT_EQ(m_hub.GetLinkStatus(),
              " , IPX SERVER설정: NETWORK:00000000 , NODE:00007F000001, SOCKET:2FFF ");

    m_control.m_bOpens = false;
    m_hub.SetupLink(LINK_SERIAL, &chosen);
    EXPECT_EQ(m_hub.GetLinkStatus(), " , RS-232C설정: 통신실패 ");
    EXPECT_FALSE(m_hub.IsLinkUp());
}

// The reason is shown with the link already in order: the status text says
// "통신실패" and the lamp is red while the box is up. A failure that comes
// later (a refused connect) is shown when it comes.
TEST_F(Hub, ALinkFailureIsShownOnceTheStatusTellsTheOutcome) {
    std::vector<std::string> seen;
    CLinkHub* hub = nullptr;
    CLinkHub watched(m_doc, &m_control, [&](const std::string& text) {
        seen.push_back(text + " | " + hub->GetLinkStatus() + (hub->IsLinkUp() ? "up" : "down"));
    });
    hub = &watched;
    m_control.m_pOwner = hub;
    m_control.m_bOpens = false;
    m_control.m_strFailure = "COM1 (/dev/ttyUSB0): No such file or directory";
    LinkSettings chosen;
    watched.SetupLink(LINK_SERIAL, &chosen);
    EXPECT_EQ(seen, std::vector<std::string>{"COM1 (/dev/ttyUSB0): No such file or directory | "
                                             " , RS-232C설정: 통신실패 down"});
    EXPECT_EQ(watched.GetLinkFailure(), m_control.m_strFailure);

    m_control.m_bOpens = true;
    watched.SetupLink(LINK_TCP_CLIENT, &chosen);
    EXPECT_EQ(watched.GetLinkFailure(), "");
    watched.SetLinkUp(false);
    watched.OnLinkFailed("localhost:120: Connection refused");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1], "localhost:120: Connection refused |  , TCP CLIENT설정: IP:localhost , "
                       "PORT:120 down");
}

TEST_F(Hub, ACancelledDialogMovesOnlyTheCheckMark) {
    LinkSettings chosen;
    m_hub.SetupLink(LINK_SERIAL, &chosen);
    const std::string status = m_hub.GetLinkStatus();
    m_control.m_calls.clear();

    m_hub.SetupLink(LINK_TCP_CLIENT, nullptr);
    EXPECT_TRUE(m_control.m_calls.empty());
    EXPECT_EQ(m_hub.GetLinkStatus(), status);
    EXPECT_TRUE(m_hub.IsLinkUp());
    EXPECT_EQ(m_hub.GetLinkKind(), LINK_TCP_CLIENT);

    // "통신 정지" closes but keeps the last text.
    m_hub.SetupLink(LINK_STOPPED, nullptr);
    EXPECT_EQ(m_control.m_calls, (std::vector<std::string>{"close", "create 6"}));
    EXPECT_FALSE(m_hub.IsLinkUp());
    EXPECT_EQ(m_hub.GetLinkStatus(), status);
    EXPECT_EQ(m_hub.GetLinkKind(), LINK_STOPPED);
}

} // namespace
