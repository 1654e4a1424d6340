#include "cli/CCliLinkWatch.h"

#include "link/CLinkManager.h"
#include "link/LinkType.h"

#include <ostream>

namespace {

bool IsClient(int kind) {
    return kind == LINK_TCP_CLIENT || kind == LINK_IPX_CLIENT;
}

} // namespace

CCliLinkWatch::CCliLinkWatch(const CLinkManager& manager, std::vector<Block> blocks)
    : m_manager(manager), m_blocks(std::move(blocks)) {
    Update();
}

void CCliLinkWatch::Update() {
    const bool alive = m_manager.IsAlive();
    // A client that connected and was closed between two looks still came
    // up: the manager remembers the connect.
    if (IsClient(m_manager.GetKind()) ? m_manager.WasConnected() : alive)
        m_bCameUp = true;
    if (!alive)
        m_bEnded = true;
}

bool CCliLinkWatch::CanSend() const {
    return !m_bEnded && m_manager.IsReady();
}

int CCliLinkWatch::Verdict(std::ostream& err, const std::string& command) const {
    int status = 0;
    if (!m_bCameUp) {
        err << command << ": the link never came up" << std::endl;
        status = 1;
    } else if (m_bEnded) {
        err << command << ": the link went down" << std::endl;
        status = 1;
    }
    if (m_bCameUp && Unsent() > 0) {
        err << command << ": " << Unsent() << " of " << m_blocks.size()
            << " --send-hex blocks not sent: the link could not carry them" << std::endl;
        status = 1;
    }
    return status;
}
