#pragma once

#include <optional>
#include <string>

struct _NETRESOURCEW;

// The network resource of the second connection call, laid out like the
// platform's NETRESOURCE; strings in UTF-8, an empty optional for a null
// pointer.
struct WNetResource {
    int m_nScope = 2;       // RESOURCE_GLOBALNET
    int m_nType = 0;        // RESOURCETYPE_ANY
    int m_nDisplayType = 3; // RESOURCEDISPLAYTYPE_SHARE
    int m_nUsage = 0;
    std::optional<std::string> m_strLocalName;
    std::optional<std::string> m_strRemoteName;
    std::optional<std::string> m_strComment;
    std::optional<std::string> m_strProvider;
};

// The two connection calls of mpr.dll without Qt: UTF-8 in, the wide calls
// underneath (so a Korean path needs no Korean system code page), the
// system error code out, unchanged.
class CWNetCalls {
public:
    // The entry points; tests put recording ones here.
    struct Api {
        unsigned long (*m_pAddConnection)(const wchar_t* remote, const wchar_t* password,
                                          const wchar_t* local);
        unsigned long (*m_pAddConnection2)(_NETRESOURCEW* resource, const wchar_t* password,
                                           const wchar_t* user, unsigned long flags);
    };
    static Api PlatformApi();

    explicit CWNetCalls(Api api = PlatformApi()) : m_api(api) {}

    int AddConnection(const std::string& strRemote, const std::string& strPassword,
                      const std::string& strLocal) const;
    int AddConnection2(const WNetResource& resource, const std::string& strPassword,
                       const std::string& strUser, unsigned nFlags) const;

    // "ERROR_BAD_NET_NAME" for 67 and so on for the codes a connection call
    // answers; the number itself for any other.
    static std::string CodeName(int nCode);

private:
    Api m_api;
};
