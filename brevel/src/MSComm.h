#pragma once

#include "BrevelExport.h"
#include "CommError.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QVariant>

// The serial communications control Brevel hosts: a port addressed by number,
// line settings as text, a receive buffer read through Input, and one
// notification, OnComm, whose cause is in CommEvent.
//
// Port N is the device named by the environment variable BREVEL_COM<N> when it
// is set; otherwise COMN on Windows and /dev/ttyS<N-1> elsewhere.
class BREVEL_EXPORT MSComm : public QObject {
    Q_OBJECT

public:
    // A 32-bit value, so any number a host passes in is one the control can refuse.
    enum HandshakeConstants : qint32 { comNone = 0, comXOnXoff = 1, comRTS = 2, comRTSXOnXOff = 3 };
    Q_ENUM(HandshakeConstants)

    enum InputModeConstants { comInputModeText = 0, comInputModeBinary = 1 };

    // CommEvent values: communication events, then errors.
    enum CommEventConstants {
        comEvReceive = 2,
        comEvEOF = 7,
        comEventBreak = 1001,
        comEventCTSTO = 1002,
        comEventDSRTO = 1003,
        comEventFrame = 1004,
        comEventOverrun = 1006,
        comEventCDTO = 1007,
        comEventRxOver = 1008,
        comEventRxParity = 1009,
        comEventTxFull = 1010,
        comEventDCB = 1011,
    };

    enum ErrorConstants {
        comInvalidPropertyValue = 380,
        comPortOpen = 8000,
        comPortInvalid = 8002,
        comPortAlreadyOpen = 8005,
        comPortInUse = 8010,
        comSetCommStateFailed = 8015,
        comPortNotOpen = 8018,
    };

    // Error counters of the UART driver; what grew between two reads tells
    // which line errors happened.
    struct LineCounters {
        int nBreak = 0;
        int nFrame = 0;
        int nOverrun = 0;
        int nBufferOverrun = 0;
        int nParity = 0;
    };

    explicit MSComm(QObject* pParent = nullptr);
    ~MSComm() override;

    static QString DevicePath(int nPort);
    static QList<int> LineEvents(const LineCounters& before, const LineCounters& after);

    int CommPort() const { return m_nCommPort; }
    CommError SetCommPort(int nPort);
    bool DTREnable() const { return m_bDTREnable; }
    CommError SetDTREnable(bool bEnable);
    bool EOFEnable() const { return m_bEOFEnable; }
    CommError SetEOFEnable(bool bEnable);
    HandshakeConstants Handshaking() const { return m_eHandshaking; }
    CommError SetHandshaking(int nHandshaking);
    int InBufferSize() const { return m_nInBufferSize; }
    CommError SetInBufferSize(int nSize);
    int InputLen() const { return m_nInputLen; }
    CommError SetInputLen(int nLen);
    QString Settings() const { return m_strSettings; }
    CommError SetSettings(const QString& strSettings);
    int OutBufferSize() const { return m_nOutBufferSize; }
    CommError SetOutBufferSize(int nSize);
    int OutBufferCount() const;
    CommError SetOutBufferCount(int nCount);
    int InBufferCount() const { return static_cast<int>(m_baInBuffer.size()); }
    CommError SetInBufferCount(int nCount);
    int InputMode() const { return m_nInputMode; }
    CommError SetInputMode(int nMode);
    int RThreshold() const { return m_nRThreshold; }
    CommError SetRThreshold(int nThreshold);
    bool PortOpen() const;
    CommError SetPortOpen(bool bOpen);

    // Takes InputLen bytes (all when 0) from the receive buffer: a QByteArray
    // in binary mode, text in text mode. Bytes waiting in the port for room
    // are read in afterwards.
    QVariant Input(CommError* pError = nullptr);
    int CommEvent() const { return m_nCommEvent; }

signals:
    void OnComm();

protected:
    // Reads the UART driver's error counters; false where there are none.
    virtual bool ReadLineCounters(LineCounters& counters) const;

private:
    void ReadPort();
    void ReadLater();
    void Fire(int nEvent);
    bool ApplyLineSettings();
    bool ApplyHandshaking();
    void ApplyDTR();

    QSerialPort* m_pPort;
    QByteArray m_baInBuffer;
    int m_nCommPort = 1;
    bool m_bDTREnable = true;
    bool m_bEOFEnable = false;
    HandshakeConstants m_eHandshaking = comNone;
    int m_nInBufferSize = 1024;
    int m_nInputLen = 0;
    QString m_strSettings = QStringLiteral("9600,n,8,1");
    int m_nOutBufferSize = 512;
    int m_nInputMode = comInputModeText;
    int m_nRThreshold = 0;
    int m_nCommEvent = 0;
    bool m_bHaveCounters = false;
    LineCounters m_counters;
    bool m_bOverflowShown = false; // comEventRxOver raised, buffer not yet drained
};
