#pragma once

#include "link/CLinkEndpoint.h"

#include "link/CSerialSettings.h"

#include <QString>

#include <cstdint>
#include <string>

class CComPortMap;
class CLinkManager;
class QSerialPort;

// The endpoint of a serial link. Received bytes arrive through the port's
// notifications on the owner's thread, so no reader thread and no lock is
// needed: each block goes up in arrival order, and none after Close.
class CSerialLink : public CLinkEndpoint {
    Q_OBJECT
public:
    static constexpr int kQueueBytes = 4096; // input blocks
    // What may wait to go out before a block is refused: a device that
    // holds the line (flow control, a stalled adapter) must not make the
    // queue grow without end.
    static constexpr qint64 kMaxQueuedBytes = 1024 * 1024;

    CSerialLink(CLinkManager* owner, const CComPortMap& ports);
    ~CSerialLink() override;

    void Configure(const std::string& text);
    // False when the device is missing, busy, not a serial port, or
    // refuses the parameters; GetFailure then says which and why.
    bool Open();
    void Close();
    // Queues the whole block, or none of it when kMaxQueuedBytes already
    // wait to go out: a frame cut at the end of a queue would reach the
    // device as garbage. The count queued (count or 0), -1 when not open.
    int Write(const std::uint8_t* bytes, int count);
    // Up to capacity bytes of what is waiting; -1 when not open.
    int Read(std::uint8_t* buffer, int capacity);

    bool IsOpen() const { return m_bOpen; }
    const CSerialSettings& GetSettings() const { return m_settings; }
    QString GetDevicePath() const;
    // Why the last open failed or the open port went away: "COMn (device):
    // the system's reason".
    const std::string& GetFailure() const { return m_strFailure; }

private:
    void OnRxChar();
    void OnPortError(int error);
    bool ApplyState();
    qint64 QueuedOutput() const;
    void SetFailure(const QString& reason);

    CLinkManager* m_pOwner;
    const CComPortMap& m_ports;
    CSerialSettings m_settings;
    QSerialPort* m_pPort;
    bool m_bOpen = false;
    std::string m_strEnv; // as configured, for the messages
    std::string m_strFailure;
};
