#pragma once

#include "app/IScreenSink.h"
#include "filesend/FileTransferRecord.h"
#include "filesend/IFileSendScreen.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

class CFileSendEngine;

// "quillet-cli send-files" and "receive-files": the file transfer screen's
// engine on a link without the screen. It stands in for the screen: its
// file list is the files of the command line, and it prints what the
// screen's progress lines would show.
class CCliFileSend : public IScreenSink, public IFileSendScreen {
public:
    static int RunSend(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
    static int RunReceive(const std::vector<std::string>& args, std::ostream& out,
                          std::ostream& err);

    // IScreenSink
    void OnLinkSent() override {}
    void OnLinkReceived() override {}
    void OnLinkData(const std::uint8_t* bytes, int count) override;

    // IFileSendScreen
    void SetSendProgress(std::uint64_t, std::uint64_t) override {}
    void SetReceiveProgress(std::uint64_t, std::uint64_t) override {}
    void ShowReceivePath(const std::string&) override {}
    bool DeleteRow(int row) override;
    bool LoadFirstRow() override;
    void StopCommand() override;
    void OnFileReceived(const std::string& path, std::uint32_t size) override;
    void OnRatesChanged() override;
    void OnSendResumed(std::uint64_t offset) override;

private:
    CCliFileSend(bool sending, std::ostream& out) : m_bSending(sending), m_out(out) {}
    static int Run(bool sending, const std::vector<std::string>& args, std::ostream& out,
                   std::ostream& err);
    void Finish();

    bool m_bSending;
    std::ostream& m_out;
    CFileSendEngine* m_pEngine = nullptr;
    FileTransferRecord m_record;
    std::vector<std::pair<std::string, std::string>> m_rows; // name, path
    long long m_nWanted = 0;                                 // files to receive; 0 for no limit
    long long m_nReceived = 0;
    bool m_bDone = false;
    std::string m_strShownRate;
};
