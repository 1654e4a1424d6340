// Qt Designer finds the control through the plugin module.

#include "Brevel.h"

#include <QPluginLoader>
#include <QScopedPointer>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

#include <gtest/gtest.h>

TEST(BrevelPlugin, OffersTheControlToDesigner) {
    QPluginLoader loader(QStringLiteral(BREVEL_PLUGIN_PATH));
    QObject* pInstance = loader.instance();
    ASSERT_NE(pInstance, nullptr) << loader.errorString().toStdString();
    auto* pInterface = qobject_cast<QDesignerCustomWidgetInterface*>(pInstance);
    ASSERT_NE(pInterface, nullptr);

    EXPECT_EQ(pInterface->name(), QStringLiteral("Brevel"));
    EXPECT_EQ(pInterface->includeFile(), QStringLiteral("Brevel.h"));
    EXPECT_FALSE(pInterface->isContainer());
    EXPECT_TRUE(pInterface->domXml().contains(QStringLiteral("class=\"Brevel\"")));
    QScopedPointer<QWidget> pWidget(pInterface->createWidget(nullptr));
    EXPECT_NE(qobject_cast<Brevel*>(pWidget.data()), nullptr);
}
