#include "filesend/CReceiveFile.h"

#include <system_error>

CReceiveFile::~CReceiveFile() {
    Close();
}

bool CReceiveFile::Fail(int error) {
    m_strReason = std::generic_category().message(error);
    return false;
}

bool CReceiveFile::LengthOf(const std::filesystem::path& path, std::uint64_t& length) {
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(path, ec);
    if (ec || !std::filesystem::is_regular_file(status))
        return false;
    length = std::filesystem::file_size(path, ec);
    return !ec;
}
