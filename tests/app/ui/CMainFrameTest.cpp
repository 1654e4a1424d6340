#include "GuiTestSupport.h"
#include "TestFiles.h"

#include "app/CAlrFile.h"
#include "app/CQSettingsStore.h"
#include "app/CSafeFile.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/CScreenFactory.h"
#include "app/ui/CScreenView.h"
#include "plc/CPlcSettingsFile.h"
#include "plc/ui/CComYaskawaView.h"
#include "plc/ui/CMemoryTreeModel.h"
#include "plc/ui/CRequestGrid.h"
#include "widgets/CArtwork.h"
#include "widgets/CLampPanel.h"
#include "widgets/CQtKorean.h"

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <QUrl>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace {

// A screen that records what the hub hands it.
class CFakeScreen : public CScreenView {
public:
    CFakeScreen(IScreenHost& host, int screen, QWidget* parent)
        : CScreenView(host, screen, parent) {}
    void OnLinkData(const std::uint8_t* bytes, int count) override {
        m_received.emplace_back(bytes, bytes + count);
    }
    void InitialUpdate() override {
        CScreenView::InitialUpdate();
        ++m_nInitialUpdates;
    }
    std::vector<std::vector<std::uint8_t>> m_received;
    int m_nInitialUpdates = 0;
};

// The frame over a settings file of its own, with fake screens 0 (analyzer),
// 1 (a PLC screen), 8 (file transfer) and 9 (chat) and no others.
class MainFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int screen = 0; screen <= 9; ++screen)
            CScreenFactory::Unregister(screen);
        for (int screen : {0, 1, 8, 9})
            CScreenFactory::Register(screen, [screen](IScreenHost& host, QWidget* parent) {
                return new CFakeScreen(host, screen, parent);
            });
    }
    void TearDown() override {
        m_pFrame.reset();
        m_pStore.reset();
        for (int screen = 0; screen <= 9; ++screen)
            CScreenFactory::Unregister(screen);
    }

    QString IniPath() const { return QString::fromStdString((m_dir / "QUILLET.ini").string()); }

    void WriteSetting(const QString& key, const QVariant& value) {
        QSettings ini(IniPath(), QSettings::IniFormat);
        ini.setValue(QStringLiteral("SETTING/") + key, value);
    }
    QVariant ReadSetting(const QString& key) const {
        QSettings ini(IniPath(), QSettings::IniFormat);
        return ini.value(QStringLiteral("SETTING/") + key);
    }

    CMainFrame& Start() {
        m_pFrame.reset();
        m_pStore = std::make_unique<CQSettingsStore>(IniPath());
        CProgramSettings settings;
        settings.Load(*m_pStore);
        m_pFrame = std::make_unique<CMainFrame>(settings, *m_pStore);
        m_pFrame->show();
        return *m_pFrame;
    }
    CFakeScreen* Screen() const { return static_cast<CFakeScreen*>(m_pFrame->Screen()); }
    bool Checked(int id) const { return m_pFrame->Action(id)->isChecked(); }
    void Exit() {
        m_pFrame->close();
        m_pStore->Sync();
    }

    TempDir m_dir;
    CMessageRecorder m_messages;
    std::unique_ptr<CQSettingsStore> m_pStore;
    std::unique_ptr<CMainFrame> m_pFrame;
};

int FreeTcpPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

constexpr int kLinkSerial = CMainFrame::ID_LINK_FIRST + 0;
constexpr int kLinkStopped = CMainFrame::ID_LINK_FIRST + 6;
constexpr int kLinkTcpServer = CMainFrame::ID_LINK_FIRST + 1;
constexpr int kLinkTcpClient = CMainFrame::ID_LINK_FIRST + 2;

} // namespace

TEST_F(MainFrameTest, FirstRunOpensTheAnalyzerWithTheDefaults) {
    CMainFrame& frame = Start();
    EXPECT_EQ(frame.size(), QSize(CMainFrame::WIDTH, CMainFrame::HEIGHT));
    EXPECT_EQ(frame.minimumSize(), frame.maximumSize());
    ASSERT_NE(frame.Screen(), nullptr);
    EXPECT_EQ(frame.Screen()->GetScreenId(), 0);
    EXPECT_EQ(frame.Hub().GetScreen(), 0);
    EXPECT_TRUE(Checked(CMainFrame::ID_SCREEN_FIRST));
    for (int kind = 0; kind <= 6; ++kind)
        EXPECT_EQ(Checked(CMainFrame::ID_LINK_FIRST + kind), kind == 6) << kind;
    EXPECT_EQ(frame.Hub().GetSettings(), LinkSettings{});
    EXPECT_EQ(frame.Hub().GetSettings().m_strEnv, "1,9600,N,8,1,0,0");
    EXPECT_EQ(frame.Hub().GetSettings().m_strSocket, "2FFF");
    EXPECT_FALSE(frame.Hub().IsLinkUp());
    EXPECT_EQ(frame.Screen()->Lamps()->GetBitmap(CLampPanel::LAMP_CONFIG), CArtwork::BMP_LAMP_RED);
    EXPECT_EQ(frame.Screen()->Lamps()->GetBitmap(CLampPanel::LAMP_STATE), CArtwork::BMP_LAMP_RED);
    EXPECT_TRUE(frame.Action(CMainFrame::ID_CAPTURE_START)->isEnabled());
    EXPECT_FALSE(frame.Action(CMainFrame::ID_CAPTURE_STOP)->isEnabled());
    EXPECT_TRUE(Checked(CMainFrame::ID_LAYER_NORMAL));
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("QUILLET - Analyzer"));
    // Screens that do not exist yet keep their entries, disabled.
    EXPECT_FALSE(frame.Action(CMainFrame::ID_SCREEN_FIRST + 2)->isEnabled());
    EXPECT_TRUE(frame.Action(CMainFrame::ID_SCREEN_FIRST + 9)->isEnabled());
}

TEST_F(MainFrameTest, TheStartScreenComesFromScreenChoose) {
    struct Case {
        int m_nStored;
        int m_nShown;
    } cases[] = {{9, 9}, {42, 0}, {-1, 0}, {2, 0}, {1, 1}};
    for (const Case& c : cases) {
        WriteSetting(QStringLiteral("SCREENCHOOSE"), c.m_nStored);
        CMainFrame& frame = Start();
        EXPECT_EQ(frame.Screen()->GetScreenId(), c.m_nShown) << c.m_nStored;
        EXPECT_EQ(frame.Hub().GetScreen(), c.m_nShown) << c.m_nStored;
    }
}

TEST_F(MainFrameTest, CaptureFollowsTheScreensAndTheSwitch) {
    CMainFrame& frame = Start();
    CTessaryDoc& doc = frame.Doc();
    ASSERT_TRUE(frame.SwitchScreen(1));
    const std::uint8_t block[] = {0x01, 0x03, 0x02};
    frame.Hub().SendToLink(block, 3);
    // No link is open: the block did not go out, and that is said.
    ASSERT_EQ(m_messages.m_messages.size(), 1u);
    EXPECT_TRUE(m_messages.m_messages[0].m_strText.startsWith(
        QString::fromUtf8(CLinkHub::kNotSentMessage)));
    m_messages.m_messages.clear();
    frame.Hub().DispatchReceived(block, 3);
    EXPECT_EQ(doc.GetCount(), 0u); // capture stopped: nothing recorded
    EXPECT_EQ(Screen()->m_received.size(), 1u);

    ASSERT_TRUE(frame.SwitchScreen(0));
    frame.Hub().DispatchReceived(block, 3);
    EXPECT_EQ(doc.GetCount(), 1u); // the analyzer records everything

    // Started on the file screen: refused with the message, and it stays
    // stopped on the chat screen after.
    frame.OnCommand(CMainFrame::ID_SCREEN_FIRST + 8);
    frame.OnCommand(CMainFrame::ID_CAPTURE_START);
    ASSERT_EQ(m_messages.m_messages.size(), 1u);
    EXPECT_EQ(m_messages.m_messages[0].m_strText,
              QStringLiteral("파일 전송시에는 프로토콜 내용을 저장할 수 없습니다."));
    frame.OnCommand(CMainFrame::ID_SCREEN_FIRST + 9);
    EXPECT_TRUE(frame.Action(CMainFrame::ID_CAPTURE_START)->isEnabled());
    frame.Hub().DispatchReceived(block, 3);
    EXPECT_EQ(doc.GetCount(), 1u);

    // Started on the chat screen, every block is kept; a 5000-byte block
    // reaches the screen whole and is kept as records of 4096 and 904 bytes.
    frame.OnCommand(CMainFrame::ID_CAPTURE_START);
    EXPECT_FALSE(frame.Action(CMainFrame::ID_CAPTURE_START)->isEnabled());
    EXPECT_TRUE(frame.Action(CMainFrame::ID_CAPTURE_STOP)->isEnabled());
    frame.Hub().DispatchReceived(block, 3);
    std::vector<std::uint8_t> big(5000, 0x55);
    frame.Hub().DispatchReceived(big.data(), 5000);
    ASSERT_EQ(doc.GetCount(), 4u);
    EXPECT_EQ(doc.GetRecord(2).m_nLength, 4096);
    EXPECT_EQ(doc.GetRecord(3).m_nLength, 904);
    ASSERT_EQ(Screen()->m_received.size(), 3u);
    EXPECT_EQ(Screen()->m_received[2].size(), 5000u);
    frame.OnCommand(CMainFrame::ID_CAPTURE_STOP);
    EXPECT_TRUE(frame.Hub().IsCaptureStopped());

    frame.OnCommand(CMainFrame::ID_CLEAR);
    EXPECT_EQ(doc.GetCount(), 0u);
}

TEST_F(MainFrameTest, ChoosingTheScreenShownKeepsItAndNewStartsItOver) {
    CMainFrame& frame = Start();
    CScreenView* shown = frame.Screen();
    frame.OnCommand(CMainFrame::ID_SCREEN_FIRST);
    EXPECT_EQ(frame.Screen(), shown);
    EXPECT_EQ(Screen()->m_nInitialUpdates, 1);
    // Disabled entries do nothing even when run.
    frame.OnCommand(CMainFrame::ID_SCREEN_FIRST + 3);
    EXPECT_EQ(frame.Screen(), shown);

    const std::uint8_t block[] = {0x41};
    frame.Hub().DispatchReceived(block, 1);
    frame.OnCommand(CMainFrame::ID_FILE_NEW); // Ctrl+N
    EXPECT_EQ(Screen()->m_nInitialUpdates, 2);
    EXPECT_EQ(frame.Doc().GetCount(), 1u);
}

TEST_F(MainFrameTest, LinkSetupMovesTheCheckMarkEvenWhenCancelled) {
    CMainFrame& frame = Start();
    // A TCP server on a port free right now.
    const int port = FreeTcpPort();
    frame.SetLinkDialog([port](int kind, LinkSettings& values) {
        if (kind != 1)
            return false;
        values.m_nPort = port;
        return true;
    });
    frame.OnCommand(kLinkTcpServer);
    EXPECT_TRUE(Checked(kLinkTcpServer));
    EXPECT_TRUE(frame.Hub().IsLinkUp());
    const std::string status = frame.Hub().GetLinkStatus();
    EXPECT_EQ(status, " , TCP SERVER설정: PORT:" + std::to_string(port) + " , 접속자 수 : 0");
    EXPECT_EQ(Screen()->Lamps()->GetBitmap(CLampPanel::LAMP_CONFIG), CArtwork::BMP_LAMP_GREEN);
    EXPECT_EQ(Screen()->Lamps()->GetBitmap(CLampPanel::LAMP_STATE), CArtwork::BMP_LAMP_GREEN);

    // Cancelled: the server stays, with its text; the mark moves.
    frame.OnCommand(kLinkTcpClient);
    EXPECT_TRUE(Checked(kLinkTcpClient));
    EXPECT_FALSE(Checked(kLinkTcpServer));
    EXPECT_TRUE(frame.Hub().IsLinkUp());
    EXPECT_EQ(frame.Hub().GetLinkStatus(), status);
    EXPECT_EQ(frame.Hub().GetLinkKind(), 2);

    // "통신 정지": the link closes, the caption keeps the last text.
    frame.OnCommand(kLinkStopped);
    EXPECT_FALSE(frame.Hub().IsLinkUp());
    EXPECT_EQ(frame.Hub().GetLinkStatus(), status);
    EXPECT_EQ(Screen()->Lamps()->GetBitmap(CLampPanel::LAMP_STATE), CArtwork::BMP_LAMP_RED);
    EXPECT_TRUE(frame.windowTitle().startsWith(QStringLiteral("QUILLET , TCP SERVER설정")));
}

// A failed link is told in a box with the port or host and the system's
// reason; while the box is up the caption carries the status text and the
// lamp is red. A refused connect is told when it arrives, after the open.
TEST_F(MainFrameTest, ALinkFailureIsToldWithItsReasonBesideTheCaptionsStatus) {
    CMainFrame& frame = Start();
    struct Shown {
        QString m_strText, m_strCaption;
        int m_nLamp;
    };
    std::vector<Shown> shown;
    CMessageBox::SetHook([&](const QString& title, const QString& text) {
        EXPECT_EQ(title, QStringLiteral("QUILLET"));
        shown.push_back(
            {text, frame.windowTitle(), Screen()->Lamps()->GetBitmap(CLampPanel::LAMP_STATE)});
    });
    const int port = FreeTcpPort();
    frame.Ports().SetOverride(1, QStringLiteral("/dev/quillet-absent"));
    frame.SetLinkDialog([port](int kind, LinkSettings& values) {
        values.m_strEnv = "1,9600,N,8,1,0,0";
        values.m_strIp = "127.0.0.1";
        values.m_nPort = port;
        return kind == 0 || kind == 2;
    });

    frame.OnCommand(kLinkSerial);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].m_strText,
              QStringLiteral("COM1 (/dev/quillet-absent): No such file or directory"));
    EXPECT_TRUE(shown[0].m_strCaption.contains(QStringLiteral("RS-232C설정: 통신실패")))
        << shown[0].m_strCaption.toStdString();
    EXPECT_EQ(shown[0].m_nLamp, CArtwork::BMP_LAMP_RED);

    frame.OnCommand(kLinkTcpClient);
    EXPECT_EQ(shown.size(), 1u) << "the refusal comes after the open";
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown.size() == 2; }, 5000));
    const QString where = QStringLiteral("127.0.0.1:%1").arg(port);
    EXPECT_EQ(shown[1].m_strText, where + QStringLiteral(": Connection refused"));
    EXPECT_TRUE(shown[1].m_strCaption.contains(QStringLiteral("IP:127.0.0.1 , PORT:%1").arg(port)))
        << shown[1].m_strCaption.toStdString();
    EXPECT_EQ(shown[1].m_nLamp, CArtwork::BMP_LAMP_RED);
    EXPECT_FALSE(frame.Hub().IsLinkUp());
    CMessageBox::SetHook([](const QString&, const QString&) {}); // shown goes now
}

TEST_F(MainFrameTest, ExitStoresTheTenKeysAndTheNextStartOpensNoLink) {
    QTcpServer peer;
    ASSERT_TRUE(peer.listen(QHostAddress::LocalHost));
    CMainFrame& frame = Start();
    frame.SetLinkDialog([&](int, LinkSettings& values) {
        values.m_strIp = "127.0.0.1";
        values.m_nPort = peer.serverPort();
        return true;
    });
    frame.OnCommand(kLinkTcpClient);
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame.Hub().IsLinkUp(); }, 5000));
    frame.OnCommand(CMainFrame::ID_SCREEN_FIRST + 9);
    Exit();
    EXPECT_EQ(frame.Hub().GetScreen(), CLinkHub::SCREEN_NONE);

    EXPECT_EQ(ReadSetting(QStringLiteral("COMCONNECT")).toInt(), 1);
    EXPECT_EQ(ReadSetting(QStringLiteral("COMCHOOSE")).toInt(), 2);
    EXPECT_EQ(ReadSetting(QStringLiteral("SCREENCHOOSE")).toInt(), 9);
    EXPECT_EQ(ReadSetting(QStringLiteral("PORT")).toInt(), peer.serverPort());
    EXPECT_EQ(ReadSetting(QStringLiteral("IP")).toString(), QStringLiteral("127.0.0.1"));
    for (const char* key : {"UDPORT", "ENV", "NETWORK", "NODE", "SOCKET"})
        EXPECT_TRUE(ReadSetting(QString::fromLatin1(key)).isValid()) << key;

    CMainFrame& again = Start();
    EXPECT_FALSE(again.Hub().IsLinkUp());
    EXPECT_TRUE(Checked(kLinkTcpClient));
    EXPECT_EQ(again.Screen()->GetScreenId(), 9);
    EXPECT_EQ(again.Hub().GetSettings().m_strIp, "127.0.0.1");
}

TEST_F(MainFrameTest, CaptureFilesOpenSaveAndDrop) {
    CMainFrame& frame = Start();
    const std::uint8_t ab[] = {0x41, 0x42};
    const std::uint8_t ack[] = {0x06};

    // Save with no name asks for one and adds the extension.
    frame.Doc().AddRecord(TRAFFIC_TX, ab, 2);
    frame.Doc().AddRecord(TRAFFIC_RX, ack, 1);
    int asked = 0;
    const QString saved = QString::fromStdString((m_dir / "log").string());
    frame.SetSavePathDialog([&] {
        ++asked;
        return saved;
    });
    frame.OnCommand(CMainFrame::ID_FILE_SAVE);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(ReadFile(m_dir / "log.alr").size(), 23u);
    EXPECT_EQ(frame.GetDocumentPath(), saved + QStringLiteral(".alr"));
    frame.OnCommand(CMainFrame::ID_FILE_SAVE); // named now: no question
    EXPECT_EQ(asked, 1);

    // The open command appends ".ALR" and replaces the records, keeping the
    // document's name.
    {
        CTessaryDoc other;
        other.AddRecord(TRAFFIC_RX, ack, 1);
        std::string error;
        ASSERT_TRUE(CAlrFile::Store(other, m_dir / "other.ALR", error));
    }
    frame.SetOpenPathDialog([&] { return QString::fromStdString((m_dir / "other").string()); });
    frame.OnCommand(CMainFrame::ID_FILE_OPEN);
    EXPECT_EQ(frame.Doc().GetCount(), 1u);
    EXPECT_EQ(frame.GetDocumentPath(), saved + QStringLiteral(".alr"));

    // A damaged file: the message, and the records read before it stay.
    std::string damaged = ReadFile(m_dir / "log.alr");
    damaged.resize(damaged.size() - 1);
    ASSERT_TRUE(CSafeFile::WriteAll(m_dir / "cut.ALR", damaged));
    frame.SetOpenPathDialog([&] { return QString::fromStdString((m_dir / "cut.ALR").string()); });
    frame.OnCommand(CMainFrame::ID_FILE_OPEN);
    ASSERT_EQ(m_messages.m_messages.size(), 1u);
    EXPECT_TRUE(m_messages.m_messages[0].m_strText.contains(QStringLiteral("레코드 2")));
    EXPECT_EQ(frame.Doc().GetCount(), 1u);

    // A file dropped on the window opens as the document.
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(saved + QStringLiteral(".alr"))});
    EXPECT_TRUE(frame.OpenDropped(&mime));
    EXPECT_EQ(frame.Doc().GetCount(), 2u);
    EXPECT_EQ(frame.Doc().GetRecord(0).m_nDirection, TRAFFIC_TX);
}

TEST_F(MainFrameTest, LayerAndTrayCommands) {
    CMainFrame& frame = Start();
    frame.OnCommand(CMainFrame::ID_LAYER_TOP);
    EXPECT_TRUE(frame.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(Checked(CMainFrame::ID_LAYER_TOP));
    EXPECT_FALSE(Checked(CMainFrame::ID_LAYER_NORMAL));
    EXPECT_TRUE(frame.isVisible());
    // The analyzer's radio moves the window but not the menu's mark.
    frame.SetWindowLayer(2);
    EXPECT_TRUE(frame.windowFlags() & Qt::WindowStaysOnBottomHint);
    EXPECT_FALSE(frame.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(frame.GetWindowLayer(), 0);
    EXPECT_TRUE(Checked(CMainFrame::ID_LAYER_TOP));
    EXPECT_EQ(frame.size(), QSize(CMainFrame::WIDTH, CMainFrame::HEIGHT));

    // The offscreen desktop has no tray: said once, the mode stays off.
    frame.OnCommand(CMainFrame::ID_TRAY);
    frame.OnCommand(CMainFrame::ID_TRAY);
    EXPECT_FALSE(frame.IsTrayMode());
    EXPECT_FALSE(Checked(CMainFrame::ID_TRAY));
    ASSERT_EQ(m_messages.m_messages.size(), 1u);
    EXPECT_EQ(m_messages.m_messages[0].m_strText, QString::fromUtf8(CMainFrame::kNoTrayMessage));
}

TEST_F(MainFrameTest, HandWrittenSettingsWithCommasSurviveAStartAndAnExit) {
    // As a user types them into the file: no quotes around the commas.
    WriteFile(m_dir / "QUILLET.ini", "[SETTING]\nENV=2,19200,E,7,1,0,0\nIP=10.0.0.7\n"
                                     "[PORTS]\nCOM2=/dev/serial/by-path/pci-0,1\n");
    CMainFrame& frame = Start();
    EXPECT_EQ(frame.Hub().GetSettings().m_strEnv, "2,19200,E,7,1,0,0");
    EXPECT_EQ(frame.Ports().DevicePath(2), QStringLiteral("/dev/serial/by-path/pci-0,1"));
    Exit();

    CQSettingsStore reread(IniPath());
    EXPECT_EQ(reread.ReadValue("SETTING", "ENV").value_or(""), "2,19200,E,7,1,0,0");
    EXPECT_EQ(reread.ReadValue("SETTING", "IP").value_or(""), "10.0.0.7");
}

TEST_F(MainFrameTest, AFailedShellOpenLeavesTheNamedFileAlone) {
    CMainFrame& frame = Start();
    const std::uint8_t ab[] = {0x41, 0x42};
    CTessaryDoc two;
    two.AddRecord(TRAFFIC_TX, ab, 2);
    two.AddRecord(TRAFFIC_RX, ab, 2);
    std::string error;
    ASSERT_TRUE(CAlrFile::Store(two, m_dir / "named.alr", error));
    const std::string named = ReadFile(m_dir / "named.alr");
    std::string cut = named;
    cut.resize(cut.size() - 1);
    WriteFile(m_dir / "cut.alr", cut);

    ASSERT_TRUE(frame.OpenDocument(QString::fromStdString((m_dir / "named.alr").string())));
    EXPECT_FALSE(frame.OpenDocument(QString::fromStdString((m_dir / "cut.alr").string())));
    EXPECT_EQ(m_messages.m_messages.size(), 1u);
    // Saving now asks for a name instead of writing the half-read capture
    // over the file opened before.
    int asked = 0;
    frame.SetSavePathDialog([&] {
        ++asked;
        return QString();
    });
    frame.OnCommand(CMainFrame::ID_FILE_SAVE);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(ReadFile(m_dir / "named.alr"), named);
}

TEST_F(MainFrameTest, OnlyCaptureFilesAreTakenFromADrop) {
    CMainFrame& frame = Start();
    const std::uint8_t ab[] = {0x41, 0x42};
    frame.Doc().AddRecord(TRAFFIC_TX, ab, 2);
    WriteFile(m_dir / "notes.txt", "commissioning notes, line 4");
    CTessaryDoc one;
    one.AddRecord(TRAFFIC_RX, ab, 1);
    std::string error;
    ASSERT_TRUE(CAlrFile::Store(one, m_dir / "LOG.ALR", error));
    const auto url = [&](const char* name) {
        return QUrl::fromLocalFile(QString::fromStdString((m_dir / name).string()));
    };

    QMimeData text;
    text.setUrls({url("notes.txt")});
    EXPECT_FALSE(frame.OpenDropped(&text));
    EXPECT_EQ(frame.Doc().GetCount(), 1u); // the capture is still there
    EXPECT_TRUE(m_messages.m_messages.empty());
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&frame, &enter);
    EXPECT_FALSE(enter.isAccepted());

    // Among several files the capture file is the one opened.
    QMimeData several;
    several.setUrls({url("notes.txt"), url("LOG.ALR")});
    QDragEnterEvent enterSeveral(QPoint(10, 10), Qt::CopyAction, &several, Qt::LeftButton,
                                 Qt::NoModifier);
    QApplication::sendEvent(&frame, &enterSeveral);
    EXPECT_TRUE(enterSeveral.isAccepted());
    EXPECT_TRUE(frame.OpenDropped(&several));
    ASSERT_EQ(frame.Doc().GetCount(), 1u);
    EXPECT_EQ(frame.Doc().GetRecord(0).m_nDirection, TRAFFIC_RX);
    EXPECT_EQ(frame.GetDocumentPath(), QString::fromStdString((m_dir / "LOG.ALR").string()));
}

// A PLC screen's rows and words live as long as the program: a switch to
// another screen and back loses neither, and nothing is written to its file.
TEST_F(MainFrameTest, APlcScreenKeepsItsRowsAndWordsAcrossAScreenSwitch) {
    CScreenFactory::Register(CComYaskawaView::SCREEN, [](IScreenHost& host, QWidget* parent) {
        return new CComYaskawaView(host, parent);
    });
    const std::filesystem::path home = std::filesystem::current_path();
    std::filesystem::current_path(m_dir.Path());
    const CPlcSettingsFile file(CPlcSettingsFile::PLC_YASKAWA);
    ASSERT_TRUE(file.SaveRows(file.CurrentPath(), {{"자동쓰기", "1", "WORD", "40", "2", "5"}}));
    const std::string saved = ReadFile(file.CurrentPath());

    CMainFrame& frame = Start();
    ASSERT_TRUE(frame.SwitchScreen(CComYaskawaView::SCREEN));
    auto* plc = dynamic_cast<CComYaskawaView*>(frame.Screen());
    ASSERT_NE(plc, nullptr);
    ASSERT_EQ(plc->Grid()->GetRowCount(), 1); // the file's row, as "열기" shows it
    plc->Grid()->InsertRowAt(1);
    plc->Grid()->SetCellText(3, 1, QStringLiteral("77"));
    plc->Memory().Set(5, 1234);
    plc->Memory().Set(6, 4321);

    ASSERT_TRUE(frame.SwitchScreen(0));
    ASSERT_TRUE(frame.SwitchScreen(CComYaskawaView::SCREEN));
    plc = dynamic_cast<CComYaskawaView*>(frame.Screen());
    ASSERT_NE(plc, nullptr);
    ASSERT_EQ(plc->Grid()->GetRowCount(), 2);
    EXPECT_EQ(plc->Grid()->GetCellText(3, 0), QStringLiteral("40"));
    EXPECT_EQ(plc->Grid()->GetCellText(3, 1), QStringLiteral("77"));
    EXPECT_EQ(plc->Memory().Get(5), 1234);
    EXPECT_EQ(plc->Memory().Get(6), 4321);
    EXPECT_EQ(plc->Model()->data(plc->Model()->WordIndex(5)).toString(),
              QStringLiteral("AN_YASKAWA_PLC_INDEX [005] : 1234"));
    EXPECT_EQ(ReadFile(file.CurrentPath()), saved);
    m_pFrame.reset();
    std::filesystem::current_path(home);
}

namespace {

// Answers the next modal file dialog as a user would: types `name` in its
// name box, in `folder`, and accepts.
void AnswerFileDialog(const QString& folder, const QString& name) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, folder, name] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        poll->deleteLater();
        poll->stop();
        dialog->setDirectory(folder);
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(edit, nullptr);
        edit->setText(name);
        QTest::keyClick(edit, Qt::Key_Return);
        if (dialog->isVisible()) // refused: do not leave the test hanging
            dialog->reject();
    });
    poll->start(10);
}

CTessaryDoc& WithOneRecord(CTessaryDoc& doc, int direction, std::uint8_t byte) {
    doc.AddRecord(direction, &byte, 1);
    return doc;
}

} // namespace

TEST_F(MainFrameTest, OpeningACaptureShowsItOnTheAnalyzer) {
    CMainFrame& frame = Start();
    CTessaryDoc two;
    WithOneRecord(two, TRAFFIC_TX, 0x41);
    WithOneRecord(two, TRAFFIC_RX, 0x06);
    std::string error;
    ASSERT_TRUE(CAlrFile::Store(two, m_dir / "two.alr", error));
    std::string cut = ReadFile(m_dir / "two.alr");
    cut.resize(cut.size() - 1);
    WriteFile(m_dir / "cut.alr", cut);
    const auto path = [&](const char* name) {
        return QString::fromStdString((m_dir / name).string());
    };

    // The shell's open (a double-click) and a drop, from a PLC screen.
    ASSERT_TRUE(frame.SwitchScreen(1));
    EXPECT_TRUE(frame.OpenDocument(path("two.alr")));
    EXPECT_EQ(frame.Screen()->GetScreenId(), 0);
    EXPECT_EQ(frame.Doc().GetScreen(), 0);
    ASSERT_TRUE(frame.SwitchScreen(1));
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path("two.alr"))});
    EXPECT_TRUE(frame.OpenDropped(&mime));
    EXPECT_EQ(frame.Screen()->GetScreenId(), 0);

    // A damaged file: the records before the damage are shown, and said so.
    ASSERT_TRUE(frame.SwitchScreen(1));
    EXPECT_FALSE(frame.OpenDocument(path("cut.alr")));
    EXPECT_EQ(frame.Screen()->GetScreenId(), 0);
    EXPECT_EQ(frame.Doc().GetCount(), 1u);
    ASSERT_EQ(m_messages.m_messages.size(), 1u);
    EXPECT_TRUE(m_messages.m_messages[0].m_strText.contains(QStringLiteral("레코드 2")));

    // The menu's open too; a file that cannot be read leaves the screen be.
    ASSERT_TRUE(frame.SwitchScreen(1));
    frame.SetOpenPathDialog([&] { return path("two.alr"); });
    frame.OnCommand(CMainFrame::ID_FILE_OPEN);
    EXPECT_EQ(frame.Screen()->GetScreenId(), 0);
    ASSERT_TRUE(frame.SwitchScreen(1));
    EXPECT_FALSE(frame.OpenDocument(path("missing.alr")));
    EXPECT_EQ(frame.Screen()->GetScreenId(), 1);
    EXPECT_EQ(frame.Doc().GetCount(), 2u);
}

TEST_F(MainFrameTest, FileDialogsShareOneFilterAndSettleTheExtension) {
    const std::unique_ptr<QFileDialog> open(CMainFrame::MakeCaptureDialog(nullptr, false, {}));
    const std::unique_ptr<QFileDialog> save(CMainFrame::MakeCaptureDialog(nullptr, true, {}));
    EXPECT_EQ(open->nameFilters(), save->nameFilters());
    EXPECT_EQ(open->nameFilters().constFirst(), QString::fromUtf8("Analyzer 파일 (*.alr *.ALR)"));

    CMainFrame& frame = Start();
    const QString folder = QString::fromStdString(m_dir.Path().string());
    std::string error;
    CTessaryDoc one;
    ASSERT_TRUE(CAlrFile::Store(WithOneRecord(one, TRAFFIC_RX, 0x06), m_dir / "log.alr", error));
    CTessaryDoc upper;
    WithOneRecord(upper, TRAFFIC_TX, 0x41);
    ASSERT_TRUE(CAlrFile::Store(WithOneRecord(upper, TRAFFIC_TX, 0x42), m_dir / "OLD.ALR", error));

    // "열기" with a name typed without its extension, in either case.
    AnswerFileDialog(folder, QStringLiteral("log"));
    frame.OnCommand(CMainFrame::ID_FILE_OPEN);
    EXPECT_TRUE(m_messages.m_messages.empty());
    ASSERT_EQ(frame.Doc().GetCount(), 1u);
    EXPECT_EQ(frame.Doc().GetRecord(0).m_nDirection, TRAFFIC_RX);
    AnswerFileDialog(folder, QStringLiteral("OLD"));
    frame.OnCommand(CMainFrame::ID_FILE_OPEN);
    EXPECT_EQ(frame.Doc().GetCount(), 2u);

    // "저장...AS" adds ".alr" to a bare name.
    AnswerFileDialog(folder, QStringLiteral("saved"));
    frame.OnCommand(CMainFrame::ID_FILE_SAVE_AS);
    EXPECT_EQ(ReadFile(m_dir / "saved.alr").size(), 4u + 2 * 9);
    EXPECT_EQ(frame.GetDocumentPath(), folder + QStringLiteral("/saved.alr"));
}

TEST_F(MainFrameTest, TheFourLastFilesAreListedAndOpenedFromTheFileMenu) {
    CMainFrame& frame = Start();
    const auto path = [&](int n) {
        return QString::fromStdString((m_dir / ("cap" + std::to_string(n) + ".alr")).string());
    };
    for (int n = 1; n <= 5; ++n) {
        CTessaryDoc doc;
        for (int i = 0; i < n; ++i)
            WithOneRecord(doc, TRAFFIC_RX, static_cast<std::uint8_t>(i));
        std::string error;
        ASSERT_TRUE(CAlrFile::Store(doc, std::filesystem::path(path(n).toStdString()), error));
        ASSERT_TRUE(frame.OpenDocument(path(n)));
    }
    const auto entries = [&] {
        QStringList texts;
        for (QAction* action : frame.FileMenu()->actions())
            texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
        return texts;
    };
    const QStringList expected{QString::fromUtf8("열기...OPEN"),
                               QString::fromUtf8("저장...SAVE"),
                               QString::fromUtf8("저장...AS"),
                               QString::fromUtf8("내보내기 (pcapng)…"),
                               QStringLiteral("-"),
                               QStringLiteral("&1 ") + path(5),
                               QStringLiteral("&2 ") + path(4),
                               QStringLiteral("&3 ") + path(3),
                               QStringLiteral("&4 ") + path(2),
                               QStringLiteral("-"),
                               QString::fromUtf8("닫기")};
    EXPECT_EQ(entries(), expected);

    // An entry loads its file as the shell's open does and shows it.
    ASSERT_TRUE(frame.SwitchScreen(1));
    frame.Action(CMainFrame::ID_FILE_MRU_FIRST + 3)->trigger();
    EXPECT_EQ(frame.Screen()->GetScreenId(), 0);
    EXPECT_EQ(frame.Doc().GetCount(), 2u);
    EXPECT_EQ(frame.GetDocumentPath(), path(2));
    EXPECT_EQ(frame.RecentFiles().constFirst(), path(2));

    // A file that is gone is said so and leaves the list.
    std::filesystem::remove(path(4).toStdString());
    frame.Action(CMainFrame::ID_FILE_MRU_FIRST + 2)->trigger(); // &3 is cap4 now
    ASSERT_EQ(m_messages.m_messages.size(), 1u);
    EXPECT_TRUE(m_messages.m_messages[0].m_strText.contains(path(4)));
    EXPECT_EQ(frame.RecentFiles(), (QStringList{path(2), path(5), path(3)}));
    EXPECT_EQ(frame.Doc().GetCount(), 2u);

    // The next start lists them again.
    Exit();
    CMainFrame& again = Start();
    EXPECT_EQ(again.RecentFiles(), (QStringList{path(2), path(5), path(3)}));
    EXPECT_EQ(again.FileMenu()->actions().size(), 10);
}

TEST(QtKorean, StandardButtonsAndDialogsSpeakKorean) {
    QTranslator* korean = CQtKorean::Install();
    ASSERT_NE(korean, nullptr) << "Qt's Korean catalogue (qt6-translations-l10n) is missing";
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Ok)->text(), QString::fromUtf8("확인"));
    EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text(), QString::fromUtf8("취소"));
    const std::unique_ptr<QFileDialog> open(CMainFrame::MakeCaptureDialog(nullptr, false, {}));
    auto* box = open->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->button(QDialogButtonBox::Open)->text(), QString::fromUtf8("열기(&O)"));
    delete korean; // the other tests expect Qt's own texts
    QLocale::setDefault(QLocale::c());
    QDialogButtonBox english(QDialogButtonBox::Ok);
    EXPECT_EQ(english.button(QDialogButtonBox::Ok)->text(), QStringLiteral("OK"));
}
