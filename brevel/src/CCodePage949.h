#pragma once

#include "BrevelExport.h"

#include <QByteArray>
#include <QString>

// Bytes in the Korean ANSI code page 949 to text.
class BREVEL_EXPORT CCodePage949 {
public:
    // Converts a whole block. A lead byte left without its second byte at the
    // end becomes U+FFFD, like any other byte that is no character.
    static QString ToText(const QByteArray& baBytes);
};
