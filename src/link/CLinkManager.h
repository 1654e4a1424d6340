#pragma once

#include "link/CComPortMap.h"
#include "link/ILinkControl.h"

#include <cstdint>
#include <string>
#include <vector>

class CAcceptedLink;
class CClientLink;
class CLinkEndpoint;
class CSerialLink;
class CServerLink;
class ILinkOwner;
struct LinkSettings;

// The single owner of the open link: creates, opens, closes and writes to
// the endpoint of the selected kind and hands every received block to its
// owner. Everything runs on the owner's (UI) thread.
class CLinkManager : public ILinkControl {
public:
    static constexpr const char* kPortInUseMessage =
        "%d 접속 실패! 다른 포트를 사용해서 서버에 생성하세요.";
    static constexpr const char* kBindFailedMessage = "바인드 실패";
    static constexpr const char* kIpxAddressMessage =
        "IPX/SPX 서버의 주소를 가져오는데 실패했습니다.";
    static constexpr const char* kAcceptFailedMessage = "접속 허용 실패 ";

    // Without a port map the manager uses one of its own over no store.
    explicit CLinkManager(ILinkOwner* owner = nullptr, const CComPortMap* ports = nullptr);
    virtual ~CLinkManager();
    CLinkManager(const CLinkManager&) = delete;
    CLinkManager& operator=(const CLinkManager&) = delete;

    void SetOwner(ILinkOwner* owner) { m_pOwner = owner; }

    // ILinkControl
    void CreateEndpoint(int kind) override;
    bool OpenLink(LinkSettings* settings) override;
    void CloseLink() override;
    bool Send(const std::uint8_t* bytes, int count) override;

    int GetKind() const { return m_nKind; }
    int GetConnectionCount() const { return static_cast<int>(m_connections.size()); }
    // The link can carry bytes now: a port open, a client connected, a
    // server with a client, a UDP socket bound.
    bool IsReady() const;
    // An endpoint is open or still connecting: the link may carry bytes now
    // or later. False once it failed to open, its connect failed, its peer
    // closed it or its device went away; only a new open brings it back.
    bool IsAlive() const;
    // A client's connect succeeded since the link was opened (it may have
    // ended since).
    bool WasConnected() const { return m_bConnected; }
    CSerialLink* GetSerial() const { return m_pSerial; }

    // Call-backs of the endpoints.
    void OnSerialData(const std::uint8_t* bytes, int count);
    // The open port's device went away: the link is down.
    void OnSerialLost();
    void OnServerAccept();
    void OnAcceptFailed();
    void OnSocketData(const std::uint8_t* bytes, int count);
    // A UDP link's target host did not resolve; it still receives.
    void OnUdpTargetNotFound();
    void OnConnectionClosed(CAcceptedLink* endpoint);
    void OnClientConnected(bool ok);
    void OnClientHostNotFound();
    void OnClientData(const std::uint8_t* bytes, int count);
    void OnClientClosed();

private:
    bool StartServer(int kind);
    bool StartClient(int kind);
    // The client endpoint goes, and with it the link-up flag.
    void CloseClient();
    void SetLinkUp(bool up);
    void SetStatus(const std::string& text);
    void Message(const std::string& text);
    void Failed(const std::string& text);
    // "host:port" of the client's peer, as the settings name it.
    std::string ClientTarget() const;
    // Checks the settings the kind's open uses; false with the reason.
    bool CheckSettings(int kind, std::string& reason) const;
    void Dispatch(const std::uint8_t* bytes, int count);
    // Deletes an endpoint now, or once none of its notifications runs.
    void Dispose(CLinkEndpoint* endpoint);

    int m_nKind = 0;
    LinkSettings* m_pSettings = nullptr;
    ILinkOwner* m_pOwner;
    CComPortMap m_ownPorts;
    const CComPortMap* m_pPorts;
    std::vector<CAcceptedLink*> m_connections;
    CSerialLink* m_pSerial = nullptr;
    CServerLink* m_pServer = nullptr;
    CClientLink* m_pClient = nullptr;
    int m_nServerKind = 0;
    bool m_bConnected = false;
    std::string m_strOpenFailure; // why the open in progress failed
};
