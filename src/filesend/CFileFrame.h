#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One frame of the file transfer: kind, total, index, size, the NUL-ended
// CP949 name, the data, a reserved byte and the Modbus CRC, little-endian,
// never more than 16384 bytes.
class CFileFrame {
public:
    static constexpr std::uint8_t FRAME_DATA = 0x02;
    static constexpr std::uint8_t FRAME_ACK = 0x06;
    static constexpr std::uint8_t FRAME_RESUME = 0x15;
    static constexpr std::size_t kMaxFrame = 16384;
    static constexpr std::size_t kOverhead = 20; // every byte but name and data
    // The name field, its NUL included, beside a full network chunk:
    // 20 + 252 + 16112 = 16384. So a name has at most 251 bytes.
    static constexpr std::size_t kMaxNameField = 252;
    static constexpr std::size_t kMaxName = kMaxNameField - 1;

    enum Result { FRAME_WAIT, FRAME_BAD, FRAME_GOOD };

    std::uint8_t m_nKind = 0;
    std::uint32_t m_nIndex = 0;
    std::uint32_t m_nSize = 0;
    std::string m_strName;                 // CP949 bytes without the NUL
    const std::uint8_t* m_pData = nullptr; // into the decoded buffer
    std::uint16_t m_nDataLength = 0;

    // The frame's bytes; empty when name and data do not fit in one frame.
    static std::vector<std::uint8_t> Build(std::uint8_t kind, std::uint32_t index,
                                           std::uint32_t size, std::string_view name,
                                           const std::uint8_t* data, std::size_t count);
    // Decodes a frame from the start of the bytes: WAIT while it is
    // incomplete, BAD for a wrong kind, a total no frame can have, fields that
    // do not add up to the total, or a wrong CRC.
    static Result Decode(const std::uint8_t* bytes, std::size_t count, CFileFrame& frame);
    static std::uint16_t Crc(const std::uint8_t* bytes, std::size_t count);
};
