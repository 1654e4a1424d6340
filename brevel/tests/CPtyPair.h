#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal pair standing in for a null-modem cable: the control
// opens the slave, the test writes to the master.
class CPtyPair {
public:
    CPtyPair();
    ~CPtyPair();
    CPtyPair(const CPtyPair&) = delete;
    CPtyPair& operator=(const CPtyPair&) = delete;

    bool IsOpen() const { return m_nMaster >= 0; }
    QString SlavePath() const { return m_strSlavePath; }
    void Send(const QByteArray& baBytes);

private:
    int m_nMaster = -1;
    int m_nSlave = -1;
    QString m_strSlavePath;
};
