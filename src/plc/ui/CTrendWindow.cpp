#include "plc/ui/CTrendWindow.h"

#include "app/CSafeFile.h"
#include "widgets/CMessageBox.h"

#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace {

constexpr const char* kTimeFormat = "yyyy-MM-dd HH:mm:ss.zzz";

} // namespace

CTrendWindow::CTrendWindow(const QString& strRootLabel, QWidget* parent)
    : QWidget(parent, Qt::Window), m_strRootLabel(strRootLabel) {
    setWindowTitle(tr("트렌드 - %1").arg(strRootLabel));
    resize(760, 420);

    m_pChart = new QChart;
    m_pChart->legend()->setAlignment(Qt::AlignBottom);
    m_pTimeAxis = new QDateTimeAxis;
    m_pTimeAxis->setFormat(QStringLiteral("HH:mm:ss"));
    m_pTimeAxis->setTitleText(tr("시각"));
    m_pValueAxis = new QValueAxis;
    m_pValueAxis->setLabelFormat(QStringLiteral("%d"));
    m_pValueAxis->setTickCount(6);
    m_pValueAxis->setTitleText(tr("값 (10진수)"));
    m_pChart->addAxis(m_pTimeAxis, Qt::AlignBottom);
    m_pChart->addAxis(m_pValueAxis, Qt::AlignLeft);
    m_pView = new QChartView(m_pChart, this);
    m_pView->setRenderHint(QPainter::Antialiasing);

    m_pPause = new QPushButton(tr("일시정지"), this);
    m_pPause->setCheckable(true);
    m_pClear = new QPushButton(tr("워드 지우기"), this);
    m_pExport = new QPushButton(tr("CSV 내보내기…"), this);
    m_pStatus = new QLabel(this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_pPause);
    buttons->addWidget(m_pClear);
    buttons->addWidget(m_pExport);
    buttons->addWidget(m_pStatus, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pView, 1);
    layout->addLayout(buttons);

    connect(m_pPause, &QPushButton::toggled, this, &CTrendWindow::SetPaused);
    connect(m_pClear, &QPushButton::clicked, this, &CTrendWindow::ClearWords);
    connect(m_pExport, &QPushButton::clicked, this, &CTrendWindow::OnExport);
    Rebuild();
}

bool CTrendWindow::AddWord(int nWord, QString& problem) {
    if (!MemoryTable::Contains(nWord)) {
        problem = tr("메모리 테이블에 없는 워드입니다: %1").arg(nWord);
        return false;
    }
    if (std::find(m_words.begin(), m_words.end(), nWord) != m_words.end())
        return true;
    if (static_cast<int>(m_words.size()) >= kMaxWords) {
        problem = tr(kTooMany);
        return false;
    }
    m_words.push_back(nWord);
    // The samples hold the words chosen when they were taken: a new word
    // starts the plot over rather than leave a column with holes.
    m_samples.clear();
    Rebuild();
    return true;
}

void CTrendWindow::ClearWords() {
    m_words.clear();
    m_samples.clear();
    Rebuild();
}

void CTrendWindow::SetPaused(bool bPaused) {
    m_bPaused = bPaused;
    if (m_pPause->isChecked() != bPaused)
        m_pPause->setChecked(bPaused);
    m_pPause->setText(bPaused ? tr("계속") : tr("일시정지"));
}

void CTrendWindow::AddSample(const QDateTime& time, const MemoryTable& memory) {
    if (m_bPaused || m_words.empty())
        return;
    SSample sample;
    sample.m_time = time;
    for (std::size_t i = 0; i < m_words.size(); ++i)
        sample.m_values[i] = memory.Get(m_words[i]);
    m_samples.push_back(sample);
    while (m_samples.size() > static_cast<std::size_t>(kMaxSamples))
        m_samples.pop_front();
    Rebuild();
}

QLineSeries* CTrendWindow::Series(int nColumn) const {
    return nColumn >= 0 && nColumn < static_cast<int>(m_series.size())
               ? m_series[static_cast<std::size_t>(nColumn)]
               : nullptr;
}

// The series are made again only when the words change; a sample replaces
// their points in one go, which redraws once.
void CTrendWindow::Rebuild() {
    if (m_series.size() != m_words.size()) {
        for (QLineSeries* series : m_series) {
            m_pChart->removeSeries(series);
            delete series;
        }
        m_series.clear();
        for (int word : m_words) {
            auto* series = new QLineSeries;
            series->setName(QStringLiteral("%1_INDEX [%2]")
                                .arg(m_strRootLabel)
                                .arg(word, 3, 10, QLatin1Char('0')));
            m_pChart->addSeries(series);
            series->attachAxis(m_pTimeAxis);
            series->attachAxis(m_pValueAxis);
            m_series.push_back(series);
        }
    }
    int low = 0;
    int high = 1;
    for (std::size_t c = 0; c < m_series.size(); ++c) {
        QList<QPointF> points;
        points.reserve(static_cast<qsizetype>(m_samples.size()));
        for (const SSample& s : m_samples) {
            const int value = s.m_values[c];
            points.append(QPointF(static_cast<qreal>(s.m_time.toMSecsSinceEpoch()), value));
            low = std::min(low, value);
            high = std::max(high, value);
        }
        m_series[c]->replace(points);
    }
    const QDateTime now = QDateTime::currentDateTime();
    const QDateTime first = m_samples.empty() ? now : m_samples.front().m_time;
    const QDateTime last = m_samples.empty() ? now : m_samples.back().m_time;
    m_pTimeAxis->setRange(first, last > first ? last : first.addSecs(1));
    // Five steps of 1, 2 or 5 times a power of ten: 0, 200, 400 … rather
    // than 0, 262, 524 ….
    const double raw = std::max(1.0, (high - low) / 5.0);
    double power = std::pow(10.0, std::floor(std::log10(raw)));
    double bottom = 0;
    double step = power;
    // The smallest step whose five reach from a multiple of it below the
    // lowest value past the highest.
    for (int i = 0;; ++i) {
        step = power * std::array<double, 3>{1.0, 2.0, 5.0}[static_cast<std::size_t>(i % 3)];
        if (i % 3 == 2)
            power *= 10.0;
        bottom = std::floor(low / step) * step;
        if (bottom + 5 * step >= high)
            break;
    }
    m_pValueAxis->setRange(bottom, bottom + 5 * step);
    m_pStatus->setText(m_words.empty()
                           ? tr("트리에서 워드를 골라 \"트렌드\"를 누르십시오 (8개까지).")
                           : tr("워드 %1개, 점 %2개 (최근 %3개까지 보관)")
                                 .arg(m_words.size())
                                 .arg(m_samples.size())
                                 .arg(kMaxSamples));
}

QString CTrendWindow::CsvText() const {
    QString text = QStringLiteral("time");
    for (int word : m_words)
        text += QStringLiteral(",%1_INDEX[%2]").arg(m_strRootLabel).arg(word);
    text += QStringLiteral("\r\n");
    for (const SSample& s : m_samples) {
        text += s.m_time.toString(QString::fromLatin1(kTimeFormat));
        for (std::size_t c = 0; c < m_words.size(); ++c)
            text += QLatin1Char(',') + QString::number(s.m_values[c]);
        text += QStringLiteral("\r\n");
    }
    return text;
}

bool CTrendWindow::ExportCsv(const std::filesystem::path& path, QString& problem) const {
    std::string reason;
    if (CSafeFile::WriteAll(path, CsvText().toStdString(), &reason))
        return true;
    problem =
        tr("CSV 파일을 저장하지 못했습니다: %1\n%2")
            .arg(QString::fromStdString(CSafeFile::Text(path)), QString::fromStdString(reason));
    return false;
}

QString CTrendWindow::AskCsvPath() {
    return QFileDialog::getSaveFileName(this, tr("CSV 내보내기"), QStringLiteral("trend.csv"),
                                        tr("CSV 파일 (*.csv)"));
}

void CTrendWindow::OnExport() {
    const QString path = AskCsvPath();
    if (path.isEmpty())
        return;
    QString problem;
    if (!ExportCsv(std::filesystem::path(path.toStdU16String()), problem))
        CMessageBox::Show(this, problem);
}
