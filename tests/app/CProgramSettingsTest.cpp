#include "app/CProgramSettings.h"
#include "app/ISettingsStore.h"

#include <gtest/gtest.h>

#include <map>

namespace {

class MapStore : public ISettingsStore {
public:
    std::map<std::string, std::string> values; // "SECTION/KEY" -> text
    std::map<std::string, int> ints;

    std::optional<std::string> ReadValue(const std::string& section,
                                         const std::string& key) const override {
        auto it = values.find(section + "/" + key);
        if (it == values.end())
            return std::nullopt;
        return it->second;
    }
    void WriteText(const std::string& section, const std::string& key,
                   const std::string& value) override {
        values[section + "/" + key] = value;
    }
    void WriteInt(const std::string& section, const std::string& key, int value) override {
        values[section + "/" + key] = std::to_string(value);
        ints[section + "/" + key] = value;
    }
};

TEST(ProgramSettings, FirstRunGivesTheDefaults) {
    MapStore store;
    CProgramSettings s;
    s.Load(store);
    EXPECT_EQ(s.m_nPort, 120);
    EXPECT_EQ(s.m_nUdpPort, 121);
    EXPECT_EQ(s.m_nScreenChoose, 0);
    EXPECT_EQ(s.m_nComChoose, 6);
    EXPECT_EQ(s.m_nComConnect, 0);
    EXPECT_EQ(s.m_strIp, "localhost");
    EXPECT_EQ(s.m_strEnv, "1,9600,N,8,1,0,0");
    EXPECT_EQ(s.m_strNetwork, "00000000");
    EXPECT_EQ(s.m_strNode, "000000000000");
    EXPECT_EQ(s.m_strSocket, "2FFF");
    EXPECT_EQ(s.StartScreen(), 0);
}

TEST(ProgramSettings, StoredValuesWinAndNonNumbersKeepTheDefault) {
    MapStore store;
    store.values = {{"SETTING/PORT", "502"},
                    {"SETTING/UDPORT", "12x"},
                    {"SETTING/SCREENCHOOSE", " 9 "},
                    {"SETTING/COMCHOOSE", ""},
                    {"SETTING/COMCONNECT", "99999999999"},
                    {"SETTING/IP", "10.0.0.5"},
                    {"SETTING/ENV", "2,19200,E,7,2,1,1"},
                    {"SETTING/NODE", "00007F000001"},
                    {"OTHER/PORT", "7"}};
    CProgramSettings s;
    s.Load(store);
    EXPECT_EQ(s.m_nPort, 502);
    EXPECT_EQ(s.m_nUdpPort, 121); // "12x" is not a number
    EXPECT_EQ(s.m_nScreenChoose, 9);
    EXPECT_EQ(s.m_nComChoose, 6);  // empty
    EXPECT_EQ(s.m_nComConnect, 0); // beyond 32 bits
    EXPECT_EQ(s.m_strIp, "10.0.0.5");
    EXPECT_EQ(s.m_strEnv, "2,19200,E,7,2,1,1");
    EXPECT_EQ(s.m_strNode, "00007F000001");
    EXPECT_EQ(s.m_strSocket, "2FFF");
    EXPECT_EQ(s.StartScreen(), 9);
}

TEST(ProgramSettings, StartScreenOutsideOneToNineIsTheAnalyzer) {
    CProgramSettings s;
    for (int v : {0, -1, 10, 42, 100}) {
        s.m_nScreenChoose = v;
        EXPECT_EQ(s.StartScreen(), 0) << v;
    }
    s.m_nScreenChoose = 1;
    EXPECT_EQ(s.StartScreen(), 1);
}

TEST(ProgramSettings, SaveWritesAllTenKeysIntegersAsIntegers) {
    MapStore store;
    CProgramSettings s;
    s.m_nComChoose = 2;
    s.m_nComConnect = 1;
    s.Save(store);
    EXPECT_EQ(store.values.size(), 10u);
    EXPECT_EQ(store.ints.size(), 5u);
    EXPECT_EQ(store.ints["SETTING/COMCHOOSE"], 2);
    EXPECT_EQ(store.ints["SETTING/COMCONNECT"], 1);
    EXPECT_EQ(store.values["SETTING/SOCKET"], "2FFF");

    CProgramSettings back;
    back.Load(store);
    EXPECT_EQ(back.m_nComChoose, 2);
    EXPECT_EQ(back.m_strEnv, s.m_strEnv);
}

} // namespace
