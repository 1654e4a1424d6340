#include "CCodePage949.h"

#include <QStringDecoder>

namespace {

bool IsLeadByte(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}

// Length of the block without a lead byte that has lost its second byte.
qsizetype WholeCharacters(const QByteArray& baBytes) {
    qsizetype i = 0;
    while (i < baBytes.size()) {
        const qsizetype nStep = IsLeadByte(static_cast<unsigned char>(baBytes[i])) ? 2 : 1;
        if (i + nStep > baBytes.size())
            return i;
        i += nStep;
    }
    return i;
}

} // namespace

QString CCodePage949::ToText(const QByteArray& baBytes) {
    const qsizetype nWhole = WholeCharacters(baBytes);
    // A fresh decoder per block: nothing is carried from one block to the next.
    QStringDecoder decoder("CP949");
    QString strText;
    if (decoder.isValid())
        strText = decoder(QByteArrayView(baBytes).first(nWhole));
    else
        strText = QString::fromLatin1(baBytes.first(nWhole)); // no converter on this system
    if (nWhole < baBytes.size())
        strText.append(QChar::ReplacementCharacter);
    return strText;
}
