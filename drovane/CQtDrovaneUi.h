#pragma once

#include "IDrovaneUi.h"

// Message boxes and the form on screen, modal.
class DROVANE_EXPORT CQtDrovaneUi : public IDrovaneUi {
public:
    void ShowMessage(const QString& strText) override;
    void RunForm(frmConnection& form) override;
};
