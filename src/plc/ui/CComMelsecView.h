#pragma once

#include "plc/ui/CPlcScreenView.h"

// Screen 6: a MELSEC PLC over its computer link (ASCII format 1).
class CComMelsecView : public CPlcScreenView {
    Q_OBJECT
public:
    static constexpr int SCREEN = 6;

    explicit CComMelsecView(IScreenHost& host, QWidget* parent = nullptr);

    static SForm Form();
};
