#include "CCodePage949.h"

#include <QStringDecoder>
#include <QtGlobal>

namespace {

// ICU knows Windows code page 949 as "windows-949". Its "CP949" is IBM's 949,
// a different table (0x5C is the won sign, 0x81 0x41 no syllable), so the
// name must be exact.
constexpr const char* kCodePageName = "windows-949";

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
    QStringDecoder decoder(kCodePageName);
    QString strText;
    if (decoder.isValid()) {
        strText = decoder(QByteArrayView(baBytes).first(nWhole));
    } else {
        // Qt built without ICU has no such table: pass the bytes through as
        // Latin-1 rather than lose them, and say so once.
        static bool bWarned = false;
        if (!bWarned) {
            bWarned = true;
            qWarning("Brevel: no %s converter; received bytes are shown as Latin-1", kCodePageName);
        }
        strText = QString::fromLatin1(baBytes.first(nWhole));
    }
    if (nWhole < baBytes.size())
        strText.append(QChar::ReplacementCharacter);
    return strText;
}
