#pragma once

#include "plc/ui/CPlcScreenView.h"

// Screen 3: an Allen-Bradley PLC over DF1 full duplex.
class CComABView : public CPlcScreenView {
    Q_OBJECT
public:
    static constexpr int SCREEN = 3;

    explicit CComABView(IScreenHost& host, QWidget* parent = nullptr);

    static SForm Form();
};
