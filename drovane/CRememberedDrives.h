#pragma once

#include "DrovaneExport.h"

#include <QList>
#include <QString>

// The mappings to restore at the next log-on: one line per drive, "Z:", the
// share and the user name, separated by TABs. Passwords are never kept.
class DROVANE_EXPORT CRememberedDrives {
public:
    struct Entry {
        QString m_strLocal;
        QString m_strRemote;
        QString m_strUser;
    };
    enum class State { Ok, CannotOpen, Corrupt };

    explicit CRememberedDrives(QString strFile);

    // The file under the user's config folder.
    static QString DefaultFile();

    // Reads the file; a missing file is an empty list. Whether the file can
    // be written is part of Ok.
    State Load(QList<Entry>* pEntries = nullptr) const;
    // Adds or replaces the drive's line.
    bool Remember(const Entry& entry) const;

    const QString& File() const { return m_strFile; }

private:
    QString m_strFile;
};
