#include "plc/CMemoryTableCsv.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

TEST(MemoryTableCsv, EveryWordInThreeRadixesInTableOrder) {
    MemoryTable memory;
    memory.Set(0, 0x1234);
    memory.Set(1, 65535);
    memory.Set(999, 42);
    std::vector<std::string> lines;
    std::istringstream in(CMemoryTableCsv::Text(memory));
    for (std::string line; std::getline(in, line);) {
        ASSERT_TRUE(line.ends_with('\r')) << line;
        line.pop_back();
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 1u + MemoryTable::kSize);
    EXPECT_EQ(lines[0], "index,decimal,hex,binary");
    EXPECT_EQ(lines[1], "0,4660,0x1234,0001 0010 0011 0100");
    EXPECT_EQ(lines[2], "1,65535,0xFFFF,1111 1111 1111 1111");
    EXPECT_EQ(lines[3], "2,0,0x0000,0000 0000 0000 0000");
    EXPECT_EQ(lines[1000], "999,42,0x002A,0000 0000 0010 1010");
}
