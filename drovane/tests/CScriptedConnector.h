#pragma once

#include "IConnector.h"

#include <QList>
#include <QStringList>

#include <stdexcept>

// Answers each call with the next scripted code and records the arguments.
// A code of -1 throws, as a failing platform call would.
class CScriptedConnector : public IConnector {
public:
    struct Call {
        QString m_strRemote;
        QString m_strPassword;
        QString m_strLocal;
        QString m_strUser;
        unsigned m_nFlags = 0;
        NetResource m_resource;
        bool m_bSecond = false;
    };

    int AddConnection(const QString& strRemote, const QString& strPassword,
                      const QString& strLocal) override {
        m_calls.append({strRemote, strPassword, strLocal, QString(), 0, {}, false});
        return Next(m_first);
    }
    int AddConnection2(const NetResource& resource, const QString& strPassword,
                       const QString& strUser, unsigned nFlags) override {
        m_calls.append({resource.m_strRemoteName, strPassword, resource.m_strLocalName, strUser,
                        nFlags, resource, true});
        return Next(m_second);
    }

    QList<int> m_first;
    QList<int> m_second;
    QList<Call> m_calls;

private:
    static int Next(QList<int>& codes) {
        const int nCode = codes.isEmpty() ? 0 : codes.takeFirst();
        if (nCode == -1)
            throw std::runtime_error("mpr.dll 호출이 실패했습니다");
        return nCode;
    }
};
