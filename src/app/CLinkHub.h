#pragma once

#include "link/ILinkHub.h"
#include "link/ILinkOwner.h"
#include "link/LinkSettings.h"

#include <cstdint>
#include <functional>
#include <string>

class CTessaryDoc;
class ILinkControl;
class IScreenSink;

// The main frame's hub between screens and link, without a window: the
// capture rule, delivery to the active screen, the link state every screen
// reads, and "통신 설정" as a whole. The main frame owns one; so does the
// command line's capture.
class CLinkHub : public ILinkHub, public ILinkOwner {
public:
    static constexpr int SCREEN_ANALYZER = 0;
    static constexpr int SCREEN_FILESEND = 8;
    static constexpr int SCREEN_NONE = 100;
    static constexpr int kMaxCaptured = 4096;
    static constexpr const char* kNotSentMessage =
        "데이터를 보내지 못했습니다. 링크가 연결되어 있지 않거나 보낼 데이터가 너무 많이 "
        "밀려 있습니다: ";
    static constexpr const char* kNoCaptureMessage =
        "파일 전송시에는 프로토콜 내용을 저장할 수 없습니다.";

    using MessageFn = std::function<void(const std::string&)>;
    using ClockFn = std::function<std::int64_t()>; // microseconds
    using StatusFn = std::function<void(const std::string&)>;

    CLinkHub(CTessaryDoc& doc, ILinkControl* control, MessageFn showMessage, ClockFn clock = {});

    void SetLinkControl(ILinkControl* control) { m_pControl = control; }
    void SetActiveScreen(IScreenSink* screen) { m_pScreen = screen; }
    void SetStatusListener(StatusFn fn) { m_fnStatusChanged = std::move(fn); }

    // ILinkHub
    void SendToLink(const std::uint8_t* bytes, int count) override;
    bool IsLinkUp() const override { return m_bLinkUp; }
    int GetLinkKind() const override { return m_nLinkKind; }
    void ShowMessage(const std::string& text) override;

    // ILinkOwner
    void SetLinkUp(bool up) override;
    void DispatchReceived(const std::uint8_t* bytes, int count) override;
    const std::string& GetLinkStatus() const override { return m_strLinkStatus; }
    void SetLinkStatus(const std::string& text) override;
    // Shown as a message; during "통신 설정" only once the status text and
    // the lamps tell the outcome.
    void OnLinkFailed(const std::string& text) override;

    // "통신 설정" with the kind. confirmed holds the dialog's values, or is
    // null when the dialog was cancelled (kind 6 has no dialog).
    void SetupLink(int kind, const LinkSettings* confirmed);

    // "데이터 프로토콜 저장 시작": false (with the message) on the file screen.
    bool StartCapture();
    void StopCapture() { m_bCaptureStopped = true; }
    bool IsCaptureStopped() const { return m_bCaptureStopped; }

    void SetCurrentScreen(int screen) { m_nScreen = screen; }
    int GetScreen() const { return m_nScreen; }
    void SetLinkKind(int kind) { m_nLinkKind = kind; }
    bool IsLinkConfigured() const { return m_bLinkConfigured; }

    // The last failure the link reported, empty while none did since the
    // last "통신 설정".
    const std::string& GetLinkFailure() const { return m_strLinkFailure; }
    // Blocks the link refused (not open, no way to the peer, its output
    // queue full), and their bytes; neither is in the capture.
    long long GetUnsentBlocks() const { return m_nUnsentBlocks; }
    long long GetUnsentBytes() const { return m_nUnsentBytes; }

    LinkSettings& GetSettings() { return m_settings; }
    const LinkSettings& GetSettings() const { return m_settings; }

private:
    // The capture rule for one block; false for a block that is not one.
    bool Capture(int direction, const std::uint8_t* bytes, int count);
    void Record(int direction, const std::uint8_t* bytes, int count);
    bool DeliversTo(int screen) const { return screen >= 0 && screen <= 9 && m_pScreen; }

    CTessaryDoc& m_doc;
    ILinkControl* m_pControl;
    IScreenSink* m_pScreen = nullptr;
    MessageFn m_fnShowMessage;
    ClockFn m_fnClock;
    StatusFn m_fnStatusChanged;

    LinkSettings m_settings;
    int m_nLinkKind = 6;
    bool m_bCaptureStopped = true;
    bool m_bLinkUp = false;
    bool m_bLinkConfigured = false;
    std::string m_strLinkStatus;
    std::string m_strLinkFailure;
    long long m_nUnsentBlocks = 0;
    long long m_nUnsentBytes = 0;
    bool m_bUnsentSaid = false;
    bool m_bSettingUp = false;
    bool m_bFailurePending = false;
    int m_nScreen = SCREEN_ANALYZER;
};
