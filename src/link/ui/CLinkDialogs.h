#pragma once
#include "link/CComPortMap.h"
#include "link/LinkSettings.h"
class QWidget;
class CLinkDialogs {
public:
    static bool Run(QWidget* parent, int kind, LinkSettings& settings, CComPortMap& ports);
};
