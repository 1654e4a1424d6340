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
    Q_PROPERTY(QString Settings READ Settings WRITE setSettings)
    Q_PROPERTY(int InputLen READ InputLen WRITE setInputLen)
    Q_PROPERTY(int InBufferSize READ InBufferSize WRITE setInBufferSize)
    Q_PROPERTY(MSComm::HandshakeConstants Handshaking READ Handshaking WRITE setHandshaking)
    Q_PROPERTY(bool EOFEnable READ EOFEnable WRITE setEOFEnable)
    Q_PROPERTY(bool DTREnable READ DTREnable WRITE setDTREnable)
    Q_PROPERTY(int CommPort READ CommPort WRITE setCommPort)
    // Each property's help text, for property browsers that show one.
    Q_CLASSINFO("Settings",
                "전송 속도, 패리티, 데이터 비트, 중단 비트 매개 변수를 반환하거나 설정합니다.")
    Q_CLASSINFO("InputLen", "입력 속성이 수신 버퍼에서 읽는 문자의 숫자를 반환하거나 설정합니다.")
    Q_CLASSINFO("InBufferSize", "수신 버퍼의 크기를 바이트로 반환하거나 설정합니다.")
    Q_CLASSINFO("Handshaking", "하드웨어 초기 접속 신호 프로토콜을 반환하거나 설정합니다.")
    Q_CLASSINFO("EOFEnable", "EOF 문자를 찾을지의 여부를 반환하거나 설정합니다.")
    Q_CLASSINFO("DTREnable", "통신 중에 데이터 터미널 준비 줄이 가능한지의 여부를 결정합니다. ")
    Q_CLASSINFO("CommPort", "통신 포트 번호를 반환하거나 설정합니다.")

public:
    explicit Brevel(QWidget* pParent = nullptr);
    ~Brevel() override;

    // Each property is the hosted control's. A refused value leaves the
    // property as it was; the reason is in LastError().
    QString Settings() const;
    void setSettings(const QString& strSettings);
    int InputLen() const;
    void setInputLen(int nLen);
    int InBufferSize() const;
    void setInBufferSize(int nSize);
    MSComm::HandshakeConstants Handshaking() const;
    void setHandshaking(MSComm::HandshakeConstants eHandshaking);
    bool EOFEnable() const;
    void setEOFEnable(bool bEnable);
    bool DTREnable() const;
    void setDTREnable(bool bEnable);
    int CommPort() const;
    void setCommPort(int nPort);

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
    // What an OnComm notification of MSComm1 with this CommEvent does.
    void HandleCommEvent(int nEvent);

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
