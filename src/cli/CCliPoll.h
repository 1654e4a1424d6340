#pragma once

#include "app/IScreenSink.h"
#include "link/ILinkHub.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

class CLinkHub;
class CPlcEngine;

// "quillet-cli poll PLC --rows FILE.ini ...": runs a PLC screen's polling
// engine on a link without the screen. It stands in for the screen (the
// hub delivers received blocks to it) and for the engine's view of the main
// frame, which lets it hold the engine back once the asked-for exchanges
// are done, so no request goes out whose reply nobody waits for.
class CCliPoll : public ILinkHub, public IScreenSink {
public:
    static int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

    // The PLCs by screen name; an engine not written yet has no factory.
    struct SMode {
        const char* m_szName;
        int m_nValue;
    };
    struct SPlc {
        const char* m_szName; // the screen's name in lower case
        int m_nScreen;
        CPlcEngine* (*m_pfnCreate)(ILinkHub& hub);
        std::vector<SMode> m_modes; // the first is the screen's default
    };
    static const std::vector<SPlc>& Plcs();

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
    CCliPoll(CLinkHub& hub, long long nExchanges);
    long long Finished() const;
    bool IsDone() const { return m_nBudget > 0 && Finished() >= m_nBudget; }
    // Ends the event loop once the budget is spent.
    void CheckDone();

    CLinkHub& m_hub;
    CPlcEngine* m_pEngine = nullptr;
    long long m_nBudget; // exchanges to finish; 0 for no limit
    long long m_nSent = 0;
    bool m_bQuitting = false;
    std::int64_t m_nDoneNs = 0; // steady clock when the budget was spent
};
