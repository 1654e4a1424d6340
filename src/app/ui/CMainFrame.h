#pragma once

#include "app/CLinkHub.h"
#include "app/CProgramSettings.h"
#include "app/CScreenStates.h"
#include "app/CTessaryDoc.h"
#include "app/ui/IScreenHost.h"
#include "link/CComPortMap.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>

class CLinkManager;
class CScreenView;
class ISettingsStore;
class QAction;
class QFileDialog;
class QMenu;
class QMimeData;
class QSystemTrayIcon;

// The program's one window and the hub between the screens and the link:
// the menus, "통신 설정", the capture switch, screen switching, the window
// layer, the tray icon and the exit that saves the settings.
class CMainFrame : public QMainWindow, public IScreenHost {
    Q_OBJECT
public:
    // Menu commands by their ids.
    enum Command {
        ID_SCREEN_FIRST = 32778, // 32778..32787: screens 0..9
        ID_REFRESH = 32788,
        ID_CLEAR = 32789,
        ID_CAPTURE_START = 32791,
        ID_CAPTURE_STOP = 32792,
        ID_HELP_PROGRAM = 32793,
        ID_LINK_FIRST = 32794, // 32794..32800: link kinds 0..6
        ID_FILE_CLOSE = 32801,
        ID_MY_IP = 32814,
        ID_LAYER_TOP = 32815,
        ID_LAYER_NORMAL = 32816,
        ID_LAYER_BOTTOM = 32817,
        ID_TRAY = 32818,
        ID_FILE_EXPORT_PCAPNG = 32830,
        ID_FILE_NEW = 57600,
        ID_FILE_OPEN = 57601,
        ID_FILE_SAVE = 57603,
        ID_FILE_SAVE_AS = 57604,
        ID_FILE_MRU_FIRST = 57616, // 57616..57619: the four last files
        ID_APP_ABOUT = 57664,
    };
    static constexpr int WIDTH = 680;
    static constexpr int HEIGHT = 575;
    static constexpr const char* kFrameTitle = "Analyzer";
    static constexpr const char* kNewDocumentTitle = "Tessary";
    // One filter for opening and saving, matching both cases of the
    // extension on file systems that tell them apart.
    static constexpr const char* kCaptureFilter = "Analyzer 파일 (*.alr *.ALR);;All Files (*)";
    static constexpr const char* kRecentMissingMessage =
        "파일을 찾을 수 없어 최근 파일 목록에서 뺍니다: ";
    static constexpr const char* kSettingsNotSavedMessage = "설정을 저장하지 못했습니다: ";
    static constexpr const char* kNoTrayMessage =
        "이 데스크톱에는 시스템 트레이가 없어 트레이 아이콘을 표시할 수 없습니다.";

    // Runs a link kind's settings dialog on the values; false when it was
    // cancelled.
    using LinkDialogFn = std::function<bool(int kind, LinkSettings& settings)>;
    // Asks for a file name; empty when cancelled.
    using PathFn = std::function<QString()>;

    // settings: as loaded at start-up; store: where the exit writes them.
    CMainFrame(const CProgramSettings& settings, ISettingsStore& store, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // IScreenHost
    CLinkHub& Hub() override { return *m_pHub; }
    CTessaryDoc& Doc() override { return m_doc; }
    void SetWindowLayer(int layer) override;
    void SaveCapture() override { OnCommand(ID_FILE_SAVE); }
    void OpenCapture() override { OnCommand(ID_FILE_OPEN); }
    void SetDocumentTitle(const QString& title) override;
    CScreenStates* States() override { return &m_states; }

    // Runs a menu command as if it was chosen.
    void OnCommand(int id);
    QAction* Action(int id) const;
    QMenu* FileMenu() const { return m_pFileMenu; }

    CScreenView* Screen() const { return m_pScreen; }
    int GetWindowLayer() const { return m_nWindowLayer; }
    bool IsTrayMode() const { return m_bTrayMode; }
    const QString& GetDocumentPath() const { return m_strDocPath; }
    CComPortMap& Ports() { return m_ports; }

    // The shell's open (command line, drop): loads the file and names the
    // document after it. false, with the message shown, when it fails.
    bool OpenDocument(const QString& path);
    // A drop: the first ".alr" file among the dropped ones opens as the
    // document; false when there is none.
    bool OpenDropped(const QMimeData* mime);
    // Shows screen n (0..9); a number with no screen is refused.
    bool SwitchScreen(int screen);

    void SetLinkDialog(LinkDialogFn fn) { m_fnLinkDialog = std::move(fn); }
    void SetOpenPathDialog(PathFn fn) { m_fnAskOpenPath = std::move(fn); }
    void SetSavePathDialog(PathFn fn) { m_fnAskSavePath = std::move(fn); }
    // The help window the menu shows (made by the application).
    void SetHelpWindow(QWidget* help) { m_pHelp = help; }

    // The capture file dialog, Qt's own on every platform: "열기" takes any
    // typed name (the open command settles the extension), "저장" adds
    // ".alr" to a name typed without one.
    static QFileDialog* MakeCaptureDialog(QWidget* parent, bool save, const QString& path);
    // The four last files, newest first, as the 파일 menu lists them.
    QStringList RecentFiles() const;
    // Opens entry i (0..3) of the list as the shell would; a file that is
    // gone is said so and dropped from the list.
    void OpenRecentFile(int index);

    // Writes the ten keys from the frame's state.
    void SaveSettings();

signals:
    // After the exit has saved the settings and closed the link.
    void exited();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildMenus();
    QAction* AddCommand(QMenu* menu, int id, const QString& text, bool checkable = false);
    void UpdateChecks();
    void SetupLink(int kind);
    void OpenCaptureFile();
    bool SaveDocument(bool askName);
    void SetTrayMode(bool on);
    void RefreshScreen();
    void ShowHelp();
    void ShowAbout();
    void ShowMessage(const QString& text);
    void AddRecentFile(const QString& path);
    void WriteRecentFiles(const QStringList& files);
    void UpdateRecentMenu();
    // After a load that changed the capture: the analyzer shows it.
    void ShowLoadedCapture();

    ISettingsStore& m_store;
    CProgramSettings m_settings;
    CTessaryDoc m_doc;
    CScreenStates m_states; // outlives every screen: deleted after them
    CComPortMap m_ports;
    std::unique_ptr<CLinkHub> m_pHub;
    std::unique_ptr<CLinkManager> m_pLinkManager;
    CScreenView* m_pScreen = nullptr;
    QWidget* m_pPane;
    QPointer<QWidget> m_pHelp;
    QSystemTrayIcon* m_pTrayIcon = nullptr;
    QMenu* m_pFileMenu = nullptr;
    QAction* m_pFileClose = nullptr;
    QList<QAction*> m_recentActions;
    std::map<int, QAction*> m_actions;

    LinkDialogFn m_fnLinkDialog;
    PathFn m_fnAskOpenPath;
    PathFn m_fnAskSavePath;

    QString m_strDocTitle;
    QString m_strDocPath;
    int m_nWindowLayer = 1;
    bool m_bTrayMode = false;
    bool m_bTrayWarned = false;
    bool m_bExited = false;
};
