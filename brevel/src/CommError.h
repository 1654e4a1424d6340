#pragma once

#include <QString>

// The error a serial control call raised: its number and the text shown to
// the user. Number 0 means the call succeeded.
struct CommError {
    int nNumber = 0;
    QString strDescription;

    bool Failed() const { return nNumber != 0; }
};
