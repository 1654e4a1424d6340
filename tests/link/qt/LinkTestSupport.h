#pragma once

#include "link/ILinkOwner.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTcpServer>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

// The owner side of a link manager as a test sees it: every flag change,
// block, status text and message, in order.
class RecordingOwner : public ILinkOwner {
public:
    void SetLinkUp(bool up) override {
        m_bUp = up;
        m_upChanges.push_back(up);
    }
    void DispatchReceived(const std::uint8_t* bytes, int count) override {
        m_blocks.emplace_back(reinterpret_cast<const char*>(bytes), count);
        if (m_fnOnBlock)
            m_fnOnBlock();
    }
    const std::string& GetLinkStatus() const override { return m_strStatus; }
    void SetLinkStatus(const std::string& text) override {
        m_strStatus = text;
        m_statuses.push_back(text);
    }
    void ShowMessage(const std::string& text) override { m_messages.push_back(text); }
    void OnLinkFailed(const std::string& text) override { m_failures.push_back(text); }

    QByteArray Received() const {
        QByteArray all;
        for (const auto& b : m_blocks)
            all += b;
        return all;
    }

    bool m_bUp = false;
    std::vector<bool> m_upChanges;
    std::vector<QByteArray> m_blocks;
    std::string m_strStatus;
    std::vector<std::string> m_statuses;
    std::vector<std::string> m_messages;
    std::vector<std::string> m_failures;
    std::function<void()> m_fnOnBlock;
};

// Runs the event loop until the condition holds or the time is up.
inline bool WaitFor(const std::function<bool()>& condition, int ms = 5000) {
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

inline void Spin(int ms) {
    WaitFor([] { return false; }, ms);
}

// What a modal message box does: runs a nested event loop for a while.
inline void NestedLoop(int ms, const std::function<void()>& meanwhile = {}) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    if (meanwhile)
        QTimer::singleShot(0, &loop, meanwhile);
    loop.exec();
}

// A TCP port nothing listens on right now.
inline int FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}
