// The control's properties as a host sees them: through Qt's property
// system, refused values, and persistence in a property bag.

#include "Brevel.h"
#include "CSettingsPropertyBag.h"
#include "MSComm.h"

#include <QLabel>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Property {
    const char* pszName;
    QVariant varDefault;
    QVariant varOther; // a valid value that is not the default
};

// In the order the control loads and saves them.
const QList<Property>& Properties() {
    static const QList<Property> properties = {
        {"CommPort", 1, 3},
        {"DTREnable", true, false},
        {"EOFEnable", false, true},
        {"Handshaking", int(MSComm::comNone), int(MSComm::comRTS)},
        {"InBufferSize", 1024, 2048},
        {"InputLen", 0, 16},
        {"Settings", QStringLiteral("9600,n,8,1"), QStringLiteral("19200,e,7,2")},
    };
    return properties;
}

QVariant Get(const Brevel& brevel, const char* pszName) {
    QVariant value = brevel.property(pszName);
    if (value.metaType().flags() & QMetaType::IsEnumeration)
        value = value.toInt();
    return value;
}

// Writes down every call, in order, and keeps what a real bag would keep.
class CRecordingBag : public IPropertyBag {
public:
    QVariant ReadProperty(const QString& strName, const QVariant& varDefault) const override {
        m_reads.append(strName);
        m_readDefaults.append(varDefault);
        return m_values.value(strName, varDefault);
    }
    void WriteProperty(const QString& strName, const QVariant& varValue,
                       const QVariant& varDefault) override {
        m_writes.append(strName);
        m_writeDefaults.append(varDefault);
        if (varValue != varDefault)
            m_values.insert(strName, varValue);
    }

    mutable QStringList m_reads;
    mutable QVariantList m_readDefaults;
    QStringList m_writes;
    QVariantList m_writeDefaults;
    QVariantMap m_values;
};

TEST(BrevelProperties, StartAtTheirDefaults) {
    Brevel brevel;
    for (const Property& p : Properties()) {
        SCOPED_TRACE(p.pszName);
        EXPECT_EQ(Get(brevel, p.pszName), p.varDefault);
    }
}

TEST(BrevelProperties, WritesAreAnnouncedAndRefusedValuesKeepTheOldOne) {
    Brevel brevel;
    QSignalSpy changed(&brevel, &Brevel::PropertyChanged);
    for (const Property& p : Properties()) {
        SCOPED_TRACE(p.pszName);
        ASSERT_TRUE(brevel.setProperty(p.pszName, p.varOther));
        EXPECT_FALSE(brevel.LastError().Failed());
        EXPECT_EQ(Get(brevel, p.pszName), p.varOther);
        ASSERT_EQ(changed.count(), 1);
        EXPECT_EQ(changed.takeFirst().at(0).toString(), QString::fromLatin1(p.pszName));
    }

    struct Refused {
        const char* pszName;
        QVariant varValue;
        int nError;
    };
    const QList<Refused> refused = {
        {"Settings", QStringLiteral("9600,x,8,1"), MSComm::comInvalidPropertyValue},
        {"Settings", QStringLiteral("9600,n,8"), MSComm::comInvalidPropertyValue},
        {"Settings", QStringLiteral("fast,n,8,1"), MSComm::comInvalidPropertyValue},
        {"Settings", QStringLiteral("9600,n,9,1"), MSComm::comInvalidPropertyValue},
        {"CommPort", 0, MSComm::comPortInvalid},
        {"InputLen", -1, MSComm::comInvalidPropertyValue},
        {"InBufferSize", 0, MSComm::comInvalidPropertyValue},
        {"InBufferSize", 40000, MSComm::comInvalidPropertyValue},
        {"Handshaking", 4, MSComm::comInvalidPropertyValue},
    };
    for (const Refused& r : refused) {
        SCOPED_TRACE(r.varValue.toString().toStdString());
        const QVariant varBefore = Get(brevel, r.pszName);
        brevel.setProperty(r.pszName, r.varValue);
        EXPECT_EQ(brevel.LastError().nNumber, r.nError);
        EXPECT_FALSE(brevel.LastError().strDescription.isEmpty());
        EXPECT_EQ(Get(brevel, r.pszName), varBefore);
    }
    EXPECT_EQ(changed.count(), 0);
}

TEST(BrevelProperties, LoadAndSaveGoInOrderWithTheirDefaults) {
    QStringList names;
    QVariantList defaults;
    for (const Property& p : Properties()) {
        names.append(QString::fromLatin1(p.pszName));
        defaults.append(p.varDefault);
    }

    Brevel brevel;
    CRecordingBag bag;
    brevel.WriteProperties(bag);
    EXPECT_EQ(bag.m_writes, names);
    EXPECT_EQ(bag.m_writeDefaults, defaults);
    EXPECT_TRUE(bag.m_values.isEmpty());

    EXPECT_FALSE(brevel.ReadProperties(bag).Failed());
    EXPECT_EQ(bag.m_reads, names);
    EXPECT_EQ(bag.m_readDefaults, defaults);
}

class BrevelSettingsBag : public ::testing::Test {
protected:
    QString Path() const { return m_dir.filePath(QStringLiteral("form.ini")); }

    QTemporaryDir m_dir;
};

TEST_F(BrevelSettingsBag, DefaultsStoreNothingAndLoadBack) {
    {
        QSettings settings(Path(), QSettings::IniFormat);
        CSettingsPropertyBag bag(settings, QStringLiteral("Brevel1"));
        Brevel saved;
        saved.WriteProperties(bag);
    }
    QSettings settings(Path(), QSettings::IniFormat);
    EXPECT_TRUE(settings.allKeys().isEmpty());

    CSettingsPropertyBag bag(settings, QStringLiteral("Brevel1"));
    Brevel loaded;
    loaded.setCommPort(5); // loading puts the default back
    EXPECT_FALSE(loaded.ReadProperties(bag).Failed());
    for (const Property& p : Properties()) {
        SCOPED_TRACE(p.pszName);
        EXPECT_EQ(Get(loaded, p.pszName), p.varDefault);
    }
}

TEST_F(BrevelSettingsBag, OtherValuesRoundTripAndGoAgainWhenReset) {
    {
        QSettings settings(Path(), QSettings::IniFormat);
        CSettingsPropertyBag bag(settings, QStringLiteral("Brevel1"));
        Brevel saved;
        for (const Property& p : Properties())
            saved.setProperty(p.pszName, p.varOther);
        saved.WriteProperties(bag);
    }
    {
        QSettings settings(Path(), QSettings::IniFormat);
        EXPECT_EQ(settings.allKeys().size(), Properties().size());
        CSettingsPropertyBag bag(settings, QStringLiteral("Brevel1"));
        Brevel loaded;
        EXPECT_FALSE(loaded.ReadProperties(bag).Failed());
        for (const Property& p : Properties()) {
            SCOPED_TRACE(p.pszName);
            EXPECT_EQ(Get(loaded, p.pszName), p.varOther);
        }
        Brevel defaults;
        defaults.WriteProperties(bag);
    }
    QSettings settings(Path(), QSettings::IniFormat);
    EXPECT_TRUE(settings.allKeys().isEmpty());
}

TEST_F(BrevelSettingsBag, ABadStoredValueIsReportedAndTheRestStillLoads) {
    {
        QSettings settings(Path(), QSettings::IniFormat);
        settings.setValue(QStringLiteral("Brevel1/CommPort"), 4);
        settings.setValue(QStringLiteral("Brevel1/Settings"), QStringLiteral("garbage"));
        settings.setValue(QStringLiteral("Brevel1/InputLen"), 12);
    }
    QSettings settings(Path(), QSettings::IniFormat);
    CSettingsPropertyBag bag(settings, QStringLiteral("Brevel1"));
    Brevel loaded;
    EXPECT_EQ(loaded.ReadProperties(bag).nNumber, MSComm::comInvalidPropertyValue);
    EXPECT_EQ(loaded.CommPort(), 4);
    EXPECT_EQ(loaded.InputLen(), 12);
    EXPECT_EQ(loaded.Settings(), QStringLiteral("9600,n,8,1"));
}

TEST(BrevelWidget, IsAlwaysTheSizeOfItsBoldLabel) {
    Brevel brevel;
    const QLabel* pLabel = brevel.findChild<QLabel*>(QStringLiteral("Label1"));
    ASSERT_NE(pLabel, nullptr);
    EXPECT_EQ(pLabel->text(), QStringLiteral("Brevel"));
    EXPECT_TRUE(pLabel->font().bold());
    EXPECT_FALSE(pLabel->size().isEmpty());
    EXPECT_EQ(brevel.size(), pLabel->size());
    brevel.resize(300, 200);
    EXPECT_EQ(brevel.size(), pLabel->size());
}

} // namespace
