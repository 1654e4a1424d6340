#include "GuiTestSupport.h"

#include "analyzer/CRecordInfo.h"
#include "analyzer/ui/CTessaryView.h"
#include "analyzer/ui/CTrafficGrid.h"

#include <QApplication>
#include <QHelpEvent>
#include <QToolTip>

#include <gtest/gtest.h>

#include <vector>

namespace {

// The tooltip of a cell names the block its byte came from, also on later
// pages, where the cell's byte number is the page's start plus the cell.
TEST(TrafficGridTip, TellsTheTimeDirectionLengthAndGapOfTheCellsBlock) {
    CTestScreenHost host;
    const std::vector<std::uint8_t> bytes(600, 0x41);
    const std::int64_t t = 1765400000250000;
    host.m_doc.AddRecord(TRAFFIC_TX, bytes.data(), 600, t);       // page 1 and 78 bytes of 2
    host.m_doc.AddRecord(TRAFFIC_RX, bytes.data(), 5, t + 12345); // cells 78..82 of page 2
    CTessaryView view(host);
    view.InitialUpdate();
    view.ShowPage(2);
    CTrafficGrid* grid = view.Grid();

    const QString first = grid->ToolTipText(77);
    EXPECT_TRUE(first.contains(QString::fromStdString(CRecordInfo::LocalTime(t))))
        << first.toStdString();
    EXPECT_TRUE(first.contains(QStringLiteral("600 바이트"))) << first.toStdString();
    EXPECT_TRUE(first.contains(QStringLiteral("송신"))) << first.toStdString();
    const QString second = grid->ToolTipText(78);
    EXPECT_TRUE(second.contains(QStringLiteral("수신"))) << second.toStdString();
    EXPECT_TRUE(second.contains(QStringLiteral("+12.345 ms"))) << second.toStdString();
    EXPECT_EQ(grid->ToolTipText(83), QString()); // an empty cell
    EXPECT_EQ(grid->ToolTipText(-1), QString());

    // Hovering shows it; a capture cleared under a painted page shows none.
    const int column = 78 % PAGE_COLUMNS, row = 78 / PAGE_COLUMNS;
    const QPoint inCell(column * CTrafficGrid::COLUMN_WIDTH + 3,
                        row * CTrafficGrid::ROW_HEIGHT + 3);
    QHelpEvent hover(QEvent::ToolTip, inCell, grid->mapToGlobal(inCell));
    QApplication::sendEvent(grid, &hover);
    EXPECT_EQ(QToolTip::text(), second);
    host.m_doc.Clear();
    EXPECT_EQ(grid->ToolTipText(78), QString());
}

TEST(TrafficGridTip, ALoadedCaptureSaysItHasNoTimes) {
    CTestScreenHost host;
    const std::uint8_t ack = 0x06;
    host.m_doc.AddRecord(TRAFFIC_RX, &ack, 1); // as loaded from an .ALR file
    CTessaryView view(host);
    view.InitialUpdate();
    const QString tip = view.Grid()->ToolTipText(0);
    EXPECT_TRUE(tip.contains(QString::fromUtf8(CRecordInfo::kNoTimes))) << tip.toStdString();
    EXPECT_FALSE(tip.contains(QStringLiteral("간격"))) << tip.toStdString();
}

} // namespace
