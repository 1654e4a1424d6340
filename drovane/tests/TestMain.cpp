// GoogleTest's main under a QApplication, for the form's widgets.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char* argv[]) {
    // Listing the tests at build time must not need a display either.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
