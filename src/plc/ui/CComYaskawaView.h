#pragma once

#include "plc/ui/CPlcScreenView.h"

// Screen 1: a Yaskawa PLC over MEMOBUS, in ASCII or RTU framing as the
// "TX" radio buttons choose.
class CComYaskawaView : public CPlcScreenView {
    Q_OBJECT
public:
    enum ControlId { IDC_MODE_ASCII = 1010, IDC_MODE_RTU = 1011 };
    static constexpr int SCREEN = 1;

    explicit CComYaskawaView(IScreenHost& host, QWidget* parent = nullptr);

    static SForm Form();
};
