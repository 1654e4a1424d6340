#pragma once

// The link kinds, in the order of the "통신 설정" menu (commands 32794..32800).
enum LinkType : int {
    LINK_SERIAL = 0,
    LINK_TCP_SERVER = 1,
    LINK_TCP_CLIENT = 2,
    LINK_UDP = 3,
    LINK_IPX_SERVER = 4,
    LINK_IPX_CLIENT = 5,
    LINK_STOPPED = 6,
};
