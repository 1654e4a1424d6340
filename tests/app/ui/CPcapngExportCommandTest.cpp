#include "GuiTestSupport.h"

#include "analyzer/ui/CTessaryView.h"
#include "app/CPcapngWriter.h"
#include "app/CProgramSettings.h"
#include "app/CQSettingsStore.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/CPcapngExportCommand.h"
#include "plc/ui/CComYaskawaView.h"

#include <QAbstractButton>
#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// The Modbus RTU packets follow the Yaskawa screen's mode radio as the user
// has set it, polled or not; any other screen writes the user link type.
TEST(PcapngExportCommand, WritesModbusRtuOnlyFromTheYaskawaScreenInRtuMode) {
    CTestScreenHost host;
    CComYaskawaView yaskawa(host);
    yaskawa.InitialUpdate();
    EXPECT_FALSE(CPcapngExportCommand::IsModbusRtu(&yaskawa));
    QTest::mouseClick(
        yaskawa.findChild<QAbstractButton*>(QString::number(CComYaskawaView::IDC_MODE_RTU)),
        Qt::LeftButton);
    EXPECT_TRUE(CPcapngExportCommand::IsModbusRtu(&yaskawa));
    CTessaryView analyzer(host);
    EXPECT_FALSE(CPcapngExportCommand::IsModbusRtu(&analyzer));
    EXPECT_FALSE(CPcapngExportCommand::IsModbusRtu(nullptr));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.pcapng"));
    const std::uint8_t frame[] = {0x01, 0x03, 0x00, 0x10, 0x00, 0x02, 0xC5, 0xCE};
    host.m_doc.AddRecord(TRAFFIC_TX, frame, sizeof frame); // loaded: no time
    CPcapngExportCommand::SetPathHook([&] { return path; });
    CMessageRecorder messages;
    CPcapngExportCommand::Run(nullptr, host.m_doc, &yaskawa, QString());
    CPcapngExportCommand::SetPathHook({});
    ASSERT_EQ(messages.m_messages.size(), 1u);
    const QString said = messages.m_messages[0].m_strText;
    EXPECT_TRUE(said.contains(QStringLiteral("Modbus RTU"))) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("1 ms"))) << said.toStdString(); // no times, said
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.contains("mbrtu"));
}

TEST(PcapngExportCommand, AFailedExportSaysWhyAndWritesNothing) {
    CTestScreenHost host;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("missing/x.pcapng"));
    QString message;
    EXPECT_FALSE(CPcapngExportCommand::Export(host.m_doc, path, false, message));
    EXPECT_TRUE(message.contains(path)) << message.toStdString();
    EXPECT_FALSE(QFile::exists(path));
}

// The file menu carries the command, after "저장...AS", and it exports the
// window's capture.
TEST(PcapngExportCommand, TheFileMenuExportsTheCapture) {
    QTemporaryDir dir;
    CQSettingsStore store(dir.filePath(QStringLiteral("QUILLET.ini")));
    CProgramSettings settings;
    settings.Load(store);
    CMainFrame frame(settings, store);
    const std::uint8_t ack = 0x06;
    frame.Doc().AddRecord(TRAFFIC_RX, &ack, 1, 1765400000000000);

    QMenu* file = frame.menuBar()->actions().constFirst()->menu();
    ASSERT_NE(file, nullptr);
    QStringList texts;
    for (QAction* action : file->actions())
        texts << action->text();
    const qsizetype at = texts.indexOf(QString::fromUtf8(CPcapngExportCommand::kMenuText));
    ASSERT_GT(at, 0) << texts.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(texts[at - 1], QStringLiteral("저장...AS"));

    const QString path = dir.filePath(QStringLiteral("menu.pcapng"));
    CPcapngExportCommand::SetPathHook([&] { return path; });
    CMessageRecorder messages;
    file->actions()[at]->trigger();
    CPcapngExportCommand::SetPathHook({});
    ASSERT_EQ(messages.m_messages.size(), 1u);
    EXPECT_TRUE(messages.m_messages[0].m_strText.contains(path));
    EXPECT_FALSE(
        messages.m_messages[0].m_strText.contains(QStringLiteral("1 ms"))); // it had a time
    EXPECT_TRUE(QFile::exists(path));
}

} // namespace
