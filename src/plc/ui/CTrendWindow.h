#pragma once

#include "plc/MemoryTable.h"

#include <QDateTime>
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <vector>

class QChart;
class QChartView;
class QDateTimeAxis;
class QLabel;
class QLineSeries;
class QPushButton;
class QValueAxis;

// A plot of up to eight words of a PLC screen's memory table over time: the
// screen hands it one sample of the table per tree refresh. The history is
// a ring of the last kMaxSamples samples, so a run of days holds a bounded
// amount; pause stops taking samples and keeps what is shown. The CSV
// export writes exactly the samples shown: the time, then one column per
// word in decimal.
class CTrendWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxWords = 8;
    static constexpr int kMaxSamples = 3600; // an hour at one sample a second
    static constexpr const char* kTooMany = "트렌드에는 워드를 8개까지만 넣을 수 있습니다.";

    CTrendWindow(const QString& strRootLabel, QWidget* parent = nullptr);

    // Adds a word to the plot; a word already there is left alone (true).
    // False with the reason (said by the caller) when eight are there.
    bool AddWord(int nWord, QString& problem);
    void ClearWords();
    const std::vector<int>& Words() const { return m_words; }

    // One sample of the words at this time; nothing while paused.
    void AddSample(const QDateTime& time, const MemoryTable& memory);
    void SetPaused(bool bPaused);
    bool IsPaused() const { return m_bPaused; }
    int SampleCount() const { return static_cast<int>(m_samples.size()); }

    // What is plotted, and the same as CSV ("time,NAME_INDEX[n],...").
    QLineSeries* Series(int nColumn) const;
    QString CsvText() const;
    // Writes the CSV safely; false with the reason.
    bool ExportCsv(const std::filesystem::path& path, QString& problem) const;

    QPushButton* PauseButton() const { return m_pPause; }

protected:
    // Where to save the CSV; empty when the user cancelled. Tests answer it.
    virtual QString AskCsvPath();

private:
    struct SSample {
        QDateTime m_time;
        std::array<std::uint16_t, kMaxWords> m_values{};
    };
    void Rebuild();
    void OnExport();

    QString m_strRootLabel;
    std::vector<int> m_words;
    std::deque<SSample> m_samples;
    bool m_bPaused = false;

    QChart* m_pChart = nullptr;
    QChartView* m_pView = nullptr;
    QDateTimeAxis* m_pTimeAxis = nullptr;
    QValueAxis* m_pValueAxis = nullptr;
    std::vector<QLineSeries*> m_series;
    QPushButton* m_pPause = nullptr;
    QPushButton* m_pClear = nullptr;
    QPushButton* m_pExport = nullptr;
    QLabel* m_pStatus = nullptr;
};
