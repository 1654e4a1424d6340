#include "GuiTestSupport.h"
#include "TestFiles.h"

#include "app/CQSettingsStore.h"
#include "link/CComPortMap.h"
#include "link/LinkSettings.h"
#include "link/ui/CIpxClientDlg.h"
#include "link/ui/CIpxServerDlg.h"
#include "link/ui/CLinkDialogs.h"
#include "link/ui/CSerialConfigDlg.h"
#include "link/ui/CTcpClientDlg.h"
#include "link/ui/CTcpServerDlg.h"
#include "link/ui/CUdpDlg.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <utility>

namespace {

const QString kNotInteger = QStringLiteral("정수를 입력하십시오.");
const QString kPortRange = QStringLiteral("1에서 65535 사이의 정수를 입력하십시오.");

template <typename T> T* Find(QWidget& dialog, const char* id) {
    T* widget = dialog.findChild<T*>(QString::fromLatin1(id));
    EXPECT_NE(widget, nullptr) << id;
    return widget;
}

QLineEdit* Edit(QWidget& dialog, const char* id) {
    return Find<QLineEdit>(dialog, id);
}

QComboBox* List(QWidget& dialog, const char* id) {
    return Find<QComboBox>(dialog, id);
}

// The dialog's settings kept in a temporary INI file, never the user's own.
class PortStore {
public:
    PortStore() : m_store(QString::fromStdString((m_dir / "settings.ini").string())) {}
    TempDir m_dir;
    CQSettingsStore m_store;
    CComPortMap m_ports{&m_store};
};

} // namespace

// --- CONFIG ---------------------------------------------------------------

struct SerialCase {
    const char* m_szEnv;
    int m_nCom, m_nBaud, m_nStop, m_nData, m_nParity; // list indexes, -1 none
    const char* m_szConfirmed;
};

void PrintTo(const SerialCase& c, std::ostream* os) {
    *os << '"' << c.m_szEnv << '"';
}

class SerialOpening : public ::testing::TestWithParam<SerialCase> {};

TEST_P(SerialOpening, SelectsTheItemsAndConfirmsUnchanged) {
    const SerialCase& c = GetParam();
    CSerialConfigDlg dialog(nullptr);
    LinkSettings settings;
    settings.m_strEnv = c.m_szEnv;
    dialog.SetValues(settings);
    EXPECT_EQ(List(dialog, "1011")->currentIndex(), c.m_nCom);
    EXPECT_EQ(List(dialog, "1012")->currentIndex(), c.m_nBaud);
    EXPECT_EQ(List(dialog, "1013")->currentIndex(), c.m_nStop);
    EXPECT_EQ(List(dialog, "1014")->currentIndex(), c.m_nData);
    EXPECT_EQ(List(dialog, "1015")->currentIndex(), c.m_nParity);

    EXPECT_TRUE(dialog.TryAccept());
    dialog.GetValues(settings);
    EXPECT_EQ(settings.m_strEnv, c.m_szConfirmed);
}

INSTANTIATE_TEST_SUITE_P(
    Strings, SerialOpening,
    ::testing::Values(SerialCase{"1,9600,N,8,1,0,0", 0, 2, 0, 3, 0, "1,9600,N,8,1,0,0"},
                      // The handshake fields are never written back as they were.
                      SerialCase{"6,57600,O,5,2,1,1", 5, 5, 1, 0, 2, "6,57600,O,5,2,0,0"},
                      // An unlisted rate has no item and survives; a prefix finds one.
                      SerialCase{"2,1200,E,7,1,0,0", 1, -1, 0, 2, 1, "2,1200,E,7,1,0,0"},
                      SerialCase{"2,96,E,7,1,0,0", 1, 2, 0, 2, 1, "2,9600,E,7,1,0,0"},
                      // Values without items: port 0, data bits 4, stop bits 0; the
                      // parity letter is kept as read.
                      SerialCase{"7,9600,e,9,3,0,0", -1, 2, -1, -1, -1, "0,9600,e,4,0,0,0"},
                      // Reading stops at the first field that does not match.
                      SerialCase{"3,19200", 2, 3, 0, 3, 0, "3,19200,N,8,1,0,0"}));

TEST(SerialConfig, ChosenItemsMakeTheString) {
    CSerialConfigDlg dialog(nullptr);
    dialog.SetValues(LinkSettings{});
    List(dialog, "1011")->setCurrentIndex(2);
    List(dialog, "1012")->setCurrentIndex(6);
    List(dialog, "1013")->setCurrentIndex(1);
    List(dialog, "1014")->setCurrentIndex(2);
    List(dialog, "1015")->setCurrentIndex(1);
    EXPECT_EQ(List(dialog, "1015")->currentText(), QStringLiteral("짝수"));
    EXPECT_TRUE(dialog.TryAccept());
    LinkSettings settings;
    dialog.GetValues(settings);
    EXPECT_EQ(settings.m_strEnv, "3,115200,E,7,2,0,0");
}

#ifndef _WIN32
TEST(SerialConfig, DevicePathOfTheChosenPortIsShownAndStored) {
    PortStore store;
    store.m_ports.SetDevicePath(3, QStringLiteral("/dev/ttyUSB9"));
    CSerialConfigDlg dialog(&store.m_ports);
    LinkSettings settings;
    settings.m_strEnv = "3,9600,N,8,1,0,0";
    dialog.SetValues(settings);
    QComboBox* device = List(dialog, "DevicePath");
    ASSERT_NE(device, nullptr);
    EXPECT_TRUE(device->isEditable());
    EXPECT_EQ(device->currentText(), QStringLiteral("/dev/ttyUSB9"));

    // An edit survives a look at another port; untouched ports are not
    // pinned into the store.
    List(dialog, "1011")->setCurrentIndex(1);
    device->setEditText(QStringLiteral("/dev/ttyFAKE2"));
    List(dialog, "1011")->setCurrentIndex(0);
    EXPECT_EQ(device->currentText(), store.m_ports.DevicePath(1));
    List(dialog, "1011")->setCurrentIndex(1);
    EXPECT_EQ(device->currentText(), QStringLiteral("/dev/ttyFAKE2"));

    EXPECT_TRUE(dialog.TryAccept());
    EXPECT_EQ(store.m_ports.DevicePath(2), QStringLiteral("/dev/ttyFAKE2"));
    EXPECT_EQ(store.m_ports.DevicePath(3), QStringLiteral("/dev/ttyUSB9"));
    EXPECT_FALSE(store.m_store.ReadValue(CComPortMap::kGroup, "COM1").has_value());
    dialog.GetValues(settings);
    EXPECT_EQ(settings.m_strEnv, "2,9600,N,8,1,0,0");
}

TEST(SerialConfig, CancelledDialogStoresNoDevice) {
    PortStore store;
    CSerialConfigDlg dialog(&store.m_ports);
    dialog.SetValues(LinkSettings{});
    dialog.show();
    List(dialog, "DevicePath")->setEditText(QStringLiteral("/dev/ttyFAKE1"));
    QTest::keyClick(List(dialog, "1012"), Qt::Key_Escape);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(store.m_store.ReadValue(CComPortMap::kGroup, "COM1").has_value());
}
#endif

// --- integer edits ----------------------------------------------------------

struct IntCase {
    const char* m_szText;
    bool m_bAccepted;
    int m_nValue;
    bool m_bRange = false; // refused as out of range, not as text
};

void PrintTo(const IntCase& c, std::ostream* os) {
    *os << '"' << c.m_szText << '"';
}

class PortText : public ::testing::TestWithParam<IntCase> {};

TEST_P(PortText, OnlyAWholeIntegerFrom1To65535Closes) {
    const IntCase& c = GetParam();
    CMessageRecorder messages;
    CTcpServerDlg dialog;
    LinkSettings settings;
    dialog.SetValues(settings);
    dialog.show();
    Edit(dialog, "1032")->setText(QString::fromUtf8(c.m_szText));
    EXPECT_EQ(dialog.TryAccept(), c.m_bAccepted);
    dialog.GetValues(settings);
    if (c.m_bAccepted) {
        EXPECT_TRUE(messages.m_messages.empty());
        EXPECT_EQ(settings.m_nPort, c.m_nValue);
    } else {
        ASSERT_EQ(messages.m_messages.size(), 1U);
        EXPECT_EQ(messages.m_messages[0].m_strText, c.m_bRange ? kPortRange : kNotInteger);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(dialog.focusWidget(), Edit(dialog, "1032"));
        EXPECT_EQ(settings.m_nPort, LinkSettings{}.m_nPort);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PortText,
    ::testing::Values(IntCase{"abc", false, 0}, IntCase{"", false, 0}, IntCase{"50x", false, 0},
                      IntCase{"2147483648", false, 0}, IntCase{" 5020 ", true, 5020},
                      IntCase{"1", true, 1}, IntCase{"65535", true, 65535},
                      // Port 0 would listen on a port the
                      // system picks.
                      IntCase{"+0", false, 0, true}, IntCase{"-5", false, 0, true},
                      IntCase{"65536", false, 0, true}, IntCase{"99999", false, 0, true}));

// Each integer edit complains and takes the focus, also when another edit
// of its dialog is fine.
TEST(IntegerEdits, BadTextKeepsTheDialogOpenWithTheEditFocused) {
    struct Case {
        std::function<std::unique_ptr<QDialog>()> m_make;
        const char* m_szId;
    };
    const Case cases[] = {
        {[] { return std::make_unique<CTcpServerDlg>(); }, "1032"},
        {[] { return std::make_unique<CTcpClientDlg>(); }, "1032"},
        {[] { return std::make_unique<CUdpDlg>(); }, "1033"},
        {[] { return std::make_unique<CUdpDlg>(); }, "1089"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_szId);
        CMessageRecorder messages;
        std::unique_ptr<QDialog> dialog = c.m_make();
        for (QLineEdit* edit : dialog->findChildren<QLineEdit*>())
            edit->setText(QStringLiteral("7"));
        dialog->show();
        QLineEdit* bad = Edit(*dialog, c.m_szId);
        for (const auto& [text, says] :
             {std::pair{"abc", kNotInteger}, std::pair{"0", kPortRange}}) {
            messages.m_messages.clear();
            bad->setText(QString::fromLatin1(text));
            QTest::mouseClick(Find<QPushButton>(*dialog, "IDOK"), Qt::LeftButton);
            ASSERT_EQ(messages.m_messages.size(), 1U) << text;
            EXPECT_EQ(messages.m_messages[0].m_strText, says);
            EXPECT_TRUE(dialog->isVisible());
            EXPECT_EQ(dialog->focusWidget(), bad);
        }
    }
}

TEST(TcpClient, CopiesHostAndPort) {
    CTcpClientDlg dialog;
    LinkSettings settings;
    dialog.SetValues(settings);
    EXPECT_EQ(Edit(dialog, "1000")->text(), QStringLiteral("localhost"));
    EXPECT_EQ(Edit(dialog, "1032")->text(), QStringLiteral("120"));
    Edit(dialog, "1000")->setText(QStringLiteral("::1"));
    Edit(dialog, "1032")->setText(QStringLiteral("5021"));
    EXPECT_TRUE(dialog.TryAccept());
    dialog.GetValues(settings);
    EXPECT_EQ(settings.m_strIp, "::1");
    EXPECT_EQ(settings.m_nPort, 5021);
    EXPECT_EQ(settings.m_nUdpPort, LinkSettings{}.m_nUdpPort);
}

TEST(Udp, CopiesLocalPortHostAndRemotePort) {
    CUdpDlg dialog;
    LinkSettings settings;
    dialog.SetValues(settings);
    EXPECT_EQ(Edit(dialog, "1033")->text(), QStringLiteral("121"));
    EXPECT_EQ(Edit(dialog, "1088")->text(), QStringLiteral("localhost"));
    EXPECT_EQ(Edit(dialog, "1089")->text(), QStringLiteral("120"));
    Edit(dialog, "1033")->setText(QStringLiteral("6001"));
    Edit(dialog, "1088")->setText(QStringLiteral("127.0.0.1"));
    Edit(dialog, "1089")->setText(QStringLiteral("6002"));
    EXPECT_TRUE(dialog.TryAccept());
    dialog.GetValues(settings);
    EXPECT_EQ(settings.m_nUdpPort, 6001);
    EXPECT_EQ(settings.m_strIp, "127.0.0.1");
    EXPECT_EQ(settings.m_nPort, 6002);
}

// --- IPX ----------------------------------------------------------------------

struct IpxCase {
    const char* m_szNetwork;
    const char* m_szNode;
    const char* m_szSocket;
    const char* m_szMessage; // nullptr: accepted
    const char* m_szFocus;
};

void PrintTo(const IpxCase& c, std::ostream* os) {
    *os << c.m_szNetwork << ':' << c.m_szNode << ':' << c.m_szSocket;
}

class IpxClientLengths : public ::testing::TestWithParam<IpxCase> {};

TEST_P(IpxClientLengths, FirstWrongFieldIsReported) {
    const IpxCase& c = GetParam();
    CMessageRecorder messages;
    CIpxClientDlg dialog;
    dialog.SetValues(LinkSettings{});
    dialog.show();
    Edit(dialog, "1001")->setText(QString::fromUtf8(c.m_szNetwork));
    Edit(dialog, "1094")->setText(QString::fromUtf8(c.m_szNode));
    Edit(dialog, "1095")->setText(QString::fromUtf8(c.m_szSocket));
    const bool closed = dialog.TryAccept();
    if (!c.m_szMessage) {
        EXPECT_TRUE(closed);
        EXPECT_TRUE(messages.m_messages.empty());
        return;
    }
    EXPECT_FALSE(closed);
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_EQ(messages.m_messages.size(), 1U);
    EXPECT_EQ(messages.m_messages[0].m_strText, QString::fromUtf8(c.m_szMessage));
    EXPECT_EQ(dialog.focusWidget(), Edit(dialog, c.m_szFocus));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, IpxClientLengths,
    ::testing::Values(
        IpxCase{"0000000", "00000000000A", "2FFF", CIpxClientDlg::kNetworkLength, "1001"},
        IpxCase{"000000000", "0", "0", CIpxClientDlg::kNetworkLength, "1001"},
        IpxCase{"00000000", "00000000000", "2FFF", CIpxClientDlg::kNodeLength, "1094"},
        IpxCase{"00000000", "00000000000A", "2FFFF", CIpxClientDlg::kSocketLength, "1095"},
        // Then hex digits, field by field; a Korean letter counts two bytes
        // as in the code page, and is no digit.
        IpxCase{"GGGGGGGG", "ZZZZZZZZZZZZ", "WXYZ", CIpxClientDlg::kNetworkDigits, "1001"},
        IpxCase{"가가가가", "00000000000A", "2FFF", CIpxClientDlg::kNetworkDigits, "1001"},
        IpxCase{"00000000", "ZZZZZZZZZZZZ", "WXYZ", CIpxClientDlg::kNodeDigits, "1094"},
        IpxCase{"00000000", "00000000000A", "ZZZZ", CIpxClientDlg::kSocketDigits, "1095"},
        IpxCase{"00000000", "00000000000A", "0000", CIpxClientDlg::kSocketZero, "1095"},
        IpxCase{"0000ABCD", "00007F000001", "0001", nullptr, nullptr}));

TEST(IpxClient, TypedLettersBecomeCapitals) {
    CMessageRecorder messages;
    CIpxClientDlg dialog;
    dialog.SetValues(LinkSettings{});
    dialog.show();
    QLineEdit* node = Edit(dialog, "1094");
    node->clear();
    QTest::keyClicks(node, QStringLiteral("00000000000a"));
    QLineEdit* socket = Edit(dialog, "1095");
    socket->clear();
    QTest::keyClicks(socket, QStringLiteral("2fff"));
    EXPECT_EQ(socket->text(), QStringLiteral("2FFF"));
    EXPECT_TRUE(dialog.TryAccept());
    LinkSettings settings;
    dialog.GetValues(settings);
    EXPECT_EQ(settings.m_strNetwork, "00000000");
    EXPECT_EQ(settings.m_strNode, "00000000000A");
    EXPECT_EQ(settings.m_strSocket, "2FFF");
}

TEST(IpxServer, SocketMustBeFourHexDigitsOtherThanZero) {
    CMessageRecorder messages;
    CIpxServerDlg dialog;
    LinkSettings settings;
    dialog.SetValues(settings);
    dialog.show();
    EXPECT_EQ(Edit(dialog, "1095")->text(), QStringLiteral("2FFF"));
    for (const auto& [text, says] : {std::pair{"12", CIpxClientDlg::kSocketLength},
                                     std::pair{"ZZZZ", CIpxClientDlg::kSocketDigits},
                                     std::pair{"0000", CIpxClientDlg::kSocketZero}}) {
        messages.m_messages.clear();
        Edit(dialog, "1095")->setText(QString::fromLatin1(text));
        EXPECT_FALSE(dialog.TryAccept()) << text;
        ASSERT_EQ(messages.m_messages.size(), 1U) << text;
        EXPECT_EQ(messages.m_messages[0].m_strText, QString::fromUtf8(says));
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(dialog.focusWidget(), Edit(dialog, "1095"));
    }

    QLineEdit* socket = Edit(dialog, "1095");
    socket->clear();
    QTest::keyClicks(socket, QStringLiteral("4a2b"));
    EXPECT_TRUE(dialog.TryAccept());
    dialog.GetValues(settings);
    EXPECT_EQ(settings.m_strSocket, "4A2B");
}

// --- keys -----------------------------------------------------------------------

// Enter confirms from wherever the focus is in the dialogs that take it
// anywhere, and through the default button in the others, where a focused
// "취소" keeps Enter for itself; Esc cancels.
TEST(DialogKeys, EnterConfirmsAndEscCancels) {
    struct Case {
        const char* m_szName;
        std::function<std::unique_ptr<QDialog>()> m_make;
        const char* m_szTarget; // the widget that gets the key
        QDialog::DialogCode m_enterGives;
    };
    const Case cases[] = {
        {"tcp server edit", [] { return std::make_unique<CTcpServerDlg>(); }, "1032",
         QDialog::Accepted},
        {"tcp server button", [] { return std::make_unique<CTcpServerDlg>(); }, "IDOK",
         QDialog::Accepted},
        {"tcp client host", [] { return std::make_unique<CTcpClientDlg>(); }, "1000",
         QDialog::Accepted},
        {"config list", [] { return std::make_unique<CSerialConfigDlg>(nullptr); }, "1013",
         QDialog::Accepted},
        {"config cancel button", [] { return std::make_unique<CSerialConfigDlg>(nullptr); },
         "IDCANCEL", QDialog::Accepted},
        {"udp host", [] { return std::make_unique<CUdpDlg>(); }, "1088", QDialog::Accepted},
        {"udp cancel button", [] { return std::make_unique<CUdpDlg>(); }, "IDCANCEL",
         QDialog::Rejected},
        {"ipx server socket", [] { return std::make_unique<CIpxServerDlg>(); }, "1095",
         QDialog::Accepted},
        {"ipx client node", [] { return std::make_unique<CIpxClientDlg>(); }, "1094",
         QDialog::Accepted},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_szName);
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            CMessageRecorder messages; // a refusal fails the test instead of waiting
            std::unique_ptr<QDialog> dialog = c.m_make();
            // Valid values in every edit, so that confirming succeeds.
            for (QLineEdit* edit : dialog->findChildren<QLineEdit*>())
                edit->setText(QStringLiteral("7"));
            if (auto* ipx = dynamic_cast<CIpxClientDlg*>(dialog.get()))
                ipx->SetValues(LinkSettings{});
            if (auto* ipx = dynamic_cast<CIpxServerDlg*>(dialog.get()))
                ipx->SetValues(LinkSettings{});
            dialog->show();
            QWidget* target = dialog->findChild<QWidget*>(QString::fromLatin1(c.m_szTarget));
            ASSERT_NE(target, nullptr);
            target->setFocus();
            QTest::keyClick(target, key);
            EXPECT_FALSE(dialog->isVisible()) << key;
            EXPECT_EQ(dialog->result(), key == Qt::Key_Escape ? QDialog::Rejected : c.m_enterGives)
                << key;
        }
    }
}

TEST(DialogKeys, EnterInAnOpenDropDownChoosesTheItem) {
    CSerialConfigDlg dialog(nullptr);
    dialog.SetValues(LinkSettings{});
    dialog.show();
    QComboBox* baud = List(dialog, "1012");
    baud->showPopup();
    ASSERT_TRUE(baud->view()->isVisible());
    QTest::keyClick(baud->view(), Qt::Key_Down);
    QTest::keyClick(baud->view(), Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(baud->currentText(), QStringLiteral("19200"));
}

// --- the entry point ------------------------------------------------------------

namespace {

// Runs action on the modal dialog as soon as its event loop is running.
void WhenModal(std::function<void(QDialog&)> action) {
    QTimer::singleShot(0, [action = std::move(action)] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        action(*dialog);
        if (dialog->isVisible())
            dialog->reject(); // never leave the test waiting
    });
}

} // namespace

TEST(LinkDialogs, RunCopiesBackOnlyWhenConfirmed) {
    PortStore store;
    LinkSettings settings;
    settings.m_strEnv = "2,19200,N,8,1,1,1";

    WhenModal([](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("CONFIG"));
        Find<QPushButton>(dialog, "IDOK")->click();
    });
    EXPECT_TRUE(CLinkDialogs::Run(nullptr, 0, settings, store.m_ports));
    EXPECT_EQ(settings.m_strEnv, "2,19200,N,8,1,0,0");

    WhenModal([](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("UDP SETTING"));
        Edit(dialog, "1033")->setText(QStringLiteral("7001"));
        Find<QPushButton>(dialog, "IDCANCEL")->click();
    });
    const LinkSettings before = settings;
    EXPECT_FALSE(CLinkDialogs::Run(nullptr, 3, settings, store.m_ports));
    EXPECT_EQ(settings, before);

    WhenModal([](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("IPX CLIENT SETTING"));
        Edit(dialog, "1095")->setText(QStringLiteral("5000"));
        Find<QPushButton>(dialog, "IDOK")->click();
    });
    EXPECT_TRUE(CLinkDialogs::Run(nullptr, 5, settings, store.m_ports));
    EXPECT_EQ(settings.m_strSocket, "5000");

    // The close box, on a dialog without a "취소" button.
    WhenModal([](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("TCP SERVER SETTING"));
        Edit(dialog, "1032")->setText(QStringLiteral("9999"));
        dialog.close();
    });
    EXPECT_FALSE(CLinkDialogs::Run(nullptr, 1, settings, store.m_ports));
    EXPECT_EQ(settings.m_nPort, before.m_nPort);

    EXPECT_FALSE(CLinkDialogs::Run(nullptr, 6, settings, store.m_ports));
}

TEST(LinkDialogs, EachKindShowsItsCaption) {
    PortStore store;
    const char* captions[] = {"CONFIG",      "TCP SERVER SETTING", "TCP CLIENT SETTING",
                              "UDP SETTING", "IPX SERVER SETTING", "IPX CLIENT SETTING"};
    for (int kind = 0; kind < 6; ++kind) {
        LinkSettings settings;
        QString caption;
        WhenModal([&caption](QDialog& dialog) {
            caption = dialog.windowTitle();
            dialog.reject();
        });
        EXPECT_FALSE(CLinkDialogs::Run(nullptr, kind, settings, store.m_ports));
        EXPECT_EQ(caption, QString::fromLatin1(captions[kind]));
    }
}
