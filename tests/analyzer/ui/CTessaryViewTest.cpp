#include "GuiTestSupport.h"

#include "analyzer/ui/CFindBar.h"
#include "analyzer/ui/CTessaryView.h"
#include "analyzer/ui/CTrafficGrid.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

const QColor kRx(255, 128, 0);
const QColor kTx(64, 128, 128);
const QColor kEmpty(133, 133, 214);

// The view with its two windows answered: the colour chooser returns
// m_chosen, the print dialog prints to m_strPdf (or is cancelled).
class CTestView : public CTessaryView {
public:
    using CTessaryView::CTessaryView;
    std::optional<QColor> m_chosen;
    QString m_strPdf;
    QString m_strDocName;

protected:
    std::optional<QColor> ChooseColor(const QColor&) override { return m_chosen; }
    bool RunPrintDialog(QPrinter& printer) override {
        if (m_strPdf.isEmpty())
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_strPdf);
        return true;
    }
};

// A host whose "열기" loads a capture of its own.
class CLoadingHost : public CTestScreenHost {
public:
    void OpenCapture() override {
        CTestScreenHost::OpenCapture();
        m_doc.Clear();
        const std::uint8_t ack = 0x06;
        m_doc.AddRecord(TRAFFIC_RX, &ack, 1);
    }
};

class AnalyzerView : public ::testing::Test {
protected:
    void SetUp() override {
        m_view.InitialUpdate();
        m_view.show();
    }

    template <class T = QWidget> T* Control(int id) {
        T* found = m_view.findChild<T*>(QString::number(id));
        EXPECT_NE(found, nullptr) << id;
        return found;
    }
    void Click(int id) { QTest::mouseClick(Control<QAbstractButton>(id), Qt::LeftButton); }
    QString Text(int id) { return Control<QLineEdit>(id)->text(); }
    void Type(int id, const QString& text) {
        QLineEdit* edit = Control<QLineEdit>(id);
        edit->clear();
        // Qt Test types ASCII keys only.
        bool ascii = true;
        for (QChar c : text)
            ascii = ascii && c.unicode() < 0x80;
        if (ascii)
            QTest::keyClicks(edit, text);
        else
            edit->insert(text);
    }
    void Enter(int id) {
        QTest::keyClick(Control(id), Qt::Key_Return);
        QCoreApplication::processEvents(); // the send is posted
    }
    QString Cell(int i) { return m_view.Grid()->CellText(i); }
    QColor Back(int i) { return m_view.Grid()->CellBackground(i); }
    void Receive(const Bytes& bytes) {
        m_host.m_hub.DispatchReceived(bytes.data(), static_cast<int>(bytes.size()));
        m_view.RefreshScreen();
    }

    CLoadingHost m_host;
    CTestView m_view{m_host};
    CMessageRecorder m_messages;
};

TEST_F(AnalyzerView, PagesAreClampedAndTheLastPageIsBlankedPastItsLastByte) {
    EXPECT_EQ(Text(CTessaryView::IDC_PAGE_TEXT), "1/1");
    for (int i = 0; i < PAGE_CELLS; ++i) {
        ASSERT_TRUE(Cell(i).isEmpty()) << i;
        ASSERT_EQ(Back(i), kEmpty) << i;
    }
    Receive(Bytes(600, 'x'));
    EXPECT_EQ(Text(CTessaryView::IDC_PAGE_TEXT), "1/2");
    EXPECT_EQ(Cell(521), "x");

    struct Step {
        int m_nButton;
        const char* m_pPage;
        int m_nFilled;
    };
    for (const Step& step : {Step{CTessaryView::IDC_PAGE_BACK, "1/2", 522},
                             Step{CTessaryView::IDC_PAGE_FORWARD, "2/2", 78},
                             Step{CTessaryView::IDC_PAGE_FORWARD, "2/2", 78},
                             Step{CTessaryView::IDC_PAGE_BACK, "1/2", 522}}) {
        Click(step.m_nButton);
        EXPECT_EQ(Text(CTessaryView::IDC_PAGE_TEXT), step.m_pPage);
        int filled = 0;
        for (int i = 0; i < PAGE_CELLS; ++i) {
            const bool shown = Cell(i) == "x" && Back(i) == kRx;
            ASSERT_TRUE(shown || (Cell(i).isEmpty() && Back(i) == kEmpty)) << i;
            filled += shown ? 1 : 0;
        }
        EXPECT_EQ(filled, step.m_nFilled) << step.m_pPage;
    }
}

TEST_F(AnalyzerView, CellsShowLabelsOrHexOnTheirDirectionsColour) {
    m_host.m_hub.SetLinkUp(true);
    Type(CTessaryView::IDC_SEND_TEXT, "AB");
    Enter(CTessaryView::IDC_SEND_TEXT);
    Receive({0x02, 0x41, 0x0D});

    const QColor backs[] = {kTx, kTx, kRx, kRx, kRx};
    const QStringList ascii = {"A", "B", "stx", "A", "cr"};
    const QStringList binary = {"41", "42", "02", "41", "0D"};
    for (const auto& [radio, texts] : {std::pair{CTessaryView::IDC_RX_BINARY, binary},
                                       std::pair{CTessaryView::IDC_RX_ASCII, ascii}}) {
        Click(radio);
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(Cell(i), texts[i]) << i;
            EXPECT_EQ(Back(i), backs[i]) << i;
        }
        EXPECT_TRUE(Cell(5).isEmpty());
        EXPECT_EQ(m_view.Grid()->TextColor(), QColor(Qt::black));
    }
}

TEST_F(AnalyzerView, SendBoxCountsAndSendsOrRefuses) {
    const QString linkDown = CTessaryView::tr(CTessaryView::kLinkDownMessage);
    const QString half = CTessaryView::tr(CTessaryView::kHalfByteMessage);
    auto notHex = [](const char* what, int at) {
        return QString::fromUtf8("16진수 숫자(0-9, A-F)가 아닌 문자가 있습니다: '%1' (%2번째 글자)")
            .arg(QString::fromUtf8(what))
            .arg(at);
    };
    const QString tooLong = CTessaryView::tr(CTessaryView::kTooLongMessage);
    struct Case {
        int m_nMode; // the TX radio
        bool m_bLinkUp;
        QString m_strText;
        QString m_strCount;
        QString m_strMessage; // empty: none
        Bytes m_sent;         // empty: nothing reaches the link
    };
    const Case cases[] = {
        {CTessaryView::IDC_TX_ASCII, false, "AB", "2", linkDown, {}},
        {CTessaryView::IDC_TX_BINARY, true, "414", "1.5", half, {}},
        {CTessaryView::IDC_TX_BINARY, true, "4142", "2", {}, {0x41, 0x42}},
        {CTessaryView::IDC_TX_BINARY, true, "6a0B", "2", {}, {0x6A, 0x0B}},
        // Blanks between pairs are how people type frames; they count nothing.
        {CTessaryView::IDC_TX_BINARY, true, " 01 02\t0A ", "3", {}, {0x01, 0x02, 0x0A}},
        // A wrong digit anywhere refuses the whole text.
        {CTessaryView::IDC_TX_BINARY, true, "0G41", "2", notHex("G", 2), {}},
        {CTessaryView::IDC_TX_BINARY, true, "41G1", "2", notHex("G", 3), {}},
        {CTessaryView::IDC_TX_BINARY, true, "1Z", "1", notHex("Z", 2), {}},
        {CTessaryView::IDC_TX_BINARY, true, "0x12", "2", notHex("x", 2), {}},
        {CTessaryView::IDC_TX_BINARY, true, "가나", "1", notHex("가", 1), {}},
        {CTessaryView::IDC_TX_BINARY,
         true,
         "4 142",
         "2",
         QString::fromUtf8("16진수는 두 자리씩 붙여 써야 합니다: 2번째 글자의 빈칸이 한 바이트를 "
                           "나눕니다."),
         {}},
        {CTessaryView::IDC_TX_ASCII, true, "", "0", {}, {}},
        {CTessaryView::IDC_TX_ASCII, true, "가A", "3", {}, {0xB0, 0xA1, 0x41}},
        {CTessaryView::IDC_TX_ASCII, true, QString(4096, 'A'), "4096", {}, Bytes(4096, 'A')},
        {CTessaryView::IDC_TX_ASCII, true, QString(4097, 'A'), "4097", tooLong, {}},
        {CTessaryView::IDC_TX_BINARY, true, QString(8194, '7'), "4097", tooLong, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_strText.left(8).toStdString());
        m_host.m_hub.SetLinkUp(c.m_bLinkUp);
        m_host.m_control.m_sent.clear();
        m_messages.m_messages.clear();
        Click(c.m_nMode);
        Control<QLineEdit>(CTessaryView::IDC_SEND_TEXT)->setText(c.m_strText);
        EXPECT_EQ(Text(CTessaryView::IDC_SEND_COUNT), c.m_strCount);
        Enter(CTessaryView::IDC_SEND_TEXT);

        if (c.m_strMessage.isEmpty()) {
            EXPECT_TRUE(m_messages.m_messages.empty());
            EXPECT_TRUE(Text(CTessaryView::IDC_SEND_TEXT).isEmpty());
            EXPECT_EQ(Text(CTessaryView::IDC_SEND_COUNT), "0");
        } else {
            ASSERT_EQ(m_messages.m_messages.size(), 1u);
            EXPECT_EQ(m_messages.m_messages[0].m_strText, c.m_strMessage);
            EXPECT_EQ(m_messages.m_messages[0].m_strTitle,
                      c.m_strMessage == half ? CTessaryView::tr(CTessaryView::kHalfByteTitle)
                                             : QStringLiteral("QUILLET"));
            EXPECT_EQ(Text(CTessaryView::IDC_SEND_TEXT), c.m_strText); // the text stays
        }
        if (c.m_sent.empty()) {
            EXPECT_TRUE(m_host.m_control.m_sent.empty());
        } else {
            EXPECT_EQ(m_host.m_control.m_sent, std::vector<Bytes>{c.m_sent});
        }
    }
}

TEST_F(AnalyzerView, ChangingTheTxModeRecountsAndNeverSendsLessThanShown) {
    const QString half = CTessaryView::tr(CTessaryView::kHalfByteMessage);
    m_host.m_hub.SetLinkUp(true);
    Click(CTessaryView::IDC_TX_ASCII);
    Type(CTessaryView::IDC_SEND_TEXT, "ABC");
    EXPECT_EQ(Text(CTessaryView::IDC_SEND_COUNT), "3");

    // The text stays; the count is that of the text read as hex.
    Click(CTessaryView::IDC_TX_BINARY);
    EXPECT_EQ(Text(CTessaryView::IDC_SEND_TEXT), "ABC");
    EXPECT_EQ(Text(CTessaryView::IDC_SEND_COUNT), "1.5");
    Enter(CTessaryView::IDC_SEND_TEXT);
    ASSERT_EQ(m_messages.m_messages.size(), 1u);
    EXPECT_EQ(m_messages.m_messages[0].m_strText, half);
    EXPECT_TRUE(m_host.m_control.m_sent.empty()); // not AB with the C dropped

    // And back: the same text goes out as the three letters it shows.
    Click(CTessaryView::IDC_TX_ASCII);
    EXPECT_EQ(Text(CTessaryView::IDC_SEND_COUNT), "3");
    Enter(CTessaryView::IDC_SEND_TEXT);
    EXPECT_EQ(m_host.m_control.m_sent, (std::vector<Bytes>{Bytes{'A', 'B', 'C'}}));

    // Hex digits typed in ASCII mode and sent in Binary mode become bytes.
    m_host.m_control.m_sent.clear();
    Type(CTessaryView::IDC_SEND_TEXT, "4142");
    EXPECT_EQ(Text(CTessaryView::IDC_SEND_COUNT), "4");
    Click(CTessaryView::IDC_TX_BINARY);
    EXPECT_EQ(Text(CTessaryView::IDC_SEND_COUNT), "2");
    Enter(CTessaryView::IDC_SEND_TEXT);
    EXPECT_EQ(m_host.m_control.m_sent, (std::vector<Bytes>{Bytes{0x41, 0x42}}));
}

TEST_F(AnalyzerView, ToolsComputeOnEnterAndOtherBoxesIgnoreIt) {
    const QString odd = QString::fromUtf8("데이터가 짝수여야 합니다. ");
    struct Case {
        int m_nInput;
        int m_nResult;
        QString m_strInput;
        QString m_strResult;
        bool m_bMessage;
    };
    const Case cases[] = {
        {CTessaryView::IDC_SUM_INPUT, CTessaryView::IDC_SUM_RESULT, "123", "96", false},
        {CTessaryView::IDC_CRC_INPUT, CTessaryView::IDC_CRC_RESULT, "010300000001", "840a", false},
        {CTessaryView::IDC_HEX2ASCII_INPUT, CTessaryView::IDC_HEX2ASCII_RESULT, "48656C6C6F",
         "Hello", false},
        {CTessaryView::IDC_HEX2ASCII_INPUT, CTessaryView::IDC_HEX2ASCII_RESULT, "486", "", true},
        {CTessaryView::IDC_CRC_INPUT, CTessaryView::IDC_CRC_RESULT, "010", "", true},
        {CTessaryView::IDC_CRC_INPUT, CTessaryView::IDC_CRC_RESULT, "01 03 00 00 00 01", "840a",
         false},
        {CTessaryView::IDC_CRC_INPUT, CTessaryView::IDC_CRC_RESULT, "ZZ", "", true},
        {CTessaryView::IDC_HEX2ASCII_INPUT, CTessaryView::IDC_HEX2ASCII_RESULT, "GG", "", true},
        {CTessaryView::IDC_HEX2ASCII_INPUT, CTessaryView::IDC_HEX2ASCII_RESULT, "41004243", "A",
         false},
        {CTessaryView::IDC_ASCII2HEX_INPUT, CTessaryView::IDC_ASCII2HEX_RESULT, "Hello",
         "48656C6C6F", false},
        {CTessaryView::IDC_ASCII2HEX_INPUT, CTessaryView::IDC_ASCII2HEX_RESULT, "가", "B0A1",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_strInput.toStdString());
        m_messages.m_messages.clear();
        Control<QLineEdit>(c.m_nResult)->setText("old");
        Type(c.m_nInput, c.m_strInput);
        EXPECT_EQ(Text(c.m_nResult), "old"); // typing alone computes nothing
        Enter(c.m_nInput);
        EXPECT_EQ(Text(c.m_nResult), c.m_strResult);
        EXPECT_EQ(Text(c.m_nInput), c.m_strInput);
        ASSERT_EQ(m_messages.m_messages.size(), c.m_bMessage ? 1u : 0u);
        if (c.m_bMessage) {
            const QString expected =
                c.m_strInput.size() % 2 != 0
                    ? odd
                    : QString::fromUtf8(
                          "16진수 숫자(0-9, A-F)가 아닌 문자가 있습니다: '%1' (1번째 글자)")
                          .arg(c.m_strInput[0]);
            EXPECT_EQ(m_messages.m_messages[0].m_strText, expected);
        }
    }

    // Enter in the page text or the count: nothing happens, and no button
    // is pressed on the way.
    m_host.m_hub.SetLinkUp(true);
    Type(CTessaryView::IDC_SEND_TEXT, "AB");
    m_messages.m_messages.clear();
    for (int id : {CTessaryView::IDC_SEND_COUNT, CTessaryView::IDC_PAGE_TEXT,
                   CTessaryView::IDC_SAVE, CTessaryView::IDC_OPEN}) {
        Control(id)->setFocus();
        Enter(id);
    }
    EXPECT_EQ(Text(CTessaryView::IDC_SEND_TEXT), "AB");
    EXPECT_EQ(Text(CTessaryView::IDC_SEND_COUNT), "2");
    EXPECT_EQ(Text(CTessaryView::IDC_PAGE_TEXT), "1/1");
    EXPECT_TRUE(m_host.m_control.m_sent.empty());
    EXPECT_TRUE(m_messages.m_messages.empty());
    EXPECT_EQ(m_host.m_nSaves + m_host.m_nOpens, 0);
}

TEST_F(AnalyzerView, LayerRadiosAndFileButtonsGoToTheHost) {
    EXPECT_TRUE(Control<QRadioButton>(CTessaryView::IDC_LAYER_MIDDLE)->isChecked());
    Click(CTessaryView::IDC_LAYER_TOP);
    Click(CTessaryView::IDC_LAYER_BOTTOM);
    Click(CTessaryView::IDC_LAYER_MIDDLE);
    EXPECT_EQ(m_host.m_layers, (std::vector<int>{0, 2, 1}));
    EXPECT_EQ(m_view.GetLayer(), 1);

    Click(CTessaryView::IDC_SAVE);
    EXPECT_EQ(m_host.m_nSaves, 1);
    Click(CTessaryView::IDC_OPEN); // loads one received ack, shown at once
    EXPECT_EQ(m_host.m_nOpens, 1);
    EXPECT_EQ(Cell(0), "ack");
    EXPECT_EQ(Back(0), kRx);
}

TEST_F(AnalyzerView, ColourButtonsStoreTheChosenColourAndRepaint) {
    Receive({0x41});
    m_view.m_chosen = std::nullopt; // cancelled
    Click(CTessaryView::IDC_COLOR_RX);
    EXPECT_EQ(m_view.GetColorRx(), CTessaryView::DEFAULT_COLOR_RX);
    EXPECT_EQ(Back(0), kRx);

    m_view.m_chosen = QColor(0x12, 0x34, 0x56);
    Click(CTessaryView::IDC_COLOR_RX);
    EXPECT_EQ(m_view.GetColorRx(), 0x563412u);
    EXPECT_EQ(Back(0), QColor(0x12, 0x34, 0x56));
    Click(CTessaryView::IDC_COLOR_TEXT);
    EXPECT_EQ(m_view.Grid()->TextColor(), QColor(0x12, 0x34, 0x56));
    EXPECT_TRUE(Control(CTessaryView::IDC_COLOR_RX)->styleSheet().contains("#123456"));
}

TEST_F(AnalyzerView, PrintsThePageShownToAPdf) {
    Receive(Bytes(100, 'A'));
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    m_view.m_strPdf = dir.filePath("page.pdf");
    Click(CTessaryView::IDC_PRINT);
    QFile pdf(m_view.m_strPdf);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF"));
    EXPECT_GT(bytes.size(), 1000);
    EXPECT_EQ(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r"), 1);
    EXPECT_TRUE(bytes.contains("/Title (\xfe\xff")); // the job's name, as UTF-16
    EXPECT_TRUE(m_messages.m_messages.empty());

    // A file that cannot be written is reported, not passed over.
    m_view.m_strPdf = dir.filePath("missing/page.pdf");
    Click(CTessaryView::IDC_PRINT);
    ASSERT_EQ(m_messages.m_messages.size(), 1u);
    EXPECT_EQ(m_messages.m_messages[0].m_strText, QString::fromUtf8("인쇄하지 못했습니다."));

    // Cancelled dialog: nothing printed.
    m_view.m_strPdf.clear();
    QFile::remove(dir.filePath("page.pdf"));
    Click(CTessaryView::IDC_PRINT);
    EXPECT_FALSE(QFile::exists(dir.filePath("page.pdf")));

    QPrinter printer;
    QPrintDialog dialog(&printer);
    CTessaryView::SetUpPrintDialog(dialog);
    for (auto option : {QAbstractPrintDialog::PrintPageRange, QAbstractPrintDialog::PrintSelection})
        EXPECT_FALSE(dialog.testOption(option));
    // The dialog as the user sees it must offer the PDF file among its
    // printers: with no printer installed it is the only way to print.
    dialog.show();
    QStringList printers;
    for (const QComboBox* box : dialog.findChildren<QComboBox*>()) {
        for (int i = 0; i < box->count(); ++i)
            printers << box->itemText(i);
    }
    dialog.hide();
    EXPECT_TRUE(printers.contains(QStringLiteral("Print to File (PDF)")))
        << printers.join('|').toStdString();
}

TEST_F(AnalyzerView, GridCopiesCutsAndPastesCellTextsUntilTheNextRepaint) {
    Receive({0x02, 0x41, 0x0D});
    Receive(Bytes(PAGE_COLUMNS, 'z'));
    CTrafficGrid* grid = m_view.Grid();

    // A drag from cell (0, 0) to cell (1, 1).
    QTest::mousePress(grid, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseMove(grid, QPoint(25, 25));
    QTest::mouseRelease(grid, Qt::LeftButton, {}, QPoint(25, 25));
    EXPECT_TRUE(grid->IsSelected(0));
    EXPECT_TRUE(grid->IsSelected(PAGE_COLUMNS + 1));
    EXPECT_FALSE(grid->IsSelected(2));

    grid->Copy();
    EXPECT_EQ(QApplication::clipboard()->text(), "stx\tA\nz\tz");
    grid->Cut();
    EXPECT_EQ(QApplication::clipboard()->text(), "stx\tA\nz\tz");
    EXPECT_TRUE(Cell(0).isEmpty());
    EXPECT_TRUE(Cell(PAGE_COLUMNS + 1).isEmpty());
    EXPECT_EQ(Cell(2), "cr");

    // Pasting at the last column drops what falls past the edge.
    QApplication::clipboard()->setText("p\tq\r\nr\n");
    grid->Select(PAGE_COLUMNS - 1, PAGE_COLUMNS - 1);
    grid->Paste();
    EXPECT_EQ(Cell(PAGE_COLUMNS - 1), "p");
    EXPECT_EQ(Cell(2 * PAGE_COLUMNS - 1), "r");
    EXPECT_TRUE(Cell(PAGE_COLUMNS).isEmpty()); // "q" does not wrap to the next row
    // A lone CR ends a row as well.
    QApplication::clipboard()->setText("s\rt");
    grid->Select(0, 0);
    grid->Paste();
    EXPECT_EQ(Cell(0), "s");
    EXPECT_EQ(Cell(PAGE_COLUMNS), "t");

    m_view.RefreshScreen();
    EXPECT_EQ(Cell(0), "stx");
    EXPECT_EQ(Cell(PAGE_COLUMNS - 1), "z");

    std::unique_ptr<QMenu> menu(grid->CreateMenu(nullptr));
    QStringList items;
    for (QAction* action : menu->actions())
        items << action->text() + "=" + action->objectName();
    EXPECT_EQ(items, QStringList({"Cut=7000", "Copy=7001", "Paste=7002"}));
}

} // namespace

namespace {

// The marked cells of the page shown.
std::vector<int> Marked(const CTessaryView& view) {
    std::vector<int> cells;
    for (int i = 0; i < PAGE_CELLS; ++i)
        if (view.Grid()->IsMarked(i))
            cells.push_back(i);
    return cells;
}

} // namespace

TEST_F(AnalyzerView, FindBarShowsAndMarksMatchesAcrossRecordsAndPagesWithoutBoxes) {
    // "10 02" starts on the last cell of page 2 and ends, in the next record,
    // on the first cell of page 3.
    Receive(Bytes(1043, 'x'));
    Receive({0x10});
    Receive({0x02, 0x03});
    CFindBar* bar = m_view.FindBar();
    EXPECT_FALSE(bar->isVisible());
    // Shortcuts reach the active window only.
    m_view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&m_view));
    QTest::keyClick(Control(CTessaryView::IDC_SEND_TEXT), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(bar->isVisible());
    EXPECT_TRUE(bar->TextBox()->hasFocus());

    bar->HexBox()->setChecked(true);
    QTest::keyClicks(bar->TextBox(), "10 02");
    QTest::keyClick(bar->TextBox(), Qt::Key_Return);
    EXPECT_EQ(Text(CTessaryView::IDC_PAGE_TEXT), "2/3");
    EXPECT_EQ(Marked(m_view), std::vector<int>{521});
    EXPECT_TRUE(bar->GetStatus().contains("1044")) << bar->GetStatus().toStdString();
    Click(CTessaryView::IDC_PAGE_FORWARD);
    EXPECT_EQ(Marked(m_view), std::vector<int>{0});

    // The only match again, found by wrapping either way.
    QTest::keyClick(bar->TextBox(), Qt::Key_Return);
    EXPECT_TRUE(bar->GetStatus().startsWith(CFindBar::kWrappedForward));
    EXPECT_EQ(Text(CTessaryView::IDC_PAGE_TEXT), "2/3");
    QTest::keyClick(bar->TextBox(), Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_TRUE(bar->GetStatus().startsWith(CFindBar::kWrappedBackward));
    EXPECT_EQ(m_view.GetMatchStart(), 1043u);

    // Text mode: the typed text, as the grid shows it.
    bar->HexBox()->setChecked(false);
    bar->TextBox()->setText("xx");
    QTest::keyClick(bar->TextBox(), Qt::Key_F3); // from the page shown
    EXPECT_EQ(m_view.GetMatchStart(), 522u);
    QTest::keyClick(bar->TextBox(), Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(m_view.GetMatchStart(), 521u);
    EXPECT_EQ(Text(CTessaryView::IDC_PAGE_TEXT), "1/3");
    EXPECT_EQ(Marked(m_view), (std::vector<int>{521}));

    // Nothing there, or a wrong hex text: said in the bar, the mark gone.
    bar->HexBox()->setChecked(true);
    for (const char* text : {"7F", "1"}) {
        bar->TextBox()->setText(text);
        QTest::keyClick(bar->TextBox(), Qt::Key_Return);
        EXPECT_FALSE(m_view.HasMatch()) << text;
        EXPECT_TRUE(Marked(m_view).empty()) << text;
        EXPECT_FALSE(bar->GetStatus().isEmpty()) << text;
    }
    bar->TextBox()->setText("7F");
    QTest::keyClick(bar->TextBox(), Qt::Key_Return);
    EXPECT_EQ(bar->GetStatus(), CFindBar::kNotFound);
    EXPECT_TRUE(m_messages.m_messages.empty());

    QTest::keyClick(bar->TextBox(), Qt::Key_Escape);
    EXPECT_FALSE(bar->isVisible());
}
