#include "CDrovane.h"

#include "CQtDrovaneUi.h"
#include "IConnector.h"
#include "WinError.h"
#include "frmConnection.h"

#include <QLineEdit>

#include <exception>

CDrovane::CDrovane()
    : m_pOwnedConnector(CreatePlatformConnector()), m_pOwnedUi(std::make_unique<CQtDrovaneUi>()),
      m_pConnector(m_pOwnedConnector.get()), m_pUi(m_pOwnedUi.get()) {}

CDrovane::CDrovane(IConnector& connector, IDrovaneUi& ui) : m_pConnector(&connector), m_pUi(&ui) {}

CDrovane::~CDrovane() = default;

int CDrovane::Connection(const QString& strPath, const QString& strLocal, const QString& strUser,
                         const QString& strPass) {
    m_strPath = strPath;
    m_strLocal = strLocal;
    m_strUser = strUser;
    m_strPass = strPass;
    FirstConnection();
    return m_bConnected ? 1 : 2;
}

bool CDrovane::FirstConnection() {
    m_bConnected = false;
    try {
        // The current user's own credentials, and the drive string untouched.
        const int nCode = m_pConnector->AddConnection(m_strPath, QString(), m_strLocal);
        if (nCode == WinError::SUCCESS) {
            m_bConnected = true;
            return true;
        }
        switch (nCode) {
        case WinError::BAD_NET_NAME:
        case WinError::INVALID_PASSWORD:
        case WinError::BAD_DEVICE:
        case WinError::CANNOT_OPEN_PROFILE:
        case WinError::BAD_PROFILE:
            Retry();
            break;
        default:
            ShowCommonMessage(nCode);
            break;
        }
    } catch (const std::exception& e) {
        ShowError(e.what());
    } catch (...) {
        ShowError("Unknown error");
    }
    return false;
}

frmConnection& CDrovane::Form() {
    if (!m_pForm) {
        m_pForm = std::make_unique<frmConnection>();
        connect(m_pForm.get(), &frmConnection::Command1Clicked, this, &CDrovane::OnFormConnect);
    }
    return *m_pForm;
}

void CDrovane::Retry() {
    const int nCode = ConnectAs(m_strUser, m_strPass);
    if (nCode != WinError::INVALID_PASSWORD && nCode != WinError::CANNOT_OPEN_PROFILE &&
        nCode != WinError::BAD_PROFILE) {
        ReportRetryCode(nCode);
        return;
    }
    // Other credentials are needed: offer the given ones in the form, move
    // the focus to the box at fault and wait until the form is hidden.
    frmConnection& form = Form();
    form.Text1(0)->setText(m_strUser);
    form.Text1(1)->setText(m_strPass);
    ReportRetryCode(nCode);
    m_pUi->RunForm(form);
}

int CDrovane::ConnectAs(const QString& strUser, const QString& strPass) {
    NetResource resource;
    // A drive string that already carries its colon keeps the one it has.
    resource.m_strLocalName =
        m_strLocal.endsWith(QLatin1Char(':')) ? m_strLocal : m_strLocal + QLatin1Char(':');
    resource.m_strRemoteName = m_strPath;
    const int nCode = m_pConnector->AddConnection2(resource, strPass, strUser,
                                                   IConnector::CONNECT_UPDATE_PROFILE);
    m_bConnected = nCode == WinError::SUCCESS;
    return nCode;
}

void CDrovane::ReportRetryCode(int nCode) {
    switch (nCode) {
    case WinError::INVALID_PASSWORD:
        m_pUi->ShowMessage(m_strPath + tr("는 \r\n암호가 유효하지 않습니다."));
        Form().SelectBox(1);
        break;
    case WinError::CANNOT_OPEN_PROFILE:
        Form().SelectBox(0);
        break;
    case WinError::BAD_PROFILE:
        m_pUi->ShowMessage(tr("접속자 이름이 잘못되었습니다."));
        Form().SelectBox(0);
        break;
    default:
        ShowCommonMessage(nCode);
        break;
    }
}

bool CDrovane::ShowCommonMessage(int nCode) {
    QString strText;
    switch (nCode) {
    case WinError::ACCESS_DENIED:
        strText = m_strPath + tr("는\r\n접근이 불가능 합니다.");
        break;
    case WinError::BAD_DEV_TYPE:
        strText = m_strPath + tr("는 \r\n장치 유형과 자원 유형이 일치하지 않습니다.");
        break;
    case WinError::ALREADY_ASSIGNED:
        strText = m_strPath + tr("는 \r\n이미 연결되어 있습니다.");
        break;
    case WinError::NO_NET_OR_BAD_PATH:
        strText = tr("네트워크 상의 컴퓨터가 작동주이지 않거나 사용할 수 없습니다.");
        break;
    case WinError::EXTENDED_ERROR:
        strText = tr("네트워크 상에 오류가 발생되었습니다.");
        break;
    case WinError::NO_NETWORK:
        strText = m_strPath + tr("라는\r\n네트워크가 존재하지 않습니다.");
        break;
    default:
        return false;
    }
    m_pUi->ShowMessage(strText);
    return true;
}

void CDrovane::OnFormConnect() {
    frmConnection& form = Form();
    try {
        const int nCode = ConnectAs(form.Text1(0)->text(), form.Text1(1)->text());
        if (nCode == WinError::SUCCESS) {
            form.accept();
            return;
        }
        ReportRetryCode(nCode);
    } catch (const std::exception& e) {
        ShowError(e.what());
    } catch (...) {
        ShowError("Unknown error");
    }
}

void CDrovane::ShowError(const char* pszDescription) {
    m_bConnected = false;
    m_pUi->ShowMessage(QString::fromUtf8(pszDescription));
}
