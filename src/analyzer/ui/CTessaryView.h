#pragma once

#include "analyzer/CTrafficPage.h"
#include "app/ui/CScreenView.h"

#include <QColor>

#include <cstdint>
#include <optional>

class CFindBar;
class CTrafficGrid;
class QButtonGroup;
class QLineEdit;
class QPrinter;
class QPrintDialog;
class QPushButton;

// Screen 0, the analyzer: the captured traffic page by page in a 29 x 18
// grid, the send box and the four check tools. Every control's object name
// is its id in the screen's template.
class CTessaryView : public CScreenView {
    Q_OBJECT
public:
    enum ControlId {
        IDC_GRID = 1006,
        IDC_LAYER_TOP = 1007,
        IDC_LAYER_MIDDLE = 1008,
        IDC_LAYER_BOTTOM = 1009,
        IDC_TX_ASCII = 1010,
        IDC_TX_BINARY = 1011,
        IDC_RX_ASCII = 1012,
        IDC_RX_BINARY = 1013,
        IDC_SUM_INPUT = 1014,
        IDC_SUM_RESULT = 1015,
        IDC_CRC_INPUT = 1017,
        IDC_CRC_RESULT = 1018,
        IDC_HEX2ASCII_INPUT = 1020,
        IDC_HEX2ASCII_RESULT = 1021,
        IDC_ASCII2HEX_INPUT = 1023,
        IDC_ASCII2HEX_RESULT = 1024,
        IDC_SEND_TEXT = 1026,
        IDC_COLOR_RX = 1029,
        IDC_COLOR_TX = 1033,
        IDC_SAVE = 1036,
        IDC_OPEN = 1037,
        IDC_PAGE_TEXT = 1038,
        IDC_COLOR_TEXT = 1039,
        IDC_PRINT = 1040,
        IDC_SEND_COUNT = 1041,
        IDC_PAGE_BACK = 1042,
        IDC_PAGE_FORWARD = 1043,
    };
    static constexpr std::uint32_t DEFAULT_COLOR_RX = 0x0080FF;
    static constexpr std::uint32_t DEFAULT_COLOR_TX = 0x808040;
    static constexpr std::uint32_t DEFAULT_COLOR_TEXT = 0x000000;
    static constexpr int MAX_SEND_BYTES = 4096;
    static constexpr const char* kPrintJobName = "데이터인쇄";
    static constexpr const char* kLinkDownMessage =
        "통신 설정을 안했거나 통신이 실패한 상태입니다.";
    static constexpr const char* kHalfByteMessage =
        "보내는 바이트가 정수가 아니면 보낼 수 없습니다.";
    static constexpr const char* kHalfByteTitle = "보내는 바이트 확인";
    static constexpr const char* kPrintFailedMessage = "인쇄하지 못했습니다.";
    static constexpr const char* kTooLongMessage =
        "한 번에 보낼 수 있는 데이터는 4096 바이트까지입니다.";

    explicit CTessaryView(IScreenHost& host, QWidget* parent = nullptr);
    ~CTessaryView() override;

    void InitialUpdate() override;

    int GetPage() const { return m_nPage; }
    int GetRxMode() const { return m_nRxMode; }
    int GetTxMode() const { return m_nTxMode; }
    int GetLayer() const { return m_nLayer; }
    double GetSendCount() const { return m_dSendCount; }
    std::uint32_t GetColorRx() const { return m_colorRx; }
    std::uint32_t GetColorTx() const { return m_colorTx; }
    std::uint32_t GetColorText() const { return m_colorText; }
    CTrafficGrid* Grid() const { return m_pGrid; }
    const CTrafficPage& Page() const { return m_page; }

    // Shows a page (clamped to the capture) as the page buttons do.
    void ShowPage(int page);
    // The send box's Enter, run from the event queue.
    void SendFromBox();
    // "인쇄": the print dialog, then the job.
    void PrintPage();
    // Prints the page shown on a printer already set up; false when the
    // printer could not start the job or the page.
    bool PrintTo(QPrinter& printer);
    // The options the print dialog is shown with.
    static void SetUpPrintDialog(QPrintDialog& dialog);

    // Ctrl+F: the find bar, over the check tools, until closed or Escape.
    void OpenFindBar();
    void CloseFindBar();
    CFindBar* FindBar() const { return m_pFindBar; }
    // Enter / F3 forward, Shift+Enter / Shift+F3 backward: from the match
    // shown, else from the page shown. The match's page is shown with its
    // bytes marked; the bar says when the search wrapped or found nothing.
    void Find(bool forward);
    bool HasMatch() const { return m_bMatch; }
    std::uint64_t GetMatchStart() const { return m_nMatchStart; }

protected:
    void Redraw() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // The colour chooser, starting at the current colour; nothing when the
    // user cancels. Tests answer without a window.
    virtual std::optional<QColor> ChooseColor(const QColor& current);
    // Shows the print dialog for the printer; false when cancelled.
    virtual bool RunPrintDialog(QPrinter& printer);

private:
    void BuildControls();
    void ResetState();
    void ShowValues();
    void UpdateSendCount();
    void ShowColorButtons();
    void OnColorButton(int id);
    void RunTool(int input);
    // Called with the key's control: true when Enter is consumed there.
    bool OnEnter(QObject* focus, Qt::KeyboardModifiers modifiers);
    void ShowMatchMark();

    CTrafficPage m_page;
    int m_nPage = 1;
    std::uint32_t m_colorRx = DEFAULT_COLOR_RX;
    std::uint32_t m_colorTx = DEFAULT_COLOR_TX;
    std::uint32_t m_colorText = DEFAULT_COLOR_TEXT;
    int m_nLayer = 1;
    int m_nTxMode = 0;
    int m_nRxMode = 0;
    double m_dSendCount = 0;

    CTrafficGrid* m_pGrid = nullptr;
    QLineEdit* m_pPageText = nullptr;
    QLineEdit* m_pSendText = nullptr;
    QLineEdit* m_pSendCount = nullptr;
    QButtonGroup* m_pLayerGroup = nullptr;
    QButtonGroup* m_pRxGroup = nullptr;
    QButtonGroup* m_pTxGroup = nullptr;
    QPushButton* m_pColorRx = nullptr;
    QPushButton* m_pColorTx = nullptr;
    QPushButton* m_pColorText = nullptr;
    CFindBar* m_pFindBar = nullptr;
    bool m_bMatch = false;
    std::uint64_t m_nMatchStart = 0;
    std::uint64_t m_nMatchLength = 0;
};
