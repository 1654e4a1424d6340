#pragma once

#include "app/IScreenSink.h"
#include "link/ILinkHub.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

class CLinkHub;
class CUserEngine;

// "quillet-cli user --rows FILE.ini ...": the user-protocol engine on a
// link without its screen. Each packet-list line is printed as it is added,
// its four columns TAB-separated. It stands between the engine and the hub
// so that, once the asked-for rows have ended, the engine finds the link
// down and sends nothing more.
class CCliUser : public ILinkHub, public IScreenSink {
public:
    static int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

    // ILinkHub, as the engine sees it.
    void SendToLink(const std::uint8_t* bytes, int count) override;
    bool IsLinkUp() const override;
    int GetLinkKind() const override;
    void ShowMessage(const std::string& text) override;

    // IScreenSink
    void OnLinkSent() override {}
    void OnLinkReceived() override {}
    void OnLinkData(const std::uint8_t* bytes, int count) override;

private:
    explicit CCliUser(CLinkHub& hub) : m_hub(hub) {}
    long long Finished() const;
    bool IsDone() const { return m_nBudget > 0 && Finished() >= m_nBudget; }
    void CheckDone();

    CLinkHub& m_hub;
    CUserEngine* m_pEngine = nullptr;
    long long m_nBudget = 0; // rows to end; 0 for no limit
    bool m_bQuitting = false;
};
