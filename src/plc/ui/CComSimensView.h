#pragma once

#include "plc/ui/CPlcScreenView.h"

// Screen 2: a Siemens PLC over 3964R with RK512 telegrams, by data block
// and data word. No controls beyond the common ones.
class CComSimensView : public CPlcScreenView {
    Q_OBJECT
public:
    static constexpr int SCREEN = 2;

    explicit CComSimensView(IScreenHost& host, QWidget* parent = nullptr);

    static SForm Form();
};
