#include "GuiTestSupport.h"
#include "TestFiles.h"
#include "filesend/FileSendPair.h"

#include "filesend/CFileSendEngine.h"
#include "filesend/ui/CComFileSendView.h"
#include "link/LinkType.h"
#include "plc/CIniFile.h"

#include <QApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

// The screen in a folder of its own (its list file lands there), on a fake
// link whose frames a peer engine answers.
class FileSendView : public ::testing::Test {
protected:
    FileSendView() : m_oldDir(fs::current_path()), m_peer(m_dir / "peer") {
        QStandardPaths::setTestModeEnabled(true);
        fs::current_path(m_dir.Path());
        fs::create_directories(m_dir / "peer");
        m_host.m_hub.SetLinkUp(true);
        m_host.m_hub.SetLinkKind(LINK_TCP_CLIENT);
        m_pView = std::make_unique<CComFileSendView>(m_host);
        m_pView->InitialUpdate();
        m_host.m_hub.SetActiveScreen(m_pView.get());
        m_pView->SetReceiveFolder(QString::fromStdString((m_dir / "in").string()));
    }
    ~FileSendView() override {
        m_host.m_hub.SetActiveScreen(nullptr);
        m_pView.reset();
        fs::current_path(m_oldDir);
    }
    // Carries frames between the screen's link and the peer until `frames`
    // went or nothing is left.
    void Pump(int frames = 1000000) {
        for (int n = 0; n < frames; ++n) {
            if (!m_host.m_control.m_sent.empty()) {
                auto frame = m_host.m_control.m_sent.front();
                m_host.m_control.m_sent.erase(m_host.m_control.m_sent.begin());
                m_peer.m_pEngine->OnReceive(frame.data(), static_cast<int>(frame.size()));
            } else if (!m_peer.m_out.empty()) {
                auto frame = m_peer.m_out.front();
                m_peer.m_out.pop_front();
                m_host.m_hub.DispatchReceived(frame.data(), static_cast<int>(frame.size()));
            } else {
                return;
            }
        }
    }
    QString Source(const std::string& name, std::size_t size) {
        WriteFile(m_dir / name, std::string(size, 'q'));
        return QString::fromStdString((m_dir / name).string());
    }
    QStringList Column(int column) const {
        QStringList texts;
        for (int i = 0; i < m_pView->List()->topLevelItemCount(); ++i)
            texts << m_pView->List()->topLevelItem(i)->text(column);
        return texts;
    }
    bool Idle() const {
        return m_pView->Button(CComFileSendView::IDC_SEND)->isEnabled() &&
               !m_pView->Button(CComFileSendView::IDC_STOP)->isEnabled() &&
               m_pView->Button(CComFileSendView::IDC_FOLDER)->isEnabled();
    }

    TempDir m_dir;
    fs::path m_oldDir;
    CMessageRecorder m_messages;
    CTestScreenHost m_host;
    FileSendSide m_peer;
    std::unique_ptr<CComFileSendView> m_pView;
};

} // namespace

TEST_F(FileSendView, SendsTheListRowByRowAndEndsIdle) {
    m_pView->AddFiles({Source("a.bin", 40000), Source("b.bin", 10)});
    EXPECT_EQ(Column(0), (QStringList{"순서", "1", "2"}));
    m_pView->Button(CComFileSendView::IDC_SEND)->click();
    EXPECT_FALSE(Idle());
    Pump(3); // chunk 0 out, its acknowledgement back, chunk 1 out
    auto* bar = m_pView->findChild<QProgressBar*>(QString::number(CComFileSendView::IDC_SEND_BAR));
    auto* line = m_pView->findChild<QLineEdit*>(QString::number(CComFileSendView::IDC_SEND_LINE));
    EXPECT_EQ(bar->value(), 40); // 16112 of 40000
    EXPECT_EQ(line->text(), "0.016MB / 0.040MB ,0K");
    if (const char* shots = std::getenv("QUILLET_SHOTS"))
        m_pView->grab().save(QString::fromUtf8(shots) + "/filesend-mid-transfer.png");
    Pump();
    EXPECT_TRUE(ReadFile(m_dir / "peer" / "a.bin") == std::string(40000, 'q'));
    EXPECT_TRUE(ReadFile(m_dir / "peer" / "b.bin") == std::string(10, 'q'));
    EXPECT_EQ(m_pView->List()->topLevelItemCount(), 1);
    EXPECT_TRUE(Idle());
    EXPECT_TRUE(m_messages.m_messages.empty());
}

TEST_F(FileSendView, ListFileKeepsItsEndMark) {
    m_pView->AddFiles({Source("1", 1), Source("2", 1), Source("3", 1)});
    ASSERT_TRUE(m_pView->SaveList());
    CIniFile ini;
    ASSERT_TRUE(ini.Load(m_pView->ListPath()));
    EXPECT_EQ(ini.GetString("FILESEND_INI2", "FILENAME", ""), "3");
    EXPECT_EQ(ini.GetString("FILESEND_INI2", "FILEFULL", ""), (m_dir / "3").string());
    EXPECT_TRUE(ini.HasKey("FILESEND_INI3", "FILENAME"));
    EXPECT_EQ(ini.GetString("FILESEND_INI3", "FILENAME", "x"), "");
    // A shorter list over it: the later sections stay, loading stops at the mark.
    m_pView->List()->setCurrentItem(m_pView->List()->topLevelItem(1));
    m_pView->OnDelete();
    EXPECT_EQ(Column(0), (QStringList{"0", "1", "2"}));
    ASSERT_TRUE(m_pView->SaveList());
    m_pView->LoadList();
    EXPECT_EQ(Column(1), (QStringList{"안녕하세요 파일창입니다.", "2", "3"}));
    EXPECT_EQ(Column(0), (QStringList{"순서", "1", "2"}));
    // The end mark moved up and left the path of the old third row.
    ini.Load(m_pView->ListPath());
    EXPECT_EQ(ini.GetString("FILESEND_INI2", "FILENAME", "x"), "");
    EXPECT_EQ(ini.GetString("FILESEND_INI2", "FILEFULL", ""), (m_dir / "3").string());
}

TEST_F(FileSendView, RefusalsShowTheirMessagesAndReturnToIdle) {
    struct Case {
        const char* what;
        std::function<void()> setUp;
        const char* message;
    } cases[] = {
        {"no file row", [] {}, "선택된 파일이 없습니다."},
        {"link down",
         [this] {
             m_pView->AddFiles({Source("x", 1)});
             m_host.m_hub.SetLinkUp(false);
         },
         "통신이 연결되지 않았습니다."},
        {"receiving", [this] { m_pView->ShowReceivePath("/somewhere/file"); },
         "파일을 받고 있을 때는 파일을 보낼 수 없습니다."},
    };
    for (const Case& c : cases) {
        m_messages.m_messages.clear();
        c.setUp();
        m_pView->OnSend();
        ASSERT_EQ(m_messages.m_messages.size(), 1u) << c.what;
        EXPECT_EQ(m_messages.m_messages[0].m_strText, c.message) << c.what;
        EXPECT_TRUE(Idle()) << c.what;
    }
    // Row 1 is kept while a transfer runs.
    m_pView->ShowReceivePath(m_pView->Record().m_strRxFolder);
    m_host.m_hub.SetLinkUp(true);
    m_pView->OnSend();
    m_messages.m_messages.clear();
    m_pView->List()->setCurrentItem(m_pView->List()->topLevelItem(1));
    m_pView->OnDelete();
    ASSERT_EQ(m_messages.m_messages.size(), 1u);
    EXPECT_EQ(m_messages.m_messages[0].m_strText,
              "통신 중에는 첫번째 리스트 내용을 수정할 수 없습니다.");
    EXPECT_EQ(m_pView->List()->topLevelItemCount(), 2);
}

TEST_F(FileSendView, MyIpOpensTheIpChecker) {
    QString title;
    QTimer::singleShot(0, [&title] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            title = dialog->windowTitle();
            dialog->close();
        }
    });
    m_pView->Button(CComFileSendView::IDC_MY_IP)->click();
    EXPECT_EQ(title, QStringLiteral("IP CHECKER"));
}
