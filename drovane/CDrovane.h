#pragma once

#include "DrovaneExport.h"

#include <QObject>
#include <QString>

#include <memory>

class IConnector;
class IDrovaneUi;
class frmConnection;

// Maps a shared network folder to a local drive: first as the current user,
// then, when the platform asks for other credentials, with the user name and
// password the caller gave, and if those fail too, with what the user types
// into the connection form. Failures are explained in message boxes.
class DROVANE_EXPORT CDrovane : public QObject {
    Q_OBJECT
public:
    // The platform's connector and real message boxes.
    CDrovane();
    // Borrowed connector and user interface; both must outlive this object.
    CDrovane(IConnector& connector, IDrovaneUi& ui);
    ~CDrovane() override;

    // 1 when the drive got connected (at the first attempt, by the retry or
    // through the form), 2 when not. Never throws.
    int Connection(const QString& strPath, const QString& strLocal, const QString& strUser,
                   const QString& strPass);
    // Runs the attempts with the strings of the last Connection call and
    // tells whether the first attempt connected.
    bool FirstConnection();

    bool IsConnected() const { return m_bConnected; }
    const QString& Path() const { return m_strPath; }
    const QString& Local() const { return m_strLocal; }
    const QString& User() const { return m_strUser; }
    const QString& Pass() const { return m_strPass; }

    // The connection form, made when first needed.
    frmConnection& Form();

private:
    void Retry();
    int ConnectAs(const QString& strUser, const QString& strPass);
    // Messages and focus moves of the retry's and the form's codes.
    void ReportRetryCode(int nCode);
    // The messages both attempts share; false when the code has none.
    bool ShowCommonMessage(int nCode);
    void OnFormConnect();
    void ShowError(const char* pszDescription);

    std::unique_ptr<IConnector> m_pOwnedConnector;
    std::unique_ptr<IDrovaneUi> m_pOwnedUi;
    IConnector* m_pConnector;
    IDrovaneUi* m_pUi;
    std::unique_ptr<frmConnection> m_pForm;

    QString m_strPath;
    QString m_strLocal;
    QString m_strUser;
    QString m_strPass;
    bool m_bConnected = false;
};
