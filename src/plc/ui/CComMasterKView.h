#pragma once

#include "plc/ui/CPlcScreenView.h"

// Screen 4: a MASTER-K PLC over its Cnet computer link.
class CComMasterKView : public CPlcScreenView {
    Q_OBJECT
public:
    static constexpr int SCREEN = 4;

    explicit CComMasterKView(IScreenHost& host, QWidget* parent = nullptr);

    static SForm Form();
};
