#include "GuiTestSupport.h"
#include "TestBytes.h"
#include "TestFiles.h"

#include "app/ui/CScreenFactory.h"
#include "link/CCp949.h"
#include "plc/CPlcEngine.h"
#include "plc/codecs/CAbEngine.h"
#include "plc/codecs/CPosfaEngine.h"
#include "plc/codecs/CYaskawaEngine.h"
#include "plc/ui/CComABView.h"
#include "plc/ui/CComMasterKView.h"
#include "plc/ui/CComMelsecView.h"
#include "plc/ui/CComPosfaView.h"
#include "plc/ui/CComSimensView.h"
#include "plc/ui/CComYaskawaView.h"
#include "plc/ui/CMemorySetDlg.h"
#include "plc/ui/CMemoryTreeModel.h"
#include "plc/ui/CRequestGrid.h"
#include "plc/ui/CTrendWindow.h"
#include "widgets/CArtwork.h"
#include "widgets/CLampPanel.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

// The Yaskawa screen with the memory dialog answered by the test.
class CTestYaskawaView : public CComYaskawaView {
public:
    using CComYaskawaView::CComYaskawaView;
    std::function<bool(CMemorySetDlg&)> m_fnAnswer;
    std::vector<QString> m_dialogs; // name, index and value as shown

protected:
    bool RunMemoryDialog(CMemorySetDlg& dialog) override {
        m_dialogs.push_back(dialog.NameEdit()->text() + QLatin1Char('/') +
                            dialog.IndexEdit()->text() + QLatin1Char('/') +
                            dialog.ValueEdit()->text());
        return m_fnAnswer ? m_fnAnswer(dialog) : false;
    }
};

// Runs the test inside a folder of its own, as the process's current
// directory, where the settings file lands.
class CCurrentDir {
public:
    explicit CCurrentDir(const std::filesystem::path& dir)
        : m_old(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~CCurrentDir() { std::filesystem::current_path(m_old); }
    CCurrentDir(const CCurrentDir&) = delete;
    CCurrentDir& operator=(const CCurrentDir&) = delete;

private:
    std::filesystem::path m_old;
};

struct Row {
    const char* m_szType;
    int m_nSlave;
    int m_nAddress;
    int m_nCount;
    int m_nIndex;
};

const QString kRoot = QStringLiteral("AN_YASKAWA_PLC");

QString Label(int word, const QString& value) {
    return kRoot + QString::asprintf("_INDEX [%03d] : ", word) + value;
}

Bytes AsciiFrame(const Bytes& pdu) {
    std::string text = ":";
    for (std::uint8_t b : pdu)
        text += QString::asprintf("%02X", b).toStdString();
    const std::uint8_t lrc = CYaskawaEngine::Lrc(pdu.data(), static_cast<int>(pdu.size()));
    text += QString::asprintf("%02X", lrc).toStdString();
    text += "\r\n";
    return ToBytes(text);
}

class PlcScreenTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_view.InitialUpdate();
        m_view.show();
    }

    void SetRows(const std::vector<Row>& rows) {
        CRequestGrid* grid = m_view.Grid();
        grid->SetRowCount(static_cast<int>(rows.size()));
        for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
            const Row& row = rows[static_cast<std::size_t>(r)];
            const QString cells[] = {
                QString::fromUtf8(row.m_szType), QString::number(row.m_nSlave),
                QStringLiteral("WORD"),          QString::number(row.m_nAddress),
                QString::number(row.m_nCount),   QString::number(row.m_nIndex)};
            for (int c = 0; c < 6; ++c)
                grid->SetCellText(c, r, cells[c]);
        }
    }
    void LinkUp() {
        LinkSettings settings;
        m_host.m_hub.SetupLink(1, &settings);
        m_host.m_hub.SetLinkUp(true);
        m_host.m_hub.SetActiveScreen(&m_view);
    }
    void Click(int id) { QTest::mouseClick(m_view.Button(id), Qt::LeftButton); }
    QAbstractButton* Radio(int id) const {
        return m_view.findChild<QAbstractButton*>(QString::number(id));
    }
    QString Shown(int word) const {
        return m_view.Model()->data(m_view.Model()->WordIndex(word)).toString();
    }
    std::vector<QString> Messages() const {
        std::vector<QString> texts;
        for (const auto& m : m_messages.m_messages)
            texts.push_back(m.m_strText);
        return texts;
    }
    const std::vector<Bytes>& Sent() const { return m_host.m_control.m_sent; }

    // The stopped or the polling state of the controls.
    void ExpectPolling(bool polling) {
        EXPECT_EQ(m_view.Button(CPlcScreenView::IDC_SEND)->isEnabled(), !polling);
        EXPECT_EQ(m_view.Button(CPlcScreenView::IDC_STOP)->isEnabled(), polling);
        EXPECT_EQ(m_view.Grid()->isEnabled(), !polling);
        EXPECT_EQ(Radio(CComYaskawaView::IDC_MODE_ASCII)->isEnabled(), !polling);
        EXPECT_EQ(Radio(CComYaskawaView::IDC_MODE_RTU)->isEnabled(), !polling);
        // The file buttons work either way.
        EXPECT_TRUE(m_view.Button(CPlcScreenView::IDC_SAVE)->isEnabled());
        EXPECT_TRUE(m_view.Button(CPlcScreenView::IDC_OPEN)->isEnabled());
        EXPECT_EQ(m_view.IsPolling(), polling);
        EXPECT_EQ(m_view.IsPollTimerActive(), polling);
    }

    TempDir m_dir;
    CCurrentDir m_cwd{m_dir.Path()};
    CMessageRecorder m_messages;
    CTestScreenHost m_host;
    CTestYaskawaView m_view{m_host};
};

} // namespace

TEST_F(PlcScreenTest, SetUpShowsAThousandZeroWordsUnderTheOpenRoot) {
    CMemoryTreeModel* model = m_view.Model();
    ASSERT_EQ(model->rowCount(), 1);
    EXPECT_EQ(model->data(model->RootIndex()).toString(), kRoot);
    ASSERT_EQ(model->rowCount(model->RootIndex()), 1000);
    EXPECT_EQ(Shown(0), QStringLiteral("AN_YASKAWA_PLC_INDEX [000] : 0"));
    EXPECT_EQ(Shown(999), QStringLiteral("AN_YASKAWA_PLC_INDEX [999] : 0"));
    EXPECT_EQ(model->index(0, 0, model->RootIndex()), model->WordIndex(0));
    EXPECT_EQ(model->parent(model->WordIndex(5)), model->RootIndex());
    EXPECT_TRUE(m_view.Tree()->isExpanded(model->RootIndex()));

    EXPECT_EQ(m_host.m_hub.GetScreen(), 1);
    EXPECT_EQ(m_host.m_strTitle, QStringLiteral("Yaskawa PLC 통신"));
    EXPECT_TRUE(m_view.IsTreeTimerActive());
    EXPECT_EQ(m_view.GetRadix(), CMemoryTreeModel::RADIX_DECIMAL);
    EXPECT_TRUE(Radio(CPlcScreenView::IDC_RADIX_DECIMAL)->isChecked());
    EXPECT_EQ(m_view.GetMode(), CYaskawaEngine::MEMOBUS_ASCII);
    EXPECT_TRUE(Radio(CComYaskawaView::IDC_MODE_ASCII)->isChecked());
    EXPECT_EQ(m_view.Grid()->GetGridType(), 1);
    EXPECT_EQ(m_view.Grid()->GetRowCount(), 0);
    EXPECT_EQ(m_view.GetSettingsPath(), std::filesystem::current_path() / "yaskawa_plc.ini");
    ExpectPolling(false);
}

// The radio only chooses; the labels change at the next refresh, which
// tells the view about the rows instead of rebuilding them.
TEST_F(PlcScreenTest, TheRefreshShowsTheWordsInTheChosenRadix) {
    struct Case {
        int m_nRadio;
        int m_nWord;
        std::uint16_t m_value;
        const char* m_szShown;
    } const cases[] = {
        {CPlcScreenView::IDC_RADIX_HEX, 5, 255, "00FF"},
        {CPlcScreenView::IDC_RADIX_HEX, 6, 0xBEEF, "BEEF"},
        {CPlcScreenView::IDC_RADIX_BINARY, 1, 1, "0000 0000 0000 0001 "},
        {CPlcScreenView::IDC_RADIX_BINARY, 2, 0x8421, "1000 0100 0010 0001 "},
        {CPlcScreenView::IDC_RADIX_DECIMAL, 7, 65535, "65535"},
    };
    CMemoryTreeModel* model = m_view.Model();
    QSignalSpy resets(model, &QAbstractItemModel::modelReset);
    QSignalSpy removed(model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy changed(model, &QAbstractItemModel::dataChanged);
    m_view.Tree()->setCurrentIndex(model->WordIndex(500));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_szShown);
        m_view.Memory().Set(c.m_nWord, c.m_value);
        QTest::mouseClick(Radio(c.m_nRadio), Qt::LeftButton);
        m_view.OnTreeTimer();
        EXPECT_EQ(Shown(c.m_nWord), Label(c.m_nWord, QString::fromUtf8(c.m_szShown)));
        m_view.Memory().Set(c.m_nWord, 0);
    }
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(removed.count(), 0);
    EXPECT_EQ(m_view.Tree()->currentIndex(), model->WordIndex(500));

    // Nothing changed, nothing reported; a change is shown only after the
    // refresh.
    m_view.OnTreeTimer();
    changed.clear();
    m_view.OnTreeTimer();
    EXPECT_EQ(changed.count(), 0);
    m_view.Memory().Set(3, 42);
    QTest::mouseClick(Radio(CPlcScreenView::IDC_RADIX_HEX), Qt::LeftButton);
    EXPECT_EQ(Shown(3), Label(3, QStringLiteral("0")));
    m_view.OnTreeTimer();
    EXPECT_EQ(Shown(3), Label(3, QStringLiteral("002A")));
}

TEST_F(PlcScreenTest, DoubleClickOrEnterOnAWordOpensTheDialogAndTheRootNothing) {
    QTreeView* tree = m_view.Tree();
    CMemoryTreeModel* model = m_view.Model();
    m_view.Memory().Set(3, 77);
    auto doubleClick = [&](const QModelIndex& index) {
        const QPoint at = tree->visualRect(index).center();
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at);
        QCoreApplication::processEvents();
    };
    doubleClick(model->RootIndex());
    EXPECT_TRUE(m_view.m_dialogs.empty());
    EXPECT_EQ(tree->currentIndex(), model->RootIndex());

    tree->expand(model->RootIndex());
    doubleClick(model->WordIndex(3));
    ASSERT_EQ(m_view.m_dialogs.size(), 1U);
    // The dialog shows the word as the table holds it, not as the tree does.
    EXPECT_EQ(m_view.m_dialogs[0], QStringLiteral("AN_YASKAWA_PLC/3/77"));

    tree->setCurrentIndex(model->WordIndex(4));
    QTest::keyClick(tree, Qt::Key_Return);
    // The dialog comes from the event queue, after the key.
    EXPECT_EQ(m_view.m_dialogs.size(), 1U);
    QCoreApplication::processEvents();
    ASSERT_EQ(m_view.m_dialogs.size(), 2U);
    EXPECT_EQ(m_view.m_dialogs[1], QStringLiteral("AN_YASKAWA_PLC/4/0"));
}

TEST_F(PlcScreenTest, TheDialogWritesTheTypedWordTruncatedToSixteenBits) {
    struct Case {
        const char* m_szIndex;
        const char* m_szValue;
        bool m_bConfirm;
        int m_nWord;
        std::uint16_t m_expected;
    } const cases[] = {
        {"12", "70000", true, 12, 4464},
        {"12", "-1", true, 12, 65535},
        // Another word than the one selected.
        {"999", "-32768", true, 999, 32768},
        {"13", "5", false, 13, 0},
        // Refused by the dialog: nothing is written anywhere.
        {"1000", "5", true, -1, 0},
        {"-1", "5", true, -1, 0},
    };
    m_view.Tree()->setCurrentIndex(m_view.Model()->WordIndex(12));
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.m_szIndex) + " = " + c.m_szValue);
        m_view.Memory().Clear();
        m_view.m_fnAnswer = [&c](CMemorySetDlg& dialog) {
            dialog.IndexEdit()->setText(QString::fromUtf8(c.m_szIndex));
            dialog.ValueEdit()->setText(QString::fromUtf8(c.m_szValue));
            return c.m_bConfirm && dialog.TryAccept();
        };
        m_view.EditMemory();
        for (int i = 0; i < MemoryTable::kSize; ++i)
            ASSERT_EQ(m_view.Memory().Get(i), i == c.m_nWord ? c.m_expected : 0) << i;
    }
}

TEST_F(PlcScreenTest, SendWithoutALinkIsRefusedAndTheScreenStaysStopped) {
    SetRows({{"자동읽기", 1, 0, 1, 0}});
    Click(CPlcScreenView::IDC_SEND);
    EXPECT_EQ(Messages(), std::vector<QString>{QStringLiteral("통신이 연결되지 않았습니다.")});
    ExpectPolling(false);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(PlcScreenTest, SendPollsTheSavedRowsAndRepliesReachTheTree) {
    LinkUp();
    SetRows({{"자동읽기", 1, 0, 1, 0}, {"자동읽기", 5, 100, 2, 10}});
    Click(CPlcScreenView::IDC_SEND);
    EXPECT_TRUE(Messages().empty());
    ExpectPolling(true);

    // The rows went through the file in the current directory, in CP949.
    const std::string file = ReadFile(m_dir / "yaskawa_plc.ini");
    EXPECT_NE(file.find("[YASKAWA_INI1]"), std::string::npos);
    EXPECT_NE(file.find("COMMTYPE=" + CCp949::FromUtf8("자동읽기")), std::string::npos);
    EXPECT_NE(file.find("[YASKAWA_INI2]"), std::string::npos);
    EXPECT_EQ(m_view.Grid()->GetRowCount(), 2);

    // The second row goes first.
    ASSERT_EQ(Sent().size(), 1U);
    EXPECT_EQ(ToString(Sent()[0]), ":05030064000292\r\n");

    const Bytes reply = AsciiFrame("05 03 04 12 34 00 FF"_hex);
    m_host.m_hub.DispatchReceived(reply.data(), static_cast<int>(reply.size()));
    EXPECT_EQ(m_view.Memory().Get(10), 0x1234);
    EXPECT_EQ(m_view.Memory().Get(11), 0x00FF);
    // The next row is asked for at once.
    ASSERT_EQ(Sent().size(), 2U);
    EXPECT_EQ(ToString(Sent()[1]), ":010300000001FB\r\n");
    EXPECT_EQ(Shown(10), Label(10, QStringLiteral("0")));
    m_view.OnTreeTimer();
    EXPECT_EQ(Shown(10), Label(10, QStringLiteral("4660")));
    EXPECT_EQ(Shown(11), Label(11, QStringLiteral("255")));

    Click(CPlcScreenView::IDC_STOP);
    ExpectPolling(false);
    const Bytes late = AsciiFrame("01 03 02 00 07"_hex);
    m_host.m_hub.DispatchReceived(late.data(), static_cast<int>(late.size()));
    EXPECT_EQ(m_view.Memory().Get(0), 0);
    EXPECT_EQ(Sent().size(), 2U);
}

// The diagnostics row shows the engine's counters at each refresh; reset
// starts them over while polling goes on.
TEST_F(PlcScreenTest, TheCountersLineFollowsTheExchangesAndResets) {
    const QString zero =
        QStringLiteral("요청 0 · 정상 0 · 불량 0 · 예외 0 · 시간초과 0 · RTT 최근 - / 평균 - ms");
    EXPECT_EQ(m_view.CountersLabel()->text(), zero);
    LinkUp();
    SetRows({{"자동읽기", 1, 0, 1, 0}});
    Click(CPlcScreenView::IDC_SEND);
    const Bytes good = AsciiFrame("01 03 02 12 34"_hex);
    const Bytes exception = AsciiFrame("01 83 02"_hex);
    const Bytes damaged = ToBytes(":0103021234B5\r\n");
    for (const Bytes* reply : {&good, &exception, &damaged, &good})
        m_host.m_hub.DispatchReceived(reply->data(), static_cast<int>(reply->size()));
    m_view.OnTreeTimer();
    const QString text = m_view.CountersLabel()->text();
    EXPECT_TRUE(text.startsWith(
        QStringLiteral("요청 5 · 정상 2 · 불량 1 · 예외 1 · 시간초과 0 · RTT 최근 ")))
        << text.toStdString();
    EXPECT_FALSE(text.contains(QLatin1Char('-'))) << text.toStdString();

    Click(CPlcScreenView::IDC_COUNTERS_RESET);
    EXPECT_EQ(m_view.CountersLabel()->text(), zero);
    // The exchange open at the reset is forgotten; polling goes on.
    m_host.m_hub.DispatchReceived(good.data(), static_cast<int>(good.size()));
    m_host.m_hub.DispatchReceived(good.data(), static_cast<int>(good.size()));
    m_view.OnTreeTimer();
    EXPECT_TRUE(m_view.CountersLabel()->text().startsWith(
        QStringLiteral("요청 2 · 정상 1 · 불량 0 · 예외 0 · 시간초과 0 · RTT 최근 ")));
    EXPECT_EQ(Sent().size(), 7U);
    Click(CPlcScreenView::IDC_STOP);
}

// The table's CSV goes where the user says, whole; a place it cannot go is
// said and nothing there is touched.
TEST_F(PlcScreenTest, TheTableExportsAsCsvAndAFailureIsSaid) {
    class CExportView : public CComYaskawaView {
    public:
        using CComYaskawaView::CComYaskawaView;
        QString m_strPath;

    protected:
        QString AskCsvPath() override { return m_strPath; }
    };
    CExportView view(m_host);
    view.InitialUpdate();
    view.Memory().Set(3, 0xBEEF);
    view.m_strPath = QString::fromStdString((m_dir / "table.csv").string());
    QTest::mouseClick(view.Button(CPlcScreenView::IDC_EXPORT_CSV), Qt::LeftButton);
    const std::string csv = ReadFile(m_dir / "table.csv");
    EXPECT_TRUE(csv.starts_with("index,decimal,hex,binary\r\n0,0,0x0000,"));
    EXPECT_NE(csv.find("\r\n3,48879,0xBEEF,1011 1110 1110 1111\r\n"), std::string::npos);
    EXPECT_TRUE(Messages().empty());

    std::filesystem::create_directory(m_dir / "folder.csv");
    view.m_strPath = QString::fromStdString((m_dir / "folder.csv").string());
    QTest::mouseClick(view.Button(CPlcScreenView::IDC_EXPORT_CSV), Qt::LeftButton);
    ASSERT_EQ(Messages().size(), 1U);
    EXPECT_TRUE(Messages()[0].startsWith(QStringLiteral("CSV 파일을 저장하지 못했습니다: ")))
        << Messages()[0].toStdString();
    EXPECT_TRUE(std::filesystem::is_directory(m_dir / "folder.csv"));
}

// Words chosen in the tree go to the trend window, eight at most; each
// refresh adds a point of each.
TEST_F(PlcScreenTest, TheTrendTakesTheSelectedWordsUpToEight) {
    QItemSelectionModel* selection = m_view.Tree()->selectionModel();
    for (int word : {40, 2, 3})
        selection->select(m_view.Model()->WordIndex(word), QItemSelectionModel::Select);
    Click(CPlcScreenView::IDC_TREND);
    CTrendWindow* trend = m_view.Trend();
    ASSERT_NE(trend, nullptr);
    EXPECT_EQ(trend->Words(), (std::vector<int>{2, 3, 40}));
    EXPECT_TRUE(Messages().empty());

    m_view.Memory().Set(40, 400);
    m_view.OnTreeTimer();
    m_view.OnTreeTimer();
    EXPECT_EQ(trend->SampleCount(), 2);
    ASSERT_EQ(trend->Series(2)->count(), 2);
    EXPECT_EQ(trend->Series(2)->at(1).y(), 400.0);

    // Six more chosen: five fit, the ninth word is refused and said.
    selection->clearSelection();
    for (int word = 10; word < 16; ++word)
        selection->select(m_view.Model()->WordIndex(word), QItemSelectionModel::Select);
    Click(CPlcScreenView::IDC_TREND);
    EXPECT_EQ(trend->Words(), (std::vector<int>{2, 3, 40, 10, 11, 12, 13, 14}));
    EXPECT_EQ(Messages(), std::vector<QString>{QString::fromUtf8(CTrendWindow::kTooMany)});
    EXPECT_EQ(m_view.Trend(), trend); // one window per screen
}

TEST_F(PlcScreenTest, TheTxRadioChoosesTheFraming) {
    struct Case {
        int m_nRadio;
        Bytes m_frame;
    } const cases[] = {
        {CComYaskawaView::IDC_MODE_ASCII, ToBytes(":010300000001FB\r\n")},
        {CComYaskawaView::IDC_MODE_RTU, "01 03 00 00 00 01 84 0A"_hex},
    };
    LinkUp();
    SetRows({{"자동읽기", 1, 0, 1, 0}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_nRadio);
        m_host.m_control.m_sent.clear();
        QTest::mouseClick(Radio(c.m_nRadio), Qt::LeftButton);
        Click(CPlcScreenView::IDC_SEND);
        ASSERT_EQ(Sent().size(), 1U);
        EXPECT_EQ(Sent()[0], c.m_frame);
        Click(CPlcScreenView::IDC_STOP);
    }
}

// The screen's own timers, run by the event loop: the poll timer gives an
// unanswered request up (after 1.7 s) and the tree timer shows the table.
TEST_F(PlcScreenTest, TheTimersRunTheTimeOutAndTheRefresh) {
    LinkUp();
    SetRows({{"자동읽기", 1, 0, 1, 0}});
    Click(CPlcScreenView::IDC_SEND);
    ASSERT_EQ(Sent().size(), 1U);
    m_view.Memory().Set(8, 8);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Sent().size() >= 2; }, 20000));
    EXPECT_EQ(Sent()[1], Sent()[0]);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Shown(8) == Label(8, QStringLiteral("8")); }, 20000));
    Click(CPlcScreenView::IDC_STOP);
}

// "열기" reloads the grid from the file fixed at set-up, also while
// polling, and leaves the engine with the rows it started with.
TEST_F(PlcScreenTest, SaveAndOpenUseTheFileFixedAtSetUp) {
    LinkUp();
    SetRows({{"자동쓰기", 2, 7, 1, 3}, {"", 1, 0, 1, 0}, {"자동읽기", 1, 0, 1, 0}});
    Click(CPlcScreenView::IDC_SAVE);
    const std::filesystem::path other = m_dir / "elsewhere";
    std::filesystem::create_directory(other);
    std::filesystem::current_path(other);
    SetRows({});
    Click(CPlcScreenView::IDC_OPEN);
    // The empty COMMTYPE ends the list.
    ASSERT_EQ(m_view.Grid()->GetRowCount(), 1);
    EXPECT_EQ(m_view.Grid()->GetCellText(0, 0), QStringLiteral("자동쓰기"));
    EXPECT_EQ(m_view.Grid()->GetCellText(3, 0), QStringLiteral("7"));
    EXPECT_FALSE(std::filesystem::exists(other / "yaskawa_plc.ini"));

    std::filesystem::current_path(m_dir.Path());
    Click(CPlcScreenView::IDC_SEND);
    ExpectPolling(true);
    SetRows({{"자동읽기", 9, 9, 9, 9}});
    Click(CPlcScreenView::IDC_SAVE);
    Click(CPlcScreenView::IDC_OPEN);
    EXPECT_EQ(m_view.Grid()->GetCellText(1, 0), QStringLiteral("9"));
    ASSERT_EQ(m_view.Engine()->GetRows().size(), 1U);
    EXPECT_EQ(m_view.Engine()->GetRows()[0].m_nSlaveAddress, 2);
}

TEST_F(PlcScreenTest, AFileThatCannotBeWrittenIsReported) {
    LinkUp();
    // A folder where the file should be: no one can write it, root neither.
    std::filesystem::create_directory(m_dir / "yaskawa_plc.ini");
    SetRows({{"자동읽기", 1, 0, 1, 0}});
    Click(CPlcScreenView::IDC_SAVE);
    Click(CPlcScreenView::IDC_SEND);
    const QString path = QString::fromStdString((m_dir / "yaskawa_plc.ini").string());
    EXPECT_EQ(Messages(),
              (std::vector<QString>{QStringLiteral("INI 파일을 저장하지 못했습니다."),
                                    QStringLiteral("INI 파일을 저장하지 못했습니다."),
                                    // The reload says why the file cannot be read, then the engine.
                                    QStringLiteral("INI파링 Read에 실패했습니다.\n") + path +
                                        QStringLiteral(": Is a directory"),
                                    QStringLiteral("INI파링 Read에 실패했습니다.\n") + path +
                                        QStringLiteral(": Is a directory")}));
    ExpectPolling(false);
}

TEST_F(PlcScreenTest, LampsAndTitleFollowTheHubAtTheNextTick) {
    CLampPanel* lamps = m_view.Lamps();
    EXPECT_EQ(lamps->GetBitmap(CLampPanel::LAMP_CONFIG), CArtwork::BMP_LAMP_RED);
    EXPECT_EQ(lamps->GetBitmap(CLampPanel::LAMP_STATE), CArtwork::BMP_LAMP_RED);
    LinkSettings settings;
    settings.m_nPort = 5020;
    m_host.m_hub.SetupLink(1, &settings);
    m_host.m_hub.SetLinkUp(true);
    EXPECT_EQ(lamps->GetBitmap(CLampPanel::LAMP_STATE), CArtwork::BMP_LAMP_RED);
    m_view.OnLampTimer();
    EXPECT_EQ(lamps->GetBitmap(CLampPanel::LAMP_CONFIG), CArtwork::BMP_LAMP_GREEN);
    EXPECT_EQ(lamps->GetBitmap(CLampPanel::LAMP_STATE), CArtwork::BMP_LAMP_GREEN);
    EXPECT_EQ(m_host.m_strTitle,
              QStringLiteral("Yaskawa PLC 통신 , TCP SERVER설정: PORT:5020 , 접속자 수 : 0"));
    m_host.m_hub.SetLinkUp(false);
    m_view.OnLampTimer();
    EXPECT_EQ(lamps->GetBitmap(CLampPanel::LAMP_STATE), CArtwork::BMP_LAMP_RED);
}

TEST_F(PlcScreenTest, SetUpAgainStartsOver) {
    LinkUp();
    SetRows({{"자동읽기", 1, 0, 1, 0}});
    QTest::mouseClick(Radio(CComYaskawaView::IDC_MODE_RTU), Qt::LeftButton);
    QTest::mouseClick(Radio(CPlcScreenView::IDC_RADIX_HEX), Qt::LeftButton);
    Click(CPlcScreenView::IDC_SEND);
    m_view.Memory().Set(4, 9);
    m_view.OnTreeTimer();
    SetRows({});
    m_view.InitialUpdate();
    ExpectPolling(false);
    // The grid shows the file again, as at the program's start.
    ASSERT_EQ(m_view.Grid()->GetRowCount(), 1);
    EXPECT_EQ(m_view.Grid()->GetCellText(0, 0), QStringLiteral("자동읽기"));
    EXPECT_EQ(m_view.Memory().Get(4), 0);
    EXPECT_EQ(Shown(4), Label(4, QStringLiteral("0")));
    EXPECT_TRUE(Radio(CComYaskawaView::IDC_MODE_ASCII)->isChecked());
    EXPECT_TRUE(Radio(CPlcScreenView::IDC_RADIX_DECIMAL)->isChecked());
}

// The screen opens with its file's rows; "보내기" on an empty grid starts
// nothing and leaves a file that holds rows as it is.
TEST_F(PlcScreenTest, TheFilesRowsShowAtOnceAndAnEmptyGridNeverEmptiesTheFile) {
    SetRows({{"자동쓰기", 3, 40, 2, 5}, {"자동읽기", 1, 0, 1, 0}});
    Click(CPlcScreenView::IDC_SAVE);
    const std::string saved = ReadFile(m_dir / "yaskawa_plc.ini");

    CTestYaskawaView fresh(m_host);
    fresh.InitialUpdate();
    ASSERT_EQ(fresh.Grid()->GetRowCount(), 2);
    EXPECT_EQ(fresh.Grid()->GetCellText(0, 0), QStringLiteral("자동쓰기"));
    EXPECT_EQ(fresh.Grid()->GetCellText(3, 0), QStringLiteral("40"));
    EXPECT_EQ(fresh.Grid()->GetCellText(4, 1), QStringLiteral("1"));

    // Link down or up: the empty grid is refused before anything is saved.
    for (bool up : {false, true}) {
        if (up)
            LinkUp();
        m_messages.m_messages.clear();
        SetRows({});
        Click(CPlcScreenView::IDC_SEND);
        EXPECT_EQ(Messages(), std::vector<QString>{QString::fromUtf8(CPlcScreenView::kNoRows)});
        ExpectPolling(false);
        EXPECT_EQ(ReadFile(m_dir / "yaskawa_plc.ini"), saved);
        EXPECT_TRUE(Sent().empty());
    }
}

// A file of more rows than are read says so when it is opened.
TEST_F(PlcScreenTest, AFileCutAt9999RowsIsSaid) {
    std::string text;
    for (int k = 0; k <= 10000; ++k)
        text += "[YASKAWA_INI" + std::to_string(k) + "]\nCOMMTYPE=" + CCp949::FromUtf8("자동읽기") +
                "\nSLAVEADDRESS=1\nPLCADDRESS=0\nDATACOUNT=1\nANINDEX=0\n";
    WriteFile(m_dir / "yaskawa_plc.ini", text);
    Click(CPlcScreenView::IDC_OPEN);
    EXPECT_EQ(m_view.Grid()->GetRowCount(), 9999);
    EXPECT_EQ(Messages(),
              std::vector<QString>{QString::fromUtf8(CPlcEngine::kRowsCut) +
                                   QString::fromStdString((m_dir / "yaskawa_plc.ini").string())});
}

// A row the protocol cannot carry refuses the start with the engine's
// message naming it; nothing goes out.
TEST_F(PlcScreenTest, ARowThePlcCannotTakeRefusesTheStart) {
    LinkUp();
    SetRows({{"자동읽기", 1, 0, 1, 0}});
    m_view.Grid()->SetCellText(1, 0, QStringLiteral("PLC1"));
    Click(CPlcScreenView::IDC_SEND);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_TRUE(Messages()[0].startsWith(QString::fromUtf8(CPlcEngine::kBadRow)));
    EXPECT_TRUE(Messages()[0].contains(QStringLiteral("ROW 1 (YASKAWA_INI0): SLAVEADDRESS")))
        << Messages()[0].toStdString();
    ExpectPolling(false);
    EXPECT_TRUE(Sent().empty());
}

template <class T> bool IsA(const CScreenView* view) {
    return dynamic_cast<const T*>(view) != nullptr;
}

TEST(PlcScreens, TheProgramHasEachPlcScreenUnderItsNumber) {
    for (int screen = 0; screen <= 9; ++screen)
        CScreenFactory::Unregister(screen);
    CScreenFactory::RegisterProgramScreens();
    const std::pair<int, bool (*)(const CScreenView*)> screens[] = {
        {1, &IsA<CComYaskawaView>}, {2, &IsA<CComSimensView>}, {3, &IsA<CComABView>},
        {4, &IsA<CComMasterKView>}, {5, &IsA<CComPosfaView>},  {6, &IsA<CComMelsecView>},
    };
    CTestScreenHost host;
    for (const auto& [number, is] : screens) {
        ASSERT_TRUE(CScreenFactory::Has(number)) << number;
        std::unique_ptr<CScreenView> screen(CScreenFactory::Make(number, host, nullptr));
        EXPECT_TRUE(is(screen.get())) << number;
        // Each has the diagnostics row.
        for (int id : {CPlcScreenView::IDC_COUNTERS, CPlcScreenView::IDC_COUNTERS_RESET,
                       CPlcScreenView::IDC_EXPORT_CSV, CPlcScreenView::IDC_TREND})
            EXPECT_NE(screen->findChild<QWidget*>(QString::number(id)), nullptr) << number << id;
    }
    for (int i = 0; i <= 9; ++i)
        CScreenFactory::Unregister(i);
}

// The POSFA screen: its own caption, root and "TX" radios, RS232C first;
// the radio chooses the framing the engine polls with.
TEST(PlcScreens, ThePosfaScreenPollsInTheFramingItsRadioChooses) {
    TempDir dir;
    CCurrentDir cwd(dir.Path());
    CTestScreenHost host;
    CComPosfaView view(host);
    view.InitialUpdate();
    CMemoryTreeModel* model = view.Model();
    EXPECT_EQ(model->data(model->RootIndex()).toString(), QStringLiteral("AN_POAFA_PLC"));
    EXPECT_EQ(model->data(model->WordIndex(0)).toString(),
              QStringLiteral("AN_POAFA_PLC_INDEX [000] : 0"));
    EXPECT_EQ(host.m_hub.GetScreen(), 5);
    EXPECT_EQ(host.m_strTitle, QStringLiteral("POSFA PLC 통신"));
    bool captioned = false;
    for (const QLabel* label : view.findChildren<QLabel*>())
        captioned |= label->text() == QStringLiteral("\n      현재         POSFA버전\n\n     MCPU");
    EXPECT_TRUE(captioned);
    auto radio = [&view](int id) { return view.findChild<QAbstractButton*>(QString::number(id)); };
    ASSERT_NE(radio(CComPosfaView::IDC_MODE_LAN), nullptr);
    EXPECT_EQ(radio(CComPosfaView::IDC_MODE_LAN)->text(), QStringLiteral("LAN"));
    EXPECT_EQ(radio(CComPosfaView::IDC_MODE_RS232C)->text(), QStringLiteral("RS232C"));
    EXPECT_TRUE(radio(CComPosfaView::IDC_MODE_RS232C)->isChecked());
    EXPECT_EQ(view.GetMode(), CPosfaEngine::POSFA_RS232C);
    EXPECT_EQ(view.Grid()->GetGridType(), 5);
    // Station and PLC number travel as two hex digits: the cells refuse more.
    view.Grid()->SetRowCount(1);
    for (int column : {1, 2}) {
        EXPECT_TRUE(view.Grid()->CheckCell(column, 0, QStringLiteral("255")).isEmpty());
        EXPECT_FALSE(view.Grid()->CheckCell(column, 0, QStringLiteral("256")).isEmpty());
    }
    EXPECT_EQ(view.GetSettingsPath(), std::filesystem::current_path() / "posfa_plc.ini");

    const QString cells[] = {QStringLiteral("자동읽기"), QStringLiteral("1"),  QStringLiteral("0"),
                             QStringLiteral("WORD"),     QStringLiteral("WX"), QStringLiteral("16"),
                             QStringLiteral("2"),        QStringLiteral("4")};
    view.Grid()->SetRowCount(1);
    for (int c = 0; c < 8; ++c)
        view.Grid()->SetCellText(c, 0, cells[c]);
    LinkSettings settings;
    host.m_hub.SetupLink(1, &settings);
    host.m_hub.SetLinkUp(true);
    host.m_hub.SetActiveScreen(&view);
    QTest::mouseClick(view.Button(CPlcScreenView::IDC_SEND), Qt::LeftButton);
    EXPECT_FALSE(radio(CComPosfaView::IDC_MODE_LAN)->isEnabled());
    const std::vector<Bytes>& sent = host.m_control.m_sent;
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(ToString(sent[0]), std::string("\x05") + "0100WRAWX010024D");
    const std::string answer = "\x02"
                               "010000011234\x03"
                               "4F";
    view.OnLinkData(reinterpret_cast<const std::uint8_t*>(answer.data()),
                    static_cast<int>(answer.size()));
    EXPECT_EQ(view.Memory().Get(4), 0x0001);
    EXPECT_EQ(view.Memory().Get(5), 0x1234);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(ToString(sent[1]), "\x06"
                                 "0100");

    QTest::mouseClick(view.Button(CPlcScreenView::IDC_STOP), Qt::LeftButton);
    QTest::mouseClick(radio(CComPosfaView::IDC_MODE_LAN), Qt::LeftButton);
    EXPECT_EQ(view.GetMode(), CPosfaEngine::POSFA_LAN);
    QTest::mouseClick(view.Button(CPlcScreenView::IDC_SEND), Qt::LeftButton);
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[3], "00 12 00 01 00 00 00 51 00 00 57 58 00 10 00 02 45 4C"_hex);
}

// The Allen-Bradley screen: its caption, root and title, no transfer mode
// and no background picture; its rows poll DF1 and the replies reach the
// tree.
TEST(PlcScreens, TheAllenBradleyScreenOpensAndPollsDf1) {
    TempDir dir;
    CCurrentDir cwd(dir.Path());
    CMessageRecorder messages;
    for (int screen = 0; screen <= 9; ++screen)
        CScreenFactory::Unregister(screen);
    CScreenFactory::RegisterProgramScreens();
    CTestScreenHost host;
    std::unique_ptr<CScreenView> screen(CScreenFactory::Make(CComABView::SCREEN, host, nullptr));
    for (int i = 0; i <= 9; ++i)
        CScreenFactory::Unregister(i);
    auto* view = dynamic_cast<CComABView*>(screen.get());
    ASSERT_NE(view, nullptr);
    view->InitialUpdate();
    view->show();

    EXPECT_EQ(host.m_hub.GetScreen(), 3);
    EXPECT_EQ(host.m_strTitle, QStringLiteral("AB PLC 통신"));
    EXPECT_EQ(view->Model()->data(view->Model()->RootIndex()).toString(),
              QStringLiteral("AN_AB_PLC"));
    EXPECT_EQ(view->Model()->data(view->Model()->WordIndex(999)).toString(),
              QStringLiteral("AN_AB_PLC_INDEX [999] : 0"));
    bool captioned = false;
    for (const QLabel* label : view->findChildren<QLabel*>())
        captioned |= label->text() == QStringLiteral("\n      현재         ABCOM버전\n\n    "
                                                     "ABCOM\n    RS-232C");
    EXPECT_TRUE(captioned);
    EXPECT_EQ(view->findChildren<QRadioButton*>().size(), 3); // the radix only
    EXPECT_FALSE(CComABView::Form().m_bBackground);
    EXPECT_EQ(view->Grid()->GetGridType(), 3);
    EXPECT_EQ(view->GetSettingsPath(), std::filesystem::current_path() / "ab_plc.ini");

    LinkSettings settings;
    host.m_hub.SetupLink(1, &settings);
    host.m_hub.SetLinkUp(true);
    host.m_hub.SetActiveScreen(view);
    CRequestGrid* grid = view->Grid();
    grid->SetRowCount(1);
    const QString cells[] = {QStringLiteral("자동읽기"), QStringLiteral("WORD"),
                             QStringLiteral("N7"),       QStringLiteral("0"),
                             QStringLiteral("1"),        QStringLiteral("0"),
                             QStringLiteral("10"),       QStringLiteral("0")};
    for (int c = 0; c < 8; ++c)
        grid->SetCellText(c, 0, cells[c]);
    // A source the DF1 link cannot carry is marked in the grid.
    EXPECT_FALSE(grid->CheckCell(3, 0, QStringLiteral("255")).isEmpty());
    EXPECT_TRUE(grid->CheckCell(3, 0, QStringLiteral("254")).isEmpty());
    EXPECT_FALSE(grid->CheckCell(6, 0, QStringLiteral("123")).isEmpty());
    QTest::mouseClick(view->Button(CPlcScreenView::IDC_SEND), Qt::LeftButton);
    EXPECT_TRUE(messages.m_messages.empty());
    ASSERT_EQ(host.m_control.m_sent.size(), 1u);
    EXPECT_EQ(host.m_control.m_sent[0],
              "10 02 01 00 0F 00 01 00 01 00 00 0A 00 00 24 4E 37 3A 30 00 14 10 03 BD"_hex);
    Bytes reply = "10 06 10 02 00 01 4F 00 01 00"_hex;
    unsigned sum = 0x00 + 0x01 + 0x4F + 0x01;
    for (int i = 0; i < 10; ++i) {
        reply.push_back(0x00);
        reply.push_back(static_cast<std::uint8_t>(i + 1));
        sum += static_cast<unsigned>(i + 1);
    }
    reply.push_back(0x10);
    reply.push_back(0x03);
    reply.push_back(static_cast<std::uint8_t>((0x100u - (sum & 0xFF)) & 0xFF));
    host.m_hub.DispatchReceived(reply.data(), static_cast<int>(reply.size()));
    EXPECT_EQ(view->Memory().Get(9), 10);
    view->OnTreeTimer();
    EXPECT_EQ(view->Model()->data(view->Model()->WordIndex(9)).toString(),
              QStringLiteral("AN_AB_PLC_INDEX [009] : 10"));
    ASSERT_EQ(host.m_control.m_sent.size(), 3u); // DLE ACK, the next request
    EXPECT_EQ(host.m_control.m_sent[1], "10 06"_hex);
}

// The Siemens screen: its caption, tree, title, grid and file, no extra
// radios, and "보내기" starting the 3964R exchange with STX.
TEST(PlcScreens, TheSiemensScreenOpensWithItsNamesAndStartsWithStx) {
    TempDir dir;
    CCurrentDir cwd(dir.Path());
    CMessageRecorder messages;
    CTestScreenHost host;
    CComSimensView view(host);
    view.InitialUpdate();
    view.show();

    const QString caption = QString::fromUtf8("\n      현재 SIMENS버전\n\n   SIMENS\n   RS-232C");
    bool captionShown = false;
    for (const QLabel* label : view.findChildren<QLabel*>())
        captionShown = captionShown || label->text() == caption;
    EXPECT_TRUE(captionShown);
    CMemoryTreeModel* model = view.Model();
    EXPECT_EQ(model->data(model->RootIndex()).toString(), QStringLiteral("AN_SIMENS_PLC"));
    EXPECT_EQ(model->data(model->WordIndex(7)).toString(),
              QStringLiteral("AN_SIMENS_PLC_INDEX [007] : 0"));
    EXPECT_EQ(host.m_hub.GetScreen(), 2);
    EXPECT_EQ(host.m_strTitle, QString::fromUtf8("SIMENS PLC 통신"));
    for (int id : {1010, 1011, 1063, 1064})
        EXPECT_EQ(view.findChild<QAbstractButton*>(QString::number(id)), nullptr) << id;
    EXPECT_EQ(view.GetMode(), 0);
    CRequestGrid* grid = view.Grid();
    EXPECT_EQ(grid->GetGridType(), 2);
    EXPECT_EQ(view.GetSettingsPath(), std::filesystem::current_path() / "simens_plc.ini");

    LinkSettings settings;
    host.m_hub.SetupLink(1, &settings);
    host.m_hub.SetLinkUp(true);
    host.m_hub.SetActiveScreen(&view);
    grid->InsertRowAt(0);
    QTest::mouseClick(view.Button(CPlcScreenView::IDC_SEND), Qt::LeftButton);
    EXPECT_TRUE(messages.m_messages.empty());
    EXPECT_TRUE(view.IsPolling());
    EXPECT_EQ(host.m_control.m_sent, (std::vector<Bytes>{"02"_hex}));
    const std::uint8_t dle = 0x10;
    view.OnLinkData(&dle, 1);
    ASSERT_EQ(host.m_control.m_sent.size(), 2u);
    // The new row's texts: a fetch of one word, DB 0, DW 0.
    EXPECT_EQ(host.m_control.m_sent[1], "00 00 45 44 00 00 00 01 FF FF 10 03 13"_hex);
}

// The MELSEC screen: its caption, root and title, no transfer radios, its
// grid and file; a row polled and its data acknowledged on the way.
TEST(PlcScreens, TheMelsecScreenPollsItsRows) {
    TempDir dir;
    CCurrentDir cwd(dir.Path());
    CTestScreenHost host;
    CComMelsecView view(host);
    view.InitialUpdate();
    view.show();
    EXPECT_EQ(host.m_hub.GetScreen(), 6);
    EXPECT_EQ(host.m_strTitle, QStringLiteral("MELSEC PLC 통신"));
    const QString caption =
        QStringLiteral("\n      현재        MELSEC버전\n\n     MCPU\n    RS-232C");
    bool found = false;
    for (const QLabel* label : view.findChildren<QLabel*>())
        found = found || label->text() == caption;
    EXPECT_TRUE(found);
    CMemoryTreeModel* model = view.Model();
    EXPECT_EQ(model->data(model->RootIndex()).toString(), QStringLiteral("AN_MELSEC_PLC"));
    EXPECT_EQ(model->data(model->WordIndex(7)).toString(),
              QStringLiteral("AN_MELSEC_PLC_INDEX [007] : 0"));
    for (int id : {1010, 1011, 1063, 1064})
        EXPECT_EQ(view.findChild<QAbstractButton*>(QString::number(id)), nullptr) << id;
    EXPECT_EQ(view.Grid()->GetGridType(), 6);
    EXPECT_EQ(view.GetSettingsPath(), std::filesystem::current_path() / "melsec_plc.ini");

    LinkSettings settings;
    host.m_hub.SetupLink(1, &settings);
    host.m_hub.SetLinkUp(true);
    host.m_hub.SetActiveScreen(&view);
    CRequestGrid* grid = view.Grid();
    grid->SetRowCount(1);
    const QString cells[] = {QStringLiteral("자동읽기"), QStringLiteral("0"), QStringLiteral("255"),
                             QStringLiteral("WORD"),     QStringLiteral("D"), QStringLiteral("100"),
                             QStringLiteral("1"),        QStringLiteral("12")};
    for (int c = 0; c < 8; ++c)
        grid->SetCellText(c, 0, cells[c]);
    QTest::mouseClick(view.Button(CPlcScreenView::IDC_SEND), Qt::LeftButton);
    ASSERT_TRUE(view.IsPolling());
    const std::vector<Bytes>& sent = host.m_control.m_sent;
    ASSERT_EQ(sent.size(), 1U);
    EXPECT_EQ(ToString(sent[0]), "\x05"
                                 "00FFWRAD0100013C");
    const Bytes reply = ToBytes("\x02"
                                "00FF0102\x03"
                                "B2");
    host.m_hub.DispatchReceived(reply.data(), static_cast<int>(reply.size()));
    EXPECT_EQ(view.Memory().Get(12), 0x0102);
    ASSERT_EQ(sent.size(), 3U);
    EXPECT_EQ(ToString(sent[1]), "\x06"
                                 "00FF");
    view.OnTreeTimer();
    EXPECT_EQ(model->data(model->WordIndex(12)).toString(),
              QStringLiteral("AN_MELSEC_PLC_INDEX [012] : 258"));
}

// The MASTER-K screen: its own caption, root, title and grid, no extra
// radios, and its engine behind the common buttons.
TEST(MasterKScreen, OpensWithItsFormAndPollsThroughTheHub) {
    TempDir dir;
    CCurrentDir cwd(dir.Path());
    CMessageRecorder messages;
    CTestScreenHost host;
    CComMasterKView view(host);
    view.InitialUpdate();
    view.show();
    QCoreApplication::processEvents();

    bool captioned = false;
    for (const QLabel* label : view.findChildren<QLabel*>())
        captioned |= label->text() ==
                     QStringLiteral("\n      현재        MasterK버전\n\n   200 CNET\n    RS-232C");
    EXPECT_TRUE(captioned);
    EXPECT_EQ(view.Model()->data(view.Model()->RootIndex()).toString(),
              QStringLiteral("AN_MASTERK_PLC"));
    EXPECT_EQ(host.m_strTitle, QStringLiteral("MASTER-K PLC 통신"));
    EXPECT_EQ(host.m_hub.GetScreen(), CComMasterKView::SCREEN);
    for (int id : {1010, 1011, 1063, 1064})
        EXPECT_EQ(view.findChild<QAbstractButton*>(QString::number(id)), nullptr) << id;
    ASSERT_EQ(view.Grid()->GetGridType(), CComMasterKView::SCREEN);
    ASSERT_EQ(view.Grid()->columnCount(), 7);
    // The grid's editors refuse a station past 31 and a write of 61 words.
    view.Grid()->SetRowCount(1);
    view.Grid()->SetCellText(0, 0, QStringLiteral("자동쓰기"));
    EXPECT_FALSE(view.Grid()->CheckCell(1, 0, QStringLiteral("32")).isEmpty());
    EXPECT_TRUE(view.Grid()->CheckCell(1, 0, QStringLiteral("31")).isEmpty());
    EXPECT_FALSE(view.Grid()->CheckCell(5, 0, QStringLiteral("61")).isEmpty());
    CScreenFactory::RegisterProgramScreens();
    EXPECT_TRUE(CScreenFactory::Has(CComMasterKView::SCREEN));

    // Station 0, D100: the request on the wire, the reply into the table.
    const QString cells[] = {QStringLiteral("자동읽기"), QStringLiteral("0"),
                             QStringLiteral("WORD"),     QStringLiteral("D"),
                             QStringLiteral("100"),      QStringLiteral("1"),
                             QStringLiteral("7")};
    for (int c = 0; c < 7; ++c)
        view.Grid()->SetCellText(c, 0, cells[c]);
    LinkSettings settings;
    host.m_hub.SetupLink(1, &settings);
    host.m_hub.SetLinkUp(true);
    host.m_hub.SetActiveScreen(&view);
    QTest::mouseClick(view.Button(CPlcScreenView::IDC_SEND), Qt::LeftButton);
    EXPECT_TRUE(messages.m_messages.empty());
    EXPECT_NE(ReadFile(dir / "masterk_plc.ini").find("[MASTERK_INI0]"), std::string::npos);
    ASSERT_EQ(host.m_control.m_sent.size(), 1U);
    EXPECT_EQ(ToString(host.m_control.m_sent[0]), "\x05"
                                                  "00rSB06%DW10001\x04"
                                                  "88");
    const std::string reply = "\x06"
                              "00rSB01011234\x03"
                              "FC";
    host.m_hub.DispatchReceived(reinterpret_cast<const std::uint8_t*>(reply.data()),
                                static_cast<int>(reply.size()));
    EXPECT_EQ(view.Memory().Get(7), 0x1234);
    EXPECT_EQ(host.m_control.m_sent.size(), 2U);
}
