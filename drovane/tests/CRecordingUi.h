#pragma once

#include "IDrovaneUi.h"
#include "frmConnection.h"

#include <QLineEdit>
#include <QStringList>

#include <functional>

// Records what a person would see, in order: message texts, and for each run
// of the form which box had the focus and what text of it was selected.
// A script stands for the person at the form.
class CRecordingUi : public IDrovaneUi {
public:
    void ShowMessage(const QString& strText) override { m_events << strText; }

    void RunForm(frmConnection& form) override {
        form.show();
        m_events << QStringLiteral("[form %1]").arg(FocusOf(form));
        if (m_script)
            m_script(form);
        m_bFormLeftOpen = form.isVisible();
        form.hide();
    }

    // "user:SELECTED" or "pass:SELECTED" for the focused box, "none" else.
    static QString FocusOf(const frmConnection& form) {
        for (int i = 0; i < 2; ++i)
            if (form.focusWidget() == form.Text1(i))
                return QStringLiteral("%1:%2").arg(i == 0 ? "user" : "pass",
                                                   form.Text1(i)->selectedText());
        return QStringLiteral("none");
    }

    QStringList m_events;
    std::function<void(frmConnection&)> m_script;
    bool m_bFormLeftOpen = false;
};
