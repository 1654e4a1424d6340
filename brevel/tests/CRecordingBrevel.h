#pragma once

#include "Brevel.h"

#include <QElapsedTimer>
#include <QList>
#include <QStringList>

// The control with its message boxes and events written down instead of
// shown, and the time of each event.
class CRecordingBrevel : public Brevel {
public:
    CRecordingBrevel() {
        m_clock.start();
        connect(this, &Brevel::DataReceive, this, [this](const QString& strData) {
            m_events.append(strData);
            m_eventTimes.append(m_clock.elapsed());
        });
    }

    using Brevel::HandleCommEvent;

    QStringList m_messages;
    QStringList m_events;
    QList<qint64> m_eventTimes; // ms since construction
    QElapsedTimer m_clock;

protected:
    void ShowMessage(const QString& strText) override { m_messages.append(strText); }
};
