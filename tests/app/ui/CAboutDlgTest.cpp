#include "app/ui/CAboutDlg.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

namespace {

// Records the addresses the about box would open, for the life of the object.
class CUrlRecorder {
public:
    CUrlRecorder() {
        CAboutDlg::SetUrlOpener([this](const QUrl& url) {
            m_urls.push_back(url);
            return true;
        });
    }
    ~CUrlRecorder() { CAboutDlg::SetUrlOpener({}); }
    CUrlRecorder(const CUrlRecorder&) = delete;
    CUrlRecorder& operator=(const CUrlRecorder&) = delete;

    std::vector<QUrl> m_urls;
};

} // namespace

TEST(AboutDlg, UpdateButtonOpensTheReleasesPageAndOkCloses) {
    CUrlRecorder opened;
    QCoreApplication::setApplicationVersion(QStringLiteral("1.2.3"));
    CAboutDlg dlg;
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("만든이 정보"));
    QLabel* title = dlg.findChild<QLabel*>(QStringLiteral("title"));
    ASSERT_NE(title, nullptr);
    EXPECT_TRUE(title->text().startsWith(QStringLiteral("QUILLET")));
    EXPECT_TRUE(title->text().contains(QStringLiteral("1.2.3")));

    QTest::mouseClick(dlg.UpdateButton(), Qt::LeftButton);
    ASSERT_EQ(opened.m_urls.size(), 1u);
    EXPECT_EQ(opened.m_urls[0], QUrl(QStringLiteral("https://quillet.example.org/releases")));
    EXPECT_TRUE(dlg.isVisible());

    QTest::mouseClick(dlg.OkButton(), Qt::LeftButton);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(opened.m_urls.size(), 1u);
}
