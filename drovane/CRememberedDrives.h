#pragma once

#include "DrovaneExport.h"

#include <QList>
#include <QString>

// The mappings to restore at the next log-on: one line per drive, "Z:", the
// share and the user name, separated by TABs. Passwords are never kept. The
// file and its folder are the user's alone.
class DROVANE_EXPORT CRememberedDrives {
public:
    struct Entry {
        QString m_strLocal;
        QString m_strRemote;
        QString m_strUser;
    };
    enum class State { Ok, CannotOpen };

    explicit CRememberedDrives(QString strFile);

    // The file under the user's config folder.
    static QString DefaultFile();

    // True when the text holds no control character (TAB, line breaks, NUL,
    // ...): such a text cannot be kept on one line of the file, nor handed
    // to the CIFS tools.
    static bool IsPlainText(const QString& strText);

    // Reads the file; a missing file is an empty list. A damaged line is
    // passed over, so it cannot keep the other drives from being restored.
    // Whether the file can be written is part of Ok.
    State Load(QList<Entry>* pEntries = nullptr) const;
    // Adds or replaces the drive's line; damaged lines are kept as they are
    // for a person to mend. Refuses an entry that is not plain text.
    bool Remember(const Entry& entry) const;

    const QString& File() const { return m_strFile; }

private:
    // One line of the file, or nothing when it is damaged.
    static bool ParseLine(const QByteArray& line, Entry* pEntry);
    QList<QByteArray> ReadLines() const;

    QString m_strFile;
};
