#include "CSettingsPropertyBag.h"

#include <QSettings>

CSettingsPropertyBag::CSettingsPropertyBag(QSettings& settings, const QString& strGroup)
    : m_settings(settings), m_strGroup(strGroup) {}

QVariant CSettingsPropertyBag::ReadProperty(const QString& strName,
                                            const QVariant& varDefault) const {
    const QVariant varStored = m_settings.value(Key(strName));
    if (!varStored.isValid())
        return varDefault;
    // Text stores give everything back as a string; hand it over in the
    // default's type.
    QVariant varValue = varStored;
    if (varDefault.isValid() && varValue.metaType() != varDefault.metaType() &&
        !varValue.convert(varDefault.metaType()))
        return varDefault;
    return varValue;
}

void CSettingsPropertyBag::WriteProperty(const QString& strName, const QVariant& varValue,
                                         const QVariant& varDefault) {
    if (varValue == varDefault)
        m_settings.remove(Key(strName));
    else
        m_settings.setValue(Key(strName), varValue);
}

QString CSettingsPropertyBag::Key(const QString& strName) const {
    return m_strGroup.isEmpty() ? strName : m_strGroup + QLatin1Char('/') + strName;
}
