#include "tools/ui/CIpCheckerDlg.h"

#include "tools/CIpCheckerText.h"
#include "tools/ui/CSystemIpSource.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

CIpCheckerDlg::CIpCheckerDlg(QWidget* parent)
    : CIpCheckerDlg(std::make_unique<CSystemIpSource>(), parent) {}

CIpCheckerDlg::CIpCheckerDlg(std::unique_ptr<IIpSource> source, QWidget* parent)
    : CBackgroundDialog(parent), m_pSource(std::move(source)) {
    setWindowTitle(QStringLiteral("IP CHECKER"));
    Build();
    Refresh();
}

CIpCheckerDlg::~CIpCheckerDlg() = default;

void CIpCheckerDlg::Build() {
    auto name = [](QObject* object, int id) { object->setObjectName(QString::number(id)); };
    auto* layout = new QVBoxLayout(this);

    auto* mine = new QGroupBox(tr("나의 정보"), this);
    auto* grid = new QGridLayout(mine);
    m_pUser = new QLineEdit(mine);
    name(m_pUser, IDC_USER);
    m_pUser->setReadOnly(true);
    m_pHost = new QLineEdit(mine);
    name(m_pHost, IDC_HOST);
    m_pHost->setReadOnly(true);
    m_pOwn = new QListWidget(mine);
    name(m_pOwn, IDC_OWN_IPS);
    m_pOwn->setMinimumHeight(80);
    grid->addWidget(new QLabel(tr("사용자 이름"), mine), 0, 0);
    grid->addWidget(m_pUser, 0, 1);
    grid->addWidget(new QLabel(tr("네트워크 이름"), mine), 1, 0);
    grid->addWidget(m_pHost, 1, 1);
    grid->addWidget(new QLabel(tr("나의 IP"), mine), 2, 0, Qt::AlignTop);
    grid->addWidget(m_pOwn, 2, 1);
    layout->addWidget(mine);

    auto* network = new QGroupBox(tr("네트워크"), this);
    auto* column = new QVBoxLayout(network);
    column->addWidget(new QLabel(tr("네트워크 상의 IP"), network));
    m_pNeighbours = new QListWidget(network);
    name(m_pNeighbours, IDC_NEIGHBOURS);
    m_pNeighbours->setMinimumHeight(120);
    column->addWidget(m_pNeighbours);
    m_pRefresh = new QPushButton(tr("REFRESH"), network);
    name(m_pRefresh, IDC_REFRESH);
    m_pRefresh->setAutoDefault(false);
    column->addWidget(m_pRefresh, 0, Qt::AlignRight);
    layout->addWidget(network);

    connect(m_pRefresh, &QPushButton::clicked, this, &CIpCheckerDlg::Refresh);
    resize(380, 420);
}

void CIpCheckerDlg::Refresh() {
    m_pOwn->clear();
    m_pUser->setText(m_pSource->UserName());
    m_pHost->setText(m_pSource->HostName());
    int position = 1;
    for (const QString& address : m_pSource->OwnAddresses())
        m_pOwn->addItem(QString::fromStdString(
            CIpCheckerText::OwnAddressLine(position++, address.toStdString())));

    m_pNeighbours->clear();
    // The source calls back only while it lives, and it lives as long as
    // this dialog.
    m_pSource->FindNeighbours([this](const IIpSource::Neighbours& hosts) {
        m_pNeighbours->clear();
        int number = 1;
        for (const CIpCheckerText::SNeighbour& host : hosts)
            m_pNeighbours->addItem(QString::fromStdString(
                CIpCheckerText::NeighbourLine(number++, host.m_strName, host.m_address)));
    });
}

void CIpCheckerDlg::keyPressEvent(QKeyEvent* event) {
    // Enter anywhere refills; it does not close the dialog.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        Refresh();
        return;
    }
    CBackgroundDialog::keyPressEvent(event);
}
