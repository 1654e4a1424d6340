#pragma once

#include "app/ui/CScreenView.h"
#include "userproto/CUserEngine.h"

#include <QTimer>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class CRequestGrid;
class QButtonGroup;
class QPushButton;
class QTreeWidget;

// Screen 7: the user protocol. The packet list at the top (newest line
// first), the rows below it, and on the right the view radios, the settings
// file buttons, start and stop, "CLEAR" and the lamps. The rows live in
// "user_plc.ini" of the current directory; the grid's rows outlive the
// window as the PLC screens' do.
class CComUserView : public CScreenView {
    Q_OBJECT
public:
    enum ControlId {
        IDC_GRID_FRAME = 1006,
        IDC_VIEW_ASCII = 1012,
        IDC_VIEW_BINARY = 1013,
        IDC_SAVE = 1038,
        IDC_OPEN = 1039,
        IDC_SEND = 1045,
        IDC_STOP = 1046,
        IDC_PACKETS = 1055,
        IDC_CLEAR = 1057,
    };
    static constexpr int SCREEN = 7;
    static constexpr const char* kGreeting = "안녕하세요 사용자 창입니다.";
    // The list keeps this many lines; older ones go from the bottom, so a
    // run of days cannot take all memory.
    static constexpr int kMaxLines = 10000;

    explicit CComUserView(IScreenHost& host, QWidget* parent = nullptr);
    ~CComUserView() override;

    void InitialUpdate() override;
    void OnLinkData(const std::uint8_t* bytes, int count) override;

    // The packet list's new top line; icon 0 for "SEND", 1 for the rest.
    void AddPacketRow(const QString& strData, const QString& strSize, const QString& strType,
                      const QString& strDirection);
    void OnSend();
    void OnStop();
    void OnSaveRows();
    void OnLoadRows();
    void OnClear();

    CUserEngine* Engine() const { return m_pEngine.get(); }
    CRequestGrid* Grid() const { return m_pGrid; }
    QTreeWidget* Packets() const { return m_pPackets; }
    QPushButton* Button(int id) const;
    int GetViewMode() const { return m_nViewMode; }
    bool IsEngineTimerActive() const { return m_engineTimer.isActive(); }
    const std::filesystem::path& GetSettingsPath() const { return m_path; }

protected:
    QString TitlePrefix() const override { return tr("User PLC 통신"); }
    void resizeEvent(QResizeEvent* event) override;

private:
    struct SState;

    void BuildControls();
    void ShowRunning(bool bRunning);
    std::vector<std::vector<std::string>> GridRows() const;
    void ShowRows(const std::vector<std::vector<std::string>>& rows);
    void PlaceLamps();

    std::shared_ptr<SState> m_pState;
    std::filesystem::path m_path;
    bool m_bSetUp = false;
    int m_nViewMode = CUserEngine::VIEW_ASCII;
    QTimer m_engineTimer;
    std::unique_ptr<CUserEngine> m_pEngine;

    QTreeWidget* m_pPackets = nullptr;
    CRequestGrid* m_pGrid = nullptr;
    QButtonGroup* m_pViewGroup = nullptr;
    QPushButton* m_pSave = nullptr;
    QPushButton* m_pOpen = nullptr;
    QPushButton* m_pSend = nullptr;
    QPushButton* m_pStop = nullptr;
    QPushButton* m_pClear = nullptr;
    QRect m_lampFrame;
};
