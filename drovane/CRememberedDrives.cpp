#include "CRememberedDrives.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

CRememberedDrives::CRememberedDrives(QString strFile) : m_strFile(std::move(strFile)) {}

QString CRememberedDrives::DefaultFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/drovane/drives");
}

CRememberedDrives::State CRememberedDrives::Load(QList<Entry>* pEntries) const {
    const QFileInfo info(m_strFile);
    if (!info.exists()) {
        // Its folder must be one we can make and write into.
        const QString strDir = info.absolutePath();
        if (!QDir().mkpath(strDir) || !QFileInfo(strDir).isWritable())
            return State::CannotOpen;
        return State::Ok;
    }
    QFile file(m_strFile);
    if (!info.isWritable() || !file.open(QIODevice::ReadOnly | QIODevice::Text))
        return State::CannotOpen;
    while (!file.atEnd()) {
        // Only the line's end goes: an empty user name leaves a TAB at its end.
        QString strLine = QString::fromUtf8(file.readLine());
        while (strLine.endsWith(QLatin1Char('\n')) || strLine.endsWith(QLatin1Char('\r')))
            strLine.chop(1);
        if (strLine.trimmed().isEmpty())
            continue;
        const QStringList fields = strLine.split(QLatin1Char('\t'));
        if (fields.size() != 3 || fields[0].size() != 2 || !fields[0][0].isLetter() ||
            fields[0][1] != QLatin1Char(':') || fields[1].isEmpty())
            return State::Corrupt;
        if (pEntries)
            pEntries->append({fields[0], fields[1], fields[2]});
    }
    return State::Ok;
}

bool CRememberedDrives::Remember(const Entry& entry) const {
    QList<Entry> entries;
    if (Load(&entries) != State::Ok)
        return false;
    bool bReplaced = false;
    for (Entry& old : entries) {
        if (old.m_strLocal.compare(entry.m_strLocal, Qt::CaseInsensitive) == 0) {
            old = entry;
            bReplaced = true;
        }
    }
    if (!bReplaced)
        entries.append(entry);
    QSaveFile file(m_strFile);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    for (const Entry& line : entries)
        file.write((line.m_strLocal + QLatin1Char('\t') + line.m_strRemote + QLatin1Char('\t') +
                    line.m_strUser + QLatin1Char('\n'))
                       .toUtf8());
    return file.commit();
}
