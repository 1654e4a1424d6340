#include "GuiTestSupport.h"
#include "TestFiles.h"

#include "plc/ui/CTrendWindow.h"

#include <QLineSeries>
#include <QPushButton>
#include <QStringList>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QDateTime At(int seconds) {
    return QDateTime(QDate(2026, 3, 1), QTime(8, 0)).addSecs(seconds);
}

// The CSV's data lines, split into cells.
std::vector<QStringList> CsvRows(const QString& csv) {
    std::vector<QStringList> rows;
    for (const QString& line : csv.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
        rows.push_back(line.split(QLatin1Char(',')));
    return rows;
}

} // namespace

TEST(TrendWindow, TheCsvHoldsExactlyThePointsShown) {
    CTrendWindow trend(QStringLiteral("AN_YASKAWA_PLC"));
    QString problem;
    for (int word : {7, 999})
        ASSERT_TRUE(trend.AddWord(word, problem));
    MemoryTable memory;
    for (int i = 0; i < 3; ++i) {
        memory.Set(7, static_cast<std::uint16_t>(10 * i));
        memory.Set(999, static_cast<std::uint16_t>(65535 - i));
        trend.AddSample(At(i), memory);
    }
    // Paused, the refreshes add nothing; resumed, they do again.
    QTest::mouseClick(trend.PauseButton(), Qt::LeftButton);
    EXPECT_TRUE(trend.IsPaused());
    trend.AddSample(At(10), memory);
    QTest::mouseClick(trend.PauseButton(), Qt::LeftButton);
    EXPECT_FALSE(trend.IsPaused());
    memory.Set(7, 1234);
    trend.AddSample(At(20), memory);

    const std::vector<QStringList> rows = CsvRows(trend.CsvText());
    ASSERT_EQ(rows.size(), 5U);
    EXPECT_EQ(rows[0].join(QLatin1Char(',')),
              QStringLiteral("time,AN_YASKAWA_PLC_INDEX[7],AN_YASKAWA_PLC_INDEX[999]"));
    EXPECT_EQ(rows[1][0], QStringLiteral("2026-03-01 08:00:00.000"));
    EXPECT_EQ(rows[4][0], QStringLiteral("2026-03-01 08:00:20.000"));
    for (int column = 0; column < 2; ++column) {
        QLineSeries* series = trend.Series(column);
        ASSERT_NE(series, nullptr);
        ASSERT_EQ(series->count(), 4);
        for (int p = 0; p < 4; ++p) {
            const QStringList& row = rows[static_cast<std::size_t>(p) + 1];
            EXPECT_EQ(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(series->at(p).x()))
                          .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")),
                      row[0]);
            EXPECT_EQ(series->at(p).y(), row[column + 1].toDouble()) << column << ' ' << p;
        }
    }
    EXPECT_EQ(rows[4][1], QStringLiteral("1234"));
    EXPECT_EQ(rows[4][2], QStringLiteral("65533"));

    TempDir dir;
    ASSERT_TRUE(trend.ExportCsv(dir.Path() / "trend.csv", problem)) << problem.toStdString();
    EXPECT_EQ(QString::fromStdString(ReadFile(dir.Path() / "trend.csv")), trend.CsvText());
    EXPECT_FALSE(trend.ExportCsv(dir.Path() / "missing" / "trend.csv", problem));
    EXPECT_TRUE(problem.startsWith(QStringLiteral("CSV 파일을 저장하지 못했습니다: ")));
}

TEST(TrendWindow, EightWordsAtMostAndTheHistoryIsBounded) {
    CTrendWindow trend(QStringLiteral("AN_MELSEC_PLC"));
    QString problem;
    for (int word = 0; word < CTrendWindow::kMaxWords; ++word)
        ASSERT_TRUE(trend.AddWord(word * 100, problem)) << word;
    EXPECT_TRUE(trend.AddWord(700, problem)); // already there
    EXPECT_FALSE(trend.AddWord(999, problem));
    EXPECT_EQ(problem, QString::fromUtf8(CTrendWindow::kTooMany));
    EXPECT_FALSE(trend.AddWord(1000, problem));
    EXPECT_EQ(trend.Words().size(), 8U);

    MemoryTable memory;
    const int total = CTrendWindow::kMaxSamples + 5;
    for (int i = 0; i < total; ++i) {
        memory.Set(0, static_cast<std::uint16_t>(i));
        trend.AddSample(At(i), memory);
    }
    // The oldest points went; the newest are there.
    EXPECT_EQ(trend.SampleCount(), CTrendWindow::kMaxSamples);
    EXPECT_EQ(trend.Series(0)->count(), CTrendWindow::kMaxSamples);
    EXPECT_EQ(trend.Series(0)->at(0).y(), 5.0);
    EXPECT_EQ(trend.Series(0)->at(CTrendWindow::kMaxSamples - 1).y(), total - 1.0);

    trend.ClearWords();
    EXPECT_TRUE(trend.Words().empty());
    EXPECT_EQ(trend.SampleCount(), 0);
    EXPECT_EQ(trend.Series(0), nullptr);
}
