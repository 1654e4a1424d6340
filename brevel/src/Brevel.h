#pragma once

#include "BrevelExport.h"
#include "CommError.h"
#include "MSComm.h"

#include <QByteArray>
#include <QString>
#include <QWidget>

class IPropertyBag;
class QLabel;
class QTimer;

// A serial port control for forms: set the port number and line settings,
// open the port, and receive each burst of incoming bytes as one text in
// DataReceive, once the line has been quiet for five 10 ms ticks.
class BREVEL_EXPORT Brevel : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Settings READ Settings WRITE SetSettings)
    Q_PROPERTY(int InputLen READ InputLen WRITE SetInputLen)
    Q_PROPERTY(int InBufferSize READ InBufferSize WRITE SetInBufferSize)
    Q_PROPERTY(MSComm::HandshakeConstants Handshaking READ Handshaking WRITE SetHandshaking)
    Q_PROPERTY(bool EOFEnable READ EOFEnable WRITE SetEOFEnable)
    Q_PROPERTY(bool DTREnable READ DTREnable WRITE SetDTREnable)
    Q_PROPERTY(int CommPort READ CommPort WRITE SetCommPort)

public:
    explicit Brevel(QWidget* pParent = nullptr);
    ~Brevel() override;

    // Each property is the hosted control's. A refused value leaves the
    // property as it was; the reason is in LastError().
    QString Settings() const;
    void SetSettings(const QString& strSettings);
    int InputLen() const;
    void SetInputLen(int nLen);
    int InBufferSize() const;
    void SetInBufferSize(int nSize);
    MSComm::HandshakeConstants Handshaking() const;
    void SetHandshaking(MSComm::HandshakeConstants eHandshaking);
    bool EOFEnable() const;
    void SetEOFEnable(bool bEnable);
    bool DTREnable() const;
    void SetDTREnable(bool bEnable);
    int CommPort() const;
    void SetCommPort(int nPort);

    // The outcome of the last property write or property load.
    CommError LastError() const { return m_lastError; }

    Q_INVOKABLE bool PortOpen(bool bOpen);
    Q_INVOKABLE bool IsPortOpen() const;
    Q_INVOKABLE QString GetData() const;

    // Loads the persisted properties (a missing one takes its default) and
    // returns the first refused value, if any; the others are still loaded.
    CommError ReadProperties(const IPropertyBag& bag);
    void WriteProperties(IPropertyBag& bag) const;

    QSize sizeHint() const override;

signals:
    void DataReceive(const QString& strData);
    // A property was written; the host saves the control again.
    void PropertyChanged(const QString& strName);

protected:
    // Shows an error to the user; a modal message box.
    virtual void ShowMessage(const QString& strText);

private:
    void MSComm1OnComm();
    void ReceiveStep();
    void Timer1Timer();
    void Changed(const char* pszName, const CommError& error);

    MSComm* m_pMSComm1;
    QTimer* m_pTimer1;
    QLabel* m_pLabel1;
    QByteArray m_baBuffer;
    qint16 m_nTick = 0;
    QString m_strLastText;
    CommError m_lastError;
};
