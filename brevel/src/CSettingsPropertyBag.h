#pragma once

#include "BrevelExport.h"
#include "IPropertyBag.h"

class QSettings;

// A property bag on a QSettings store, for hosts that keep their forms'
// settings there. Properties are keys of one group of the store.
class BREVEL_EXPORT CSettingsPropertyBag : public IPropertyBag {
public:
    CSettingsPropertyBag(QSettings& settings, const QString& strGroup);

    QVariant ReadProperty(const QString& strName, const QVariant& varDefault) const override;
    void WriteProperty(const QString& strName, const QVariant& varValue,
                       const QVariant& varDefault) override;

private:
    QString Key(const QString& strName) const;

    QSettings& m_settings;
    QString m_strGroup;
};
