#include "plc/sim/CPlcSimStation.h"

bool CPlcSimStation::SetMode(const std::string& mode, std::string& error) {
    const std::vector<std::string> modes = Modes();
    if (modes.empty()) {
        error = "this station has no modes";
        return false;
    }
    for (const std::string& m : modes) {
        if (m == mode)
            return true;
    }
    error = "no mode '" + mode + "'";
    return false;
}

bool CPlcSimStation::SetStation(long long, std::string& error) {
    error = "this station has no station address";
    return false;
}

bool CPlcSimStation::TakeRequest() {
    ++m_nRequests;
    if (m_nDropEvery > 0 && m_nRequests % m_nDropEvery == 0) {
        ++m_nDropped;
        return false;
    }
    return true;
}

bool CPlcSimStation::TakeReply() {
    ++m_nReplies;
    if (m_nCorruptEvery > 0 && m_nReplies % m_nCorruptEvery == 0) {
        ++m_nCorrupted;
        return true;
    }
    return false;
}

void CPlcSimStation::Send(const std::uint8_t* bytes, int count) {
    if (m_fnSend && bytes && count > 0)
        m_fnSend(bytes, count);
}

void CPlcSimStation::ReportWrite(const std::string& device, long long address, unsigned value) {
    if (m_fnWrite)
        m_fnWrite(device, address, value);
}
