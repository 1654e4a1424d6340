#pragma once

#include <array>
#include <cstdint>

// The 1000 words a PLC screen shows and its engine reads into and writes
// from. Every access is checked: an index outside 0..999 reads as 0 and
// ignores writes, so no row or reply can reach past the table.
class MemoryTable {
public:
    static constexpr int kSize = 1000;

    std::uint16_t Get(int index) const {
        return Contains(index) ? m_words[static_cast<std::size_t>(index)] : 0;
    }
    // False (and nothing written) for an index outside the table.
    bool Set(int index, std::uint16_t value) {
        if (!Contains(index))
            return false;
        m_words[static_cast<std::size_t>(index)] = value;
        return true;
    }
    void Clear() { m_words.fill(0); }

    static bool Contains(int index) { return index >= 0 && index < kSize; }
    // Whether the words first .. first + count - 1 all lie in the table.
    static bool ContainsRange(long long first, long long count) {
        return first >= 0 && count >= 0 && first + count <= kSize;
    }

private:
    std::array<std::uint16_t, kSize> m_words{};
};
