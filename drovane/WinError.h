#pragma once

// The Windows system error codes the connector returns and the connection
// tables act on.
namespace WinError {
constexpr int SUCCESS = 0;
constexpr int ACCESS_DENIED = 5;
constexpr int BAD_NETPATH = 53;
constexpr int BAD_DEV_TYPE = 66;
constexpr int BAD_NET_NAME = 67;
constexpr int ALREADY_ASSIGNED = 85;
constexpr int INVALID_PASSWORD = 86;
constexpr int BAD_DEVICE = 1200;
constexpr int NO_NET_OR_BAD_PATH = 1203;
constexpr int CANNOT_OPEN_PROFILE = 1205;
constexpr int BAD_PROFILE = 1206;
constexpr int EXTENDED_ERROR = 1208;
constexpr int NO_NETWORK = 1222;
} // namespace WinError
