#pragma once

#include <cstdint>

constexpr int TRAFFIC_RX = 1;
constexpr int TRAFFIC_TX = 2;
constexpr int TRAFFIC_MAX_LENGTH = 4096;

// One captured block as the document hands it out. The bytes belong to the
// document and stay valid until it is cleared, loaded or destroyed.
struct TrafficRecord {
    int m_nDirection = TRAFFIC_RX;
    int m_nLength = 0;
    const std::uint8_t* m_pData = nullptr;
    std::int64_t m_nTimeUs = 0; // arrival, microseconds since the epoch; 0 when loaded
};
