#include "tools/ui/CIpCheckerDlg.h"
#include "tools/ui/CSystemIpSource.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

class CFakeIpSource : public IIpSource {
public:
    QString UserName() override { return QStringLiteral("engineer"); }
    QString HostName() override { return QStringLiteral("plant-pc"); }
    QStringList OwnAddresses() override { return m_addresses; }
    void FindNeighbours(NeighboursFn done) override {
        ++m_nLooks;
        m_fnDone = std::move(done);
    }

    QStringList m_addresses{"192.168.0.7", "10.0.0.1"};
    NeighboursFn m_fnDone;
    int m_nLooks = 0;
};

QStringList Items(const QListWidget* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    return items;
}

TEST(IpCheckerDlg, ShowsTheSourcesAnswersInItsLineFormatsAndRefills) {
    auto owned = std::make_unique<CFakeIpSource>();
    CFakeIpSource* source = owned.get();
    CIpCheckerDlg dialog(std::move(owned));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("IP CHECKER"));
    EXPECT_EQ(dialog.UserBox()->text(), QStringLiteral("engineer"));
    EXPECT_EQ(dialog.HostBox()->text(), QStringLiteral("plant-pc"));
    EXPECT_EQ(Items(dialog.OwnAddressList()),
              (QStringList{"1번 IP : < 192.168.0.7 > ", "2번 IP : < 10.0.0.1 > "}));
    EXPECT_TRUE(dialog.NeighbourList()->count() == 0);

    // The neighbourhood comes in later, when its look is done.
    source->m_fnDone({{"\\\\HMI-1", {192, 168, 0, 20}}, {"plc-gw", {192, 168, 0, 21}}});
    EXPECT_EQ(Items(dialog.NeighbourList()),
              (QStringList{"1번 HMI-1 : <192.168.0.20>", "2번 plc-gw : <192.168.0.21>"}));

    source->m_addresses = {"172.16.0.3"};
    dialog.RefreshButton()->click();
    EXPECT_EQ(Items(dialog.OwnAddressList()), QStringList{"1번 IP : < 172.16.0.3 > "});
    EXPECT_EQ(dialog.NeighbourList()->count(), 0);
    QTest::keyClick(&dialog, Qt::Key_Return);
    EXPECT_EQ(source->m_nLooks, 3);
    EXPECT_FALSE(dialog.isVisible() && dialog.result() == QDialog::Accepted);
}

TEST(IpCheckerDlg, TheSystemsNeighbourhoodComesWithinItsDeadline) {
    // Only a browse the test can keep to this machine is run: that needs
    // an Avahi daemon of the test's own on loopback, which Avahi does not
    // serve, so without one already running the look must simply end.
    CSystemIpSource source;
    EXPECT_FALSE(source.HostName().isEmpty());
    for (const QString& address : source.OwnAddresses())
        EXPECT_EQ(QHostAddress(address).protocol(), QAbstractSocket::IPv4Protocol);
    if (!QStandardPaths::findExecutable(QStringLiteral("avahi-browse")).isEmpty())
        GTEST_SKIP() << "avahi-browse is installed: browsing would ask the real network, "
                        "and no test daemon can be started on loopback only";
    bool bDone = false;
    IIpSource::Neighbours found{{"x", {}}};
    QElapsedTimer clock;
    clock.start();
    source.FindNeighbours([&](const IIpSource::Neighbours& hosts) {
        bDone = true;
        found = hosts;
    });
    while (!bDone && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_TRUE(bDone);
    EXPECT_LT(clock.elapsed(), CSystemIpSource::kDeadlineMs + 500);
    EXPECT_TRUE(found.empty());
}

// Runs the source's look until it calls back; how long it took.
qint64 Look(CSystemIpSource& source, IIpSource::Neighbours& found, bool& bDone) {
    QElapsedTimer clock;
    clock.start();
    source.FindNeighbours([&](const IIpSource::Neighbours& hosts) {
        bDone = true;
        found = hosts;
    });
    while (!bDone && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return clock.elapsed();
}

TEST(IpCheckerDlg, ABrowseThatHangsIsEndedAtTheDeadlineWithWhatItPrinted) {
    // A stand-in for avahi-browse first on PATH: it prints one resolved host
    // and half a line, then hangs as a browse on a slow network would.
    TempDir dir;
    const auto script = dir / "avahi-browse";
    WriteFile(script, "#!/bin/sh\n"
                      "printf '=;eth0;IPv4;plant;_ssh._tcp;local;plant.local;192.168.1.20;22;\\n'\n"
                      "printf '=;eth0;IPv4;cut;_x._tcp;local;cut.local;10.0'\n"
                      "exec sleep 30\n");
    ::chmod(script.c_str(), 0700);
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QByteArray(dir.Path().c_str()) + ":" + oldPath);

    CSystemIpSource source;
    IIpSource::Neighbours found;
    bool bDone = false;
    const qint64 took = Look(source, found, bDone);
    qputenv("PATH", oldPath);
    ASSERT_TRUE(bDone);
    EXPECT_GE(took, CSystemIpSource::kDeadlineMs - 100);
    EXPECT_LT(took, CSystemIpSource::kDeadlineMs + 1000);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].m_strName, "plant");
    EXPECT_EQ(CIpCheckerText::NeighbourLine(1, found[0].m_strName, found[0].m_address),
              "1번 plant : <192.168.1.20>");
}

} // namespace
