#include "app/CLinkHub.h"

#include "app/CTessaryDoc.h"
#include "app/IScreenSink.h"
#include "app/TrafficRecord.h"
#include "link/CLinkStatus.h"
#include "link/ILinkControl.h"
#include "link/LinkType.h"

#include <algorithm>

CLinkHub::CLinkHub(CTessaryDoc& doc, ILinkControl* control, MessageFn showMessage, ClockFn clock)
    : m_doc(doc), m_pControl(control), m_fnShowMessage(std::move(showMessage)),
      m_fnClock(std::move(clock)) {}

bool CLinkHub::Capture(int direction, const std::uint8_t* bytes, int count) {
    if (count < 0 || (count > 0 && !bytes))
        return false;
    if (m_nScreen == SCREEN_FILESEND)
        m_bCaptureStopped = true;
    if (!m_bCaptureStopped || m_nScreen == SCREEN_ANALYZER)
        Record(direction, bytes, count);
    return true;
}

void CLinkHub::Record(int direction, const std::uint8_t* bytes, int count) {
    // A record holds at most 4096 bytes: a longer block becomes consecutive
    // records, so every byte that crossed the link is kept, in order.
    const std::int64_t time = m_fnClock ? m_fnClock() : 0;
    int done = 0;
    do {
        const int part = std::min(count - done, kMaxCaptured);
        m_doc.AddRecord(direction, bytes + done, part, time);
        done += part;
    } while (done < count);
}

void CLinkHub::SendToLink(const std::uint8_t* bytes, int count) {
    if (count < 0 || (count > 0 && !bytes))
        return;
    if (DeliversTo(m_nScreen))
        m_pScreen->OnLinkSent();
    // Recorded once the link has taken it, so that the capture holds what
    // went out and nothing that did not.
    if (!m_pControl || m_pControl->Send(bytes, count)) {
        m_bUnsentSaid = false;
        Capture(TRAFFIC_TX, bytes, count);
        return;
    }
    ++m_nUnsentBlocks;
    m_nUnsentBytes += count;
    // Said once for a run of refused blocks: a polling engine must not
    // stack up a box for every request.
    if (!m_bUnsentSaid) {
        m_bUnsentSaid = true;
        ShowMessage(kNotSentMessage + std::to_string(count) + "바이트");
    }
}

void CLinkHub::DispatchReceived(const std::uint8_t* bytes, int count) {
    if (!Capture(TRAFFIC_RX, bytes, count))
        return;
    // The screen may switch screens from inside; read the number once.
    const int screen = m_nScreen;
    if (!DeliversTo(screen))
        return;
    m_pScreen->OnLinkReceived();
    if (screen != SCREEN_ANALYZER && m_nScreen == screen && m_pScreen)
        m_pScreen->OnLinkData(bytes, count);
}

void CLinkHub::ShowMessage(const std::string& text) {
    if (m_fnShowMessage)
        m_fnShowMessage(text);
}

void CLinkHub::SetLinkUp(bool up) {
    m_bLinkUp = up;
}

void CLinkHub::SetLinkStatus(const std::string& text) {
    if (text == m_strLinkStatus)
        return;
    m_strLinkStatus = text;
    if (m_fnStatusChanged)
        m_fnStatusChanged(m_strLinkStatus);
}

void CLinkHub::OnLinkFailed(const std::string& text) {
    m_strLinkFailure = text;
    if (m_bSettingUp)
        m_bFailurePending = true;
    else
        ShowMessage(text);
}

void CLinkHub::SetupLink(int kind, const LinkSettings* confirmed) {
    m_bSettingUp = true;
    m_bFailurePending = false;
    if (kind == LINK_STOPPED) {
        if (m_pControl) {
            m_pControl->CloseLink();
            m_pControl->CreateEndpoint(LINK_STOPPED);
        }
    } else if (kind >= LINK_SERIAL && kind <= LINK_IPX_CLIENT && confirmed && m_pControl) {
        m_pControl->CloseLink();
        m_pControl->CreateEndpoint(kind);
        m_settings = *confirmed;
        m_strLinkFailure.clear();
        const bool opened = m_pControl->OpenLink(&m_settings);
        SetLinkStatus(opened ? CLinkStatus::Opened(kind, m_settings) : CLinkStatus::Failed(kind));
    }
    m_bLinkConfigured = true;
    m_nLinkKind = kind;
    m_bSettingUp = false;
    if (m_bFailurePending) {
        m_bFailurePending = false;
        ShowMessage(m_strLinkFailure);
    }
}

bool CLinkHub::StartCapture() {
    m_bCaptureStopped = false;
    if (m_nScreen == SCREEN_FILESEND) {
        m_bCaptureStopped = true;
        ShowMessage(kNoCaptureMessage);
        return false;
    }
    return true;
}
