#include "link/ui/CLinkDialogs.h"

#include "link/LinkType.h"
#include "link/ui/CIpxClientDlg.h"
#include "link/ui/CIpxServerDlg.h"
#include "link/ui/CSerialConfigDlg.h"
#include "link/ui/CTcpClientDlg.h"
#include "link/ui/CTcpServerDlg.h"
#include "link/ui/CUdpDlg.h"

namespace {

template <typename Dialog> bool RunDialog(Dialog& dialog, LinkSettings& settings) {
    dialog.SetValues(settings);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    dialog.GetValues(settings);
    return true;
}

} // namespace

bool CLinkDialogs::Run(QWidget* parent, int kind, LinkSettings& settings, CComPortMap& ports) {
    switch (kind) {
    case LINK_SERIAL: {
        CSerialConfigDlg dialog(&ports, parent);
        return RunDialog(dialog, settings);
    }
    case LINK_TCP_SERVER: {
        CTcpServerDlg dialog(parent);
        return RunDialog(dialog, settings);
    }
    case LINK_TCP_CLIENT: {
        CTcpClientDlg dialog(parent);
        return RunDialog(dialog, settings);
    }
    case LINK_UDP: {
        CUdpDlg dialog(parent);
        return RunDialog(dialog, settings);
    }
    case LINK_IPX_SERVER: {
        CIpxServerDlg dialog(parent);
        return RunDialog(dialog, settings);
    }
    case LINK_IPX_CLIENT: {
        CIpxClientDlg dialog(parent);
        return RunDialog(dialog, settings);
    }
    default:
        return false;
    }
}
