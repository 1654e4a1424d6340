#include "CWNetCalls.h"

#include <windows.h>
#include <winnetwk.h>

namespace {

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty())
        return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::optional<std::wstring> Wide(const std::optional<std::string>& utf8) {
    if (!utf8)
        return std::nullopt;
    return Wide(*utf8);
}

wchar_t* Pointer(std::optional<std::wstring>& text) {
    return text ? text->data() : nullptr;
}

unsigned long CallAddConnection(const wchar_t* remote, const wchar_t* password,
                                const wchar_t* local) {
    return WNetAddConnectionW(remote, password, local);
}

unsigned long CallAddConnection2(NETRESOURCEW* resource, const wchar_t* password,
                                 const wchar_t* user, unsigned long flags) {
    return WNetAddConnection2W(resource, password, user, flags);
}

} // namespace

CWNetCalls::Api CWNetCalls::PlatformApi() {
    return {&CallAddConnection, &CallAddConnection2};
}

int CWNetCalls::AddConnection(const std::string& strRemote, const std::string& strPassword,
                              const std::string& strLocal) const {
    const std::wstring remote = Wide(strRemote);
    const std::wstring password = Wide(strPassword);
    const std::wstring local = Wide(strLocal);
    return static_cast<int>(
        m_api.m_pAddConnection(remote.c_str(), password.c_str(), local.c_str()));
}

int CWNetCalls::AddConnection2(const WNetResource& resource, const std::string& strPassword,
                               const std::string& strUser, unsigned nFlags) const {
    std::optional<std::wstring> local = Wide(resource.m_strLocalName);
    std::optional<std::wstring> remote = Wide(resource.m_strRemoteName);
    std::optional<std::wstring> comment = Wide(resource.m_strComment);
    std::optional<std::wstring> provider = Wide(resource.m_strProvider);
    NETRESOURCEW net{};
    net.dwScope = static_cast<DWORD>(resource.m_nScope);
    net.dwType = static_cast<DWORD>(resource.m_nType);
    net.dwDisplayType = static_cast<DWORD>(resource.m_nDisplayType);
    net.dwUsage = static_cast<DWORD>(resource.m_nUsage);
    net.lpLocalName = Pointer(local);
    net.lpRemoteName = Pointer(remote);
    net.lpComment = Pointer(comment);
    net.lpProvider = Pointer(provider);
    const std::wstring password = Wide(strPassword);
    const std::wstring user = Wide(strUser);
    return static_cast<int>(m_api.m_pAddConnection2(&net, password.c_str(), user.c_str(), nFlags));
}

std::string CWNetCalls::CodeName(int nCode) {
    switch (nCode) {
    case 0:
        return "NO_ERROR";
    case ERROR_ACCESS_DENIED:
        return "ERROR_ACCESS_DENIED";
    case ERROR_BAD_NETPATH:
        return "ERROR_BAD_NETPATH";
    case ERROR_BAD_DEV_TYPE:
        return "ERROR_BAD_DEV_TYPE";
    case ERROR_BAD_NET_NAME:
        return "ERROR_BAD_NET_NAME";
    case ERROR_ALREADY_ASSIGNED:
        return "ERROR_ALREADY_ASSIGNED";
    case ERROR_INVALID_PASSWORD:
        return "ERROR_INVALID_PASSWORD";
    case ERROR_INVALID_PARAMETER:
        return "ERROR_INVALID_PARAMETER";
    case ERROR_NOT_SUPPORTED:
        return "ERROR_NOT_SUPPORTED";
    case ERROR_CALL_NOT_IMPLEMENTED:
        return "ERROR_CALL_NOT_IMPLEMENTED";
    case ERROR_BAD_DEVICE:
        return "ERROR_BAD_DEVICE";
    case ERROR_BAD_PROVIDER:
        return "ERROR_BAD_PROVIDER";
    case ERROR_NO_NET_OR_BAD_PATH:
        return "ERROR_NO_NET_OR_BAD_PATH";
    case ERROR_CANNOT_OPEN_PROFILE:
        return "ERROR_CANNOT_OPEN_PROFILE";
    case ERROR_BAD_PROFILE:
        return "ERROR_BAD_PROFILE";
    case ERROR_EXTENDED_ERROR:
        return "ERROR_EXTENDED_ERROR";
    case ERROR_NO_NETWORK:
        return "ERROR_NO_NETWORK";
    default:
        return std::to_string(nCode);
    }
}
