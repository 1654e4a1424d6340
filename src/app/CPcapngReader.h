#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

class CTessaryDoc;

// Reads a pcapng file as the capture it was exported from: a record per
// packet with its time and direction (the packet flags; inbound when they
// say nothing). The exported-PDU tags of link type 252 are taken off again.
// Meant for the files this program writes; others are read as far as they
// follow the same plan, and anything else is refused with the block and
// file offset where it breaks. Microsecond times only.
class CPcapngReader {
public:
    static bool Load(CTessaryDoc& doc, const std::filesystem::path& path, std::string& error);
    // The same from bytes already in memory; `name` is what errors call them.
    static bool Load(CTessaryDoc& doc, const std::uint8_t* data, std::size_t size,
                     const std::string& name, std::string& error);
    // Whether the path names a pcapng file: its extension, in any case.
    static bool IsPcapngPath(const std::string& path);
};
