#include "CRememberedDrives.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

QByteArray LineOf(const CRememberedDrives::Entry& entry) {
    return (entry.m_strLocal + QLatin1Char('\t') + entry.m_strRemote + QLatin1Char('\t') +
            entry.m_strUser)
        .toUtf8();
}

} // namespace

CRememberedDrives::CRememberedDrives(QString strFile) : m_strFile(std::move(strFile)) {}

QString CRememberedDrives::DefaultFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/drovane/drives");
}

bool CRememberedDrives::IsPlainText(const QString& strText) {
    for (const QChar c : strText)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    return true;
}

bool CRememberedDrives::ParseLine(const QByteArray& line, Entry* pEntry) {
    const QList<QByteArray> fields = line.split('\t');
    if (fields.size() != 3)
        return false;
    const QString strLocal = QString::fromUtf8(fields[0]);
    const QString strRemote = QString::fromUtf8(fields[1]);
    const QString strUser = QString::fromUtf8(fields[2]);
    if (strLocal.size() != 2 || !strLocal[0].isLetter() || strLocal[1] != QLatin1Char(':') ||
        strRemote.isEmpty() || !IsPlainText(strRemote) || !IsPlainText(strUser))
        return false;
    *pEntry = {strLocal, strRemote, strUser};
    return true;
}

QList<QByteArray> CRememberedDrives::ReadLines() const {
    QList<QByteArray> lines;
    QFile file(m_strFile);
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    for (QByteArray line : file.readAll().split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.trimmed().isEmpty())
            lines.append(line);
    }
    return lines;
}

CRememberedDrives::State CRememberedDrives::Load(QList<Entry>* pEntries) const {
    const QFileInfo info(m_strFile);
    if (!info.exists()) {
        // Its folder must be one we can make and write into; one we make is
        // the user's alone.
        const QString strDir = info.absolutePath();
        const bool bNew = !QFileInfo::exists(strDir);
        if (!QDir().mkpath(strDir) || !QFileInfo(strDir).isWritable())
            return State::CannotOpen;
        if (bNew)
            QFile::setPermissions(strDir, kOwnerOnly | QFileDevice::ExeOwner);
        return State::Ok;
    }
    if (!info.isFile() || !info.isWritable() || !info.isReadable())
        return State::CannotOpen;
    for (const QByteArray& line : ReadLines()) {
        Entry entry;
        if (ParseLine(line, &entry) && pEntries)
            pEntries->append(entry);
    }
    return State::Ok;
}

bool CRememberedDrives::Remember(const Entry& entry) const {
    if (!IsPlainText(entry.m_strLocal) || !IsPlainText(entry.m_strRemote) ||
        !IsPlainText(entry.m_strUser))
        return false;
    if (Load() != State::Ok)
        return false;
    QList<QByteArray> lines = ReadLines();
    bool bReplaced = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        Entry old;
        if (!ParseLine(lines[i], &old) ||
            old.m_strLocal.compare(entry.m_strLocal, Qt::CaseInsensitive) != 0)
            continue;
        if (bReplaced) {
            lines.removeAt(i--);
        } else {
            lines[i] = LineOf(entry);
            bReplaced = true;
        }
    }
    if (!bReplaced)
        lines.append(LineOf(entry));
    QSaveFile file(m_strFile);
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(kOwnerOnly))
        return false;
    for (const QByteArray& line : lines)
        file.write(line + '\n');
    return file.commit();
}
