#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <string>

class CTessaryDoc;

// The ".ALR" capture file: N, then per record length, direction and bytes,
// all integers 32-bit little-endian.
class CAlrFile {
public:
    // Writes the whole capture. The file is written beside the target and
    // renamed over it, so a failed save leaves the old file as it was.
    static bool Store(const CTessaryDoc& doc, const std::filesystem::path& path,
                      std::string& error);
    static bool Store(const CTessaryDoc& doc, std::ostream& out, std::string& error);

    // Once the record count is read, empties the document and reads records
    // until N are read (a file too short to hold the count changes nothing). A length
    // outside 0..4096, a direction other than 1 or 2, or an early end stops
    // the load with an error naming the record and file offset; the records
    // read before it stay in the document.
    static bool Load(CTessaryDoc& doc, const std::filesystem::path& path, std::string& error);
    static bool Load(CTessaryDoc& doc, std::istream& in, std::string& error);

    // The path the open command reads: ".ALR" appended unless the path
    // already contains it (compared without regard to case; the case of the
    // path itself is kept, since this file system tells them apart).
    static std::filesystem::path OpenPath(const std::string& chosen);
};
