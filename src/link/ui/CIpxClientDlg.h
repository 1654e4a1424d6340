#pragma once

#include "widgets/CBackgroundDialog.h"

#include <cstddef>
#include <string>

struct LinkSettings;
class QLineEdit;

// "IPX CLIENT SETTING": the server's network (8 hex digits), node (12) and
// socket (4).
class CIpxClientDlg : public CBackgroundDialog {
    Q_OBJECT
public:
    static constexpr const char* kNetworkLength =
        "네트워크 데이터 길이가 작거나 큽니다. 16진수 8자리를 정확히 기입하십시요";
    static constexpr const char* kNodeLength =
        "노드 데이터 길이가 작거나 큽니다. 16진수 12자리를 정확히 기입하십시요";
    static constexpr const char* kSocketLength =
        "소켓 데이터 길이가 작거나 큽니다. 16진수 4자리를 정확히 기입하십시요";
    static constexpr const char* kNetworkDigits =
        "네트워크 데이터는 16진수(0-9, A-F)여야 합니다. 16진수 8자리를 정확히 기입하십시요";
    static constexpr const char* kNodeDigits =
        "노드 데이터는 16진수(0-9, A-F)여야 합니다. 16진수 12자리를 정확히 기입하십시요";
    static constexpr const char* kSocketDigits =
        "소켓 데이터는 16진수(0-9, A-F)여야 합니다. 16진수 4자리를 정확히 기입하십시요";
    static constexpr const char* kSocketZero =
        "소켓 0000은 쓸 수 없습니다. 0001에서 FFFF 사이의 16진수 4자리를 기입하십시요";

    explicit CIpxClientDlg(QWidget* parent = nullptr);

    // Fills the edits from m_strNetwork, m_strNode and m_strSocket / copies
    // the confirmed values back.
    void SetValues(const LinkSettings& settings);
    void GetValues(LinkSettings& settings) const;

    // The "확인" path: the three fields are checked in order, each for its
    // length and then for hex digits (the socket also for 0000); the first
    // fault is reported. Returns whether the dialog closed.
    bool TryAccept();

    // The socket's checks, shared with "IPX SERVER SETTING": false with the
    // message shown and the edit focused.
    static bool CheckSocket(QWidget* dialog, QLineEdit* edit, const std::string& socket);

    // The length of a text as the link counts it: in code-page bytes, so a
    // Korean letter counts two.
    static std::size_t LengthOf(const std::string& utf8);

    std::string m_strNetwork;
    std::string m_strNode;
    std::string m_strSocket;

private:
    static bool CheckHex(QWidget* dialog, QLineEdit* edit, const std::string& text,
                         std::size_t digits, const char* lengthMessage, const char* digitsMessage);

    QLineEdit* m_pNetwork;
    QLineEdit* m_pNode;
    QLineEdit* m_pSocket;
};
