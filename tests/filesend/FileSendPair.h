#pragma once

#include "filesend/CFileSendEngine.h"
#include "filesend/IFileSendScreen.h"
#include "link/ILinkHub.h"
#include "link/LinkType.h"

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// One end of a file transfer without a link: the hub and the screen of an
// engine, keeping what it sent, said and finished. Frames wait in m_out
// until the pair delivers them.
class FileSendSide : public ILinkHub, public IFileSendScreen {
public:
    using Bytes = std::vector<std::uint8_t>;

    explicit FileSendSide(const std::filesystem::path& folder) {
        m_record.m_strRxFolder = folder.string() + "/";
        m_pEngine = std::make_unique<CFileSendEngine>(*this, *this, m_record,
                                                      [this] { return m_nSeconds; });
    }

    void SendToLink(const std::uint8_t* bytes, int count) override {
        m_sent.emplace_back(bytes, bytes + count);
        m_out.emplace_back(bytes, bytes + count);
    }
    bool IsLinkUp() const override { return m_bUp; }
    int GetLinkKind() const override { return m_nKind; }
    void ShowMessage(const std::string& text) override { m_messages.push_back(text); }

    void SetSendProgress(std::uint64_t, std::uint64_t) override {}
    void SetReceiveProgress(std::uint64_t, std::uint64_t) override {}
    void ShowReceivePath(const std::string& text) override { m_strReceiveBox = text; }
    bool DeleteRow(int) override {
        if (m_rows.empty())
            return false;
        m_rows.erase(m_rows.begin());
        return true;
    }
    bool LoadFirstRow() override {
        if (m_rows.empty())
            return false;
        m_record.m_strTxName = m_rows.front().first;
        m_record.m_strTxPath = m_rows.front().second;
        m_record.m_nTxIndex = 0;
        return true;
    }
    void StopCommand() override {
        ++m_nStops;
        m_pEngine->Stop();
    }
    void OnFileReceived(const std::string& path, std::uint32_t size) override {
        m_received.emplace_back(path, size);
    }

    // Queues files as list rows and presses Send.
    int Send(const std::vector<std::filesystem::path>& files) {
        for (const auto& f : files)
            m_rows.emplace_back(f.filename().string(), f.string());
        LoadFirstRow();
        return m_pEngine->StartSend();
    }
    void Tick(int id, int times) {
        for (int i = 0; i < times; ++i)
            m_pEngine->OnTimer(id);
    }

    FileTransferRecord m_record;
    std::unique_ptr<CFileSendEngine> m_pEngine;
    int m_nKind = LINK_TCP_CLIENT;
    bool m_bUp = true;
    int m_nSeconds = 0;
    std::vector<std::pair<std::string, std::string>> m_rows;
    std::vector<Bytes> m_sent;
    std::deque<Bytes> m_out;
    std::vector<std::string> m_messages;
    std::vector<std::pair<std::string, std::uint32_t>> m_received;
    std::string m_strReceiveBox;
    int m_nStops = 0;
};

// Two engines joined by a wire that a test can cut into: the filter sees
// every frame on its way (from a: true) and may change it or drop it
// (return false).
class FileSendPair {
public:
    FileSendPair(const std::filesystem::path& aFolder, const std::filesystem::path& bFolder)
        : a(aFolder), b(bFolder) {}

    // Delivers frames both ways until none is left; false when more than
    // `limit` went, which means the two ends talk without end.
    bool Pump(int limit = 100000) {
        for (int n = 0; n < limit; ++n) {
            FileSendSide* from = !a.m_out.empty() ? &a : !b.m_out.empty() ? &b : nullptr;
            if (!from)
                return true;
            FileSendSide& to = from == &a ? b : a;
            FileSendSide::Bytes frame = std::move(from->m_out.front());
            from->m_out.pop_front();
            if (m_filter && !m_filter(from == &a, frame))
                continue;
            to.m_pEngine->OnReceive(frame.data(), static_cast<int>(frame.size()));
        }
        return false;
    }
    void SetKind(int kind) { a.m_nKind = b.m_nKind = kind; }

    FileSendSide a;
    FileSendSide b;
    std::function<bool(bool fromA, FileSendSide::Bytes& frame)> m_filter;
};
