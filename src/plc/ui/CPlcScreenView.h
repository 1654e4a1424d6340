#pragma once

#include "app/ui/CScreenView.h"
#include "plc/CPlcEngine.h"
#include "plc/CPlcScreenState.h"
#include "plc/CPlcSettingsFile.h"
#include "plc/MemoryTable.h"
#include "plc/ui/CTrendWindow.h"

#include <QPointer>
#include <QString>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <memory>

class CMemorySetDlg;
class CMemoryTreeModel;
class CPlcEngine;
class CRequestGrid;
class ILinkHub;
class QButtonGroup;
class QLabel;
class QPushButton;
class QTreeView;

// The form the six PLC screens share: the memory tree at the top left, the
// request grid below it, and on the right the PLC's caption, the radix,
// the settings-file buttons, start and stop, and the lamps. A screen gives
// its texts, its extra radio group if it has one, and its engine; the rest
// is here. Every control's object name is its id in the screens' template.
//
// The table and the grid's rows outlive the window (CPlcScreenState, kept
// by the host): a screen switch loses neither. The first window of a run
// shows the settings file's rows, as "열기" would.
class CPlcScreenView : public CScreenView {
    Q_OBJECT
public:
    enum ControlId {
        IDC_GRID_FRAME = 1006,
        IDC_SAVE = 1038,
        IDC_OPEN = 1039,
        IDC_TREE = 1044,
        IDC_SEND = 1045,
        IDC_STOP = 1046,
        IDC_RADIX_BINARY = 1058,
        IDC_RADIX_DECIMAL = 1059,
        IDC_RADIX_HEX = 1060,
        // The diagnostics row under the tree, ours.
        IDC_COUNTERS = 1100,
        IDC_COUNTERS_RESET = 1101,
        IDC_EXPORT_CSV = 1102,
        IDC_TREND = 1103,
    };
    static constexpr int ID_TIMER_TREE = 2;
    static constexpr int TIMER_TREE_MS = 1000;
    static constexpr const char* kSaveFailed = "INI 파일을 저장하지 못했습니다.";
    static constexpr const char* kNoRows =
        "요청 ROW가 없어 통신을 시작하지 않습니다. 설정 파일은 그대로 둡니다.";

    // What differs between the PLC screens.
    struct SForm {
        int m_nScreen = 0;
        QString m_strCaption;
        QString m_strRootLabel;
        QString m_strTitlePrefix;
        // The extra radio group ("TX" with two choices); none when its title
        // is empty. Its top is in the template's dialog units.
        QString m_strModeGroup;
        QString m_strMode0;
        QString m_strMode1;
        int m_nModeId0 = 0;
        int m_nModeId1 = 0;
        int m_nDefaultMode = 0;
        int m_nModeGroupTop = 140;
        bool m_bBackground = true;
    };
    using EngineFactory = std::function<std::unique_ptr<CPlcEngine>(ILinkHub& hub)>;

    CPlcScreenView(IScreenHost& host, SForm form, EngineFactory makeEngine,
                   QWidget* parent = nullptr);
    ~CPlcScreenView() override;

    void InitialUpdate() override;
    // The data path: every block goes to the engine.
    void OnLinkData(const std::uint8_t* bytes, int count) override;

    // The buttons' commands.
    void OnSend();
    void OnStop();
    void OnSaveRows();
    void OnLoadRows();
    // Timer 2: the tree shows the table in the chosen radix.
    void OnTreeTimer();
    // Double-click or Enter on the tree: the memory-setting dialog for the
    // selected word, from the event queue; nothing for the root.
    void OnTreeActivated();
    // The dialog for the tree's selected word, and the write it confirms.
    void EditMemory();
    // The diagnostics row: the counters start again from 0; the table goes
    // to a CSV file the user names; the trend window opens with the words
    // selected in the tree added to it.
    void OnResetCounters();
    void OnExportCsv();
    void OnTrend();
    // Writes the table as CSV safely; false with the reason.
    bool ExportMemoryCsv(const std::filesystem::path& path, QString& problem) const;
    // "요청 R · 정상 G · 불량 B · 예외 E · 시간초과 T · RTT 최근 L / 평균 A ms".
    static QString CountersText(const CPlcEngine::SCounters& counters);
    QLabel* CountersLabel() const { return m_pCounters; }
    CTrendWindow* Trend() const { return m_pTrend; }

    const SForm& GetForm() const { return m_form; }
    MemoryTable& Memory() { return m_memory; }
    CPlcEngine* Engine() const { return m_pEngine.get(); }
    CRequestGrid* Grid() const { return m_pGrid; }
    QTreeView* Tree() const { return m_pTree; }
    CMemoryTreeModel* Model() const { return m_pModel; }
    QPushButton* Button(int id) const;
    int GetRadix() const { return m_nRadix; }
    int GetMode() const { return m_nMode; }
    bool IsPolling() const;
    bool IsPollTimerActive() const { return m_pollTimer.isActive(); }
    bool IsTreeTimerActive() const { return m_treeTimer.isActive(); }
    const std::filesystem::path& GetSettingsPath() const { return m_path; }

protected:
    // Runs the dialog; true when the user confirmed it. Tests answer it
    // without a window.
    virtual bool RunMemoryDialog(CMemorySetDlg& dialog);
    // Where to save the table's CSV; empty when the user cancelled.
    virtual QString AskCsvPath();

    QString TitlePrefix() const override { return m_form.m_strTitlePrefix; }
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildControls();
    void ReadControls();
    void ShowValues();
    void ShowPolling(bool bPolling);
    void ShowCounters();
    void OnEngineTimer(int id, int periodMs);
    void PlaceLamps();
    std::vector<std::vector<std::string>> GridRows() const;
    void ShowRows(const std::vector<std::vector<std::string>>& rows);
    // Fills the grid from the settings file; the problems found are said
    // now or, while a screen is being set up, once it is in place.
    void LoadRows(bool bSayLater);

    SForm m_form;
    EngineFactory m_fnMakeEngine;
    CPlcSettingsFile m_file;
    std::shared_ptr<CPlcScreenState> m_pState;
    MemoryTable& m_memory;
    std::filesystem::path& m_path;
    bool m_bSetUp = false; // this window has run its set-up
    int m_nRadix = 1;
    int m_nMode = 0;

    QTimer m_treeTimer;
    QTimer m_pollTimer;
    std::unique_ptr<CPlcEngine> m_pEngine;

    CMemoryTreeModel* m_pModel = nullptr;
    QTreeView* m_pTree = nullptr;
    CRequestGrid* m_pGrid = nullptr;
    QLabel* m_pCaption = nullptr;
    QButtonGroup* m_pRadixGroup = nullptr;
    QButtonGroup* m_pModeGroup = nullptr;
    QPushButton* m_pSend = nullptr;
    QPushButton* m_pStop = nullptr;
    QPushButton* m_pSave = nullptr;
    QPushButton* m_pOpen = nullptr;
    QLabel* m_pCounters = nullptr;
    QPushButton* m_pReset = nullptr;
    QPushButton* m_pExportCsv = nullptr;
    QPushButton* m_pTrendButton = nullptr;
    QPointer<CTrendWindow> m_pTrend;
    QRect m_lampFrame;
};
