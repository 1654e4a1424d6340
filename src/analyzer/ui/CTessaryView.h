#pragma once
#include "app/ui/CScreenView.h"
class CTessaryView : public CScreenView {
public:
    explicit CTessaryView(IScreenHost& host, QWidget* parent = nullptr) : CScreenView(host, 0, parent) {}
};
