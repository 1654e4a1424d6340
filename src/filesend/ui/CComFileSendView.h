#pragma once

#include "app/ui/CScreenView.h"
#include "filesend/FileTransferRecord.h"
#include "filesend/IFileSendScreen.h"

#include <QString>
#include <QTimer>

#include <filesystem>
#include <memory>

class CFileSendEngine;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

// Screen 8: a queue of files to send to another copy of the program, the
// folder received files go to, and a progress line and bar for each
// direction. It owns the transfer engine and the record the two share.
class CComFileSendView : public CScreenView, public IFileSendScreen {
    Q_OBJECT
public:
    static constexpr int SCREEN = 8;
    enum ControlId {
        IDC_SEND_PATH = 1026,
        IDC_SAVE = 1038,
        IDC_OPEN = 1039,
        IDC_MY_IP = 1040,
        IDC_RECEIVE_BOX = 1041,
        IDC_SEND = 1045,
        IDC_STOP = 1046,
        IDC_RECEIVE_BAR = 1065,
        IDC_SEND_BAR = 1066,
        IDC_RECEIVE_LINE = 1069,
        IDC_SEND_LINE = 1070,
        IDC_ADD = 1073,
        IDC_MODIFY = 1074,
        IDC_DELETE = 1075,
        IDC_LIST = 1077,
        IDC_FOLDER = 1099,
    };
    static constexpr const char* kGreeting = "안녕하세요 파일창입니다.";
    static constexpr const char* kListFile = "filesend_plc.ini";
    static constexpr const char* kSection = "FILESEND_INI";
    static constexpr const char* kBusyReceiving = "파일을 받고 있을 때는 파일을 보낼 수 없습니다.";
    static constexpr const char* kFirstRowBusy =
        "통신 중에는 첫번째 리스트 내용을 수정할 수 없습니다.";
    static constexpr const char* kFolderBusy = "파일을 받는 중에는 폴더를 바꿀 수 없습니다.";
    static constexpr int kMaxRows = 9999;

    explicit CComFileSendView(IScreenHost& host, QWidget* parent = nullptr);
    ~CComFileSendView() override;

    void InitialUpdate() override;
    void OnLinkData(const std::uint8_t* bytes, int count) override;

    // IFileSendScreen
    void SetSendProgress(std::uint64_t total, std::uint64_t done) override;
    void SetReceiveProgress(std::uint64_t total, std::uint64_t done) override;
    void ShowReceivePath(const std::string& text) override;
    bool DeleteRow(int row) override;
    bool LoadFirstRow() override;
    void StopCommand() override { OnStop(); }
    void Repaint() override { update(); }

    // The buttons' bodies, public for tests.
    void OnSend();
    void OnStop();
    void AddFiles(const QStringList& paths);
    void ModifyRow(int row, const QString& path, const QString& name);
    void OnDelete();
    bool SaveList();
    void LoadList();
    void SetReceiveFolder(const QString& folder);

    QTreeWidget* List() const { return m_pList; }
    QPushButton* Button(int id) const;
    CFileSendEngine* Engine() const { return m_pEngine.get(); }
    FileTransferRecord& Record() { return m_record; }
    const std::filesystem::path& ListPath() const { return m_listPath; }
    bool IsReceiving() const;
    // The receive folder's default: a folder under the user's home.
    static QString DefaultFolder();

protected:
    QString TitlePrefix() const override { return tr("파일 전송"); }
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void AddRow(const QString& order, const QString& name, const QString& path);
    void OnAdd();
    void OnModify();
    void OnFolder();
    void SetButtonsSending(bool sending);
    static void ShowProgress(QLineEdit* line, QProgressBar* bar, std::uint64_t total,
                             std::uint64_t done, const std::string& rate);

    FileTransferRecord m_record;
    std::unique_ptr<CFileSendEngine> m_pEngine;
    std::filesystem::path m_listPath;
    QTimer m_engineTimer;

    QTreeWidget* m_pList = nullptr;
    QLineEdit* m_pSendPath = nullptr;
    QLineEdit* m_pSendLine = nullptr;
    QProgressBar* m_pSendBar = nullptr;
    QLineEdit* m_pReceiveBox = nullptr;
    QLineEdit* m_pReceiveLine = nullptr;
    QProgressBar* m_pReceiveBar = nullptr;
    QPushButton* m_pSend = nullptr;
    QPushButton* m_pStop = nullptr;
    QPushButton* m_pAdd = nullptr;
    QPushButton* m_pModify = nullptr;
    QPushButton* m_pDelete = nullptr;
    QPushButton* m_pSave = nullptr;
    QPushButton* m_pOpen = nullptr;
    QPushButton* m_pFolder = nullptr;
    QPushButton* m_pMyIp = nullptr;
};
