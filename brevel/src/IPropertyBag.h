#pragma once

#include <QString>
#include <QVariant>

// The host's store for a control's design-time settings. A host hands one to
// the control when it loads or saves a form.
class IPropertyBag {
public:
    virtual ~IPropertyBag() = default;

    // The stored value, or varDefault when nothing is stored under the name.
    virtual QVariant ReadProperty(const QString& strName, const QVariant& varDefault) const = 0;

    // Stores the value; a value equal to varDefault is not stored (and one
    // stored earlier is dropped), so loading yields the default again.
    virtual void WriteProperty(const QString& strName, const QVariant& varValue,
                               const QVariant& varDefault) = 0;
};
