#pragma once

#include "DrovaneExport.h"

#include <QString>

class frmConnection;

// What the connector shows a person: message boxes and the modal run of the
// credentials form. Tests put a script here instead of a person.
class DROVANE_EXPORT IDrovaneUi {
public:
    virtual ~IDrovaneUi() = default;
    virtual void ShowMessage(const QString& strText) = 0;
    // Shows the form and returns once it is hidden again.
    virtual void RunForm(frmConnection& form) = 0;
};
