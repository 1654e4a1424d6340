#include "app/CProgramSettings.h"

#include "app/ISettingsStore.h"

#include <cerrno>
#include <cstdlib>

namespace {

void LoadInt(const ISettingsStore& store, const char* key, int& field) {
    auto text = store.ReadValue(CProgramSettings::kSection, key);
    int value = 0;
    if (text && CProgramSettings::ParseInt(*text, value))
        field = value;
}

void LoadText(const ISettingsStore& store, const char* key, std::string& field) {
    if (auto text = store.ReadValue(CProgramSettings::kSection, key))
        field = *text;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

bool CProgramSettings::ParseInt(const std::string& text, int& value) {
    std::size_t b = 0, e = text.size();
    while (b < e && IsBlank(text[b]))
        ++b;
    while (e > b && IsBlank(text[e - 1]))
        --e;
    if (b == e)
        return false;
    std::string digits = text.substr(b, e - b);
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(digits.c_str(), &end, 10);
    if (errno != 0 || end != digits.c_str() + digits.size())
        return false;
    if (v < -2147483648LL || v > 2147483647LL)
        return false;
    value = static_cast<int>(v);
    return true;
}

void CProgramSettings::Load(const ISettingsStore& store) {
    LoadInt(store, "PORT", m_nPort);
    LoadInt(store, "UDPORT", m_nUdpPort);
    LoadInt(store, "SCREENCHOOSE", m_nScreenChoose);
    LoadInt(store, "COMCHOOSE", m_nComChoose);
    LoadInt(store, "COMCONNECT", m_nComConnect);
    LoadText(store, "IP", m_strIp);
    LoadText(store, "ENV", m_strEnv);
    LoadText(store, "NETWORK", m_strNetwork);
    LoadText(store, "NODE", m_strNode);
    LoadText(store, "SOCKET", m_strSocket);
}

void CProgramSettings::Save(ISettingsStore& store) const {
    store.WriteInt(kSection, "PORT", m_nPort);
    store.WriteInt(kSection, "UDPORT", m_nUdpPort);
    store.WriteInt(kSection, "SCREENCHOOSE", m_nScreenChoose);
    store.WriteInt(kSection, "COMCHOOSE", m_nComChoose);
    store.WriteInt(kSection, "COMCONNECT", m_nComConnect);
    store.WriteText(kSection, "IP", m_strIp);
    store.WriteText(kSection, "ENV", m_strEnv);
    store.WriteText(kSection, "NETWORK", m_strNetwork);
    store.WriteText(kSection, "NODE", m_strNode);
    store.WriteText(kSection, "SOCKET", m_strSocket);
}

int CProgramSettings::StartScreen() const {
    return (m_nScreenChoose >= 1 && m_nScreenChoose <= 9) ? m_nScreenChoose : 0;
}

LinkSettings CProgramSettings::Link() const {
    LinkSettings link;
    link.m_nPort = m_nPort;
    link.m_nUdpPort = m_nUdpPort;
    link.m_strIp = m_strIp;
    link.m_strEnv = m_strEnv;
    link.m_strNetwork = m_strNetwork;
    link.m_strNode = m_strNode;
    link.m_strSocket = m_strSocket;
    return link;
}

void CProgramSettings::SetLink(const LinkSettings& link) {
    m_nPort = link.m_nPort;
    m_nUdpPort = link.m_nUdpPort;
    m_strIp = link.m_strIp;
    m_strEnv = link.m_strEnv;
    m_strNetwork = link.m_strNetwork;
    m_strNode = link.m_strNode;
    m_strSocket = link.m_strSocket;
}
