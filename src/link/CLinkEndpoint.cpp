#include "link/CLinkEndpoint.h"

void CLinkEndpoint::Dispose() {
    if (m_nBusy > 0)
        m_bDisposed = true;
    else
        delete this;
}

CLinkEndpoint::CBusy::CBusy(CLinkEndpoint* endpoint) : m_pEndpoint(endpoint) {
    ++m_pEndpoint->m_nBusy;
}

CLinkEndpoint::CBusy::~CBusy() {
    if (--m_pEndpoint->m_nBusy == 0 && m_pEndpoint->m_bDisposed) {
        // Qt's own emission frame is still below this handler: let it return
        // first. Posted from the outermost handler, the deletion waits for
        // the loop this notification came from, not a nested one.
        m_pEndpoint->m_bDisposed = false;
        m_pEndpoint->deleteLater();
    }
}
