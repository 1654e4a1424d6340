#include "app/ui/CAboutDlg.h"

#include "tools/CHelpTopics.h"
#include "widgets/CArtwork.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CAboutDlg::CAboutDlg(QWidget* parent) : CBackgroundDialog(parent) {
    setWindowTitle(tr("만든이 정보"));

    auto* icon = new QLabel(this);
    icon->setPixmap(CArtwork::AppIcon().pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);

    QString name = QStringLiteral("QUILLET");
    const QString version = QCoreApplication::applicationVersion();
    if (!version.isEmpty())
        name += tr(" 버전 %1").arg(version);
    auto* title = new QLabel(name, this);
    title->setObjectName(QStringLiteral("title"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);

    auto* what = new QLabel(tr("PLC와 여러 장치의 통신을 시험하고 분석하는 도구"), this);
    auto* credits =
        new QLabel(tr("만든이 : %1").arg(QString::fromUtf8(CHelpTopics::kAuthor)), this);

    auto* text = new QVBoxLayout;
    text->setSpacing(6);
    text->addWidget(title);
    text->addWidget(what);
    text->addWidget(credits);
    text->addStretch();

    m_pOk = new QPushButton(tr("확인"), this);
    m_pOk->setObjectName(QStringLiteral("ok"));
    m_pOk->setDefault(true);
    connect(m_pOk, &QPushButton::clicked, this, &QDialog::accept);
    m_pUpdate = new QPushButton(tr("최신 버전 확인"), this);
    m_pUpdate->setObjectName(QStringLiteral("update"));
    m_pUpdate->setAutoDefault(false);
    connect(m_pUpdate, &QPushButton::clicked, this, &CAboutDlg::OnCheckUpdate);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_pOk);
    buttons->addWidget(m_pUpdate);
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(16);
    layout->addWidget(icon);
    layout->addLayout(text, 1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CAboutDlg::OnCheckUpdate() {
    // Whether the browser came up is the shell's business; nothing to tell.
    CurrentOpener()(QUrl(QString::fromLatin1(kReleasesUrl)));
}

void CAboutDlg::SetUrlOpener(UrlOpener opener) {
    CurrentOpener() = opener ? std::move(opener) : UrlOpener(&QDesktopServices::openUrl);
}

CAboutDlg::UrlOpener& CAboutDlg::CurrentOpener() {
    static UrlOpener opener = &QDesktopServices::openUrl;
    return opener;
}
