#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>

// A simulated station's device memory: words and bits by device name and
// address, sparse, so any address a protocol can name is there (zero until
// written) without a table the size of the address space. Device names are
// the protocol's own, upper case ("D", "M", "N7", "DB5", "HR").
class CSimDeviceMemory {
public:
    std::uint16_t GetWord(const std::string& device, long long address) const {
        const auto it = m_words.find({device, address});
        return it == m_words.end() ? 0 : it->second;
    }
    void SetWord(const std::string& device, long long address, std::uint16_t value) {
        if (value)
            m_words[{device, address}] = value;
        else
            m_words.erase({device, address});
    }
    bool GetBit(const std::string& device, long long address) const {
        const auto it = m_bits.find({device, address});
        return it != m_bits.end() && it->second;
    }
    void SetBit(const std::string& device, long long address, bool on) {
        if (on)
            m_bits[{device, address}] = true;
        else
            m_bits.erase({device, address});
    }
    std::size_t WordCount() const { return m_words.size(); }
    std::size_t BitCount() const { return m_bits.size(); }

private:
    using Key = std::pair<std::string, long long>;
    std::map<Key, std::uint16_t> m_words;
    std::map<Key, bool> m_bits;
};
