// Forms made in Qt Designer: uic writes calls to the properties' setters,
// and this file only compiles if they have the names uic expects.

#include "Brevel.h"
#include "ui_BrevelTestForm.h"
#include "ui_host-form.h"

#include <gtest/gtest.h>

TEST(BrevelForm, DesignerFormsSetTheirProperties) {
    QWidget form;
    Ui::BrevelTestForm ui;
    ui.setupUi(&form);
    const Brevel& brevel = *ui.Brevel1;
    EXPECT_EQ(brevel.Settings(), QStringLiteral("19200,e,7,2"));
    EXPECT_EQ(brevel.InputLen(), 16);
    EXPECT_EQ(brevel.InBufferSize(), 2048);
    EXPECT_EQ(brevel.Handshaking(), MSComm::comRTS);
    EXPECT_TRUE(brevel.EOFEnable());
    EXPECT_FALSE(brevel.DTREnable());
    EXPECT_EQ(brevel.CommPort(), 3);

    // The sample form of the documentation.
    QWidget hostForm;
    Ui::HostForm hostUi;
    hostUi.setupUi(&hostForm);
    EXPECT_EQ(hostUi.Brevel1->CommPort(), 2);
}
