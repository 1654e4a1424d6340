#pragma once

#include "plc/ui/CPlcScreenView.h"

// Screen 5: a POSFA PLC, over its LAN word frames or its RS232C text frames
// as the "TX" radio buttons choose.
class CComPosfaView : public CPlcScreenView {
    Q_OBJECT
public:
    enum ControlId { IDC_MODE_LAN = 1063, IDC_MODE_RS232C = 1064 };
    static constexpr int SCREEN = 5;

    explicit CComPosfaView(IScreenHost& host, QWidget* parent = nullptr);

    static SForm Form();
};
