#pragma once

// The help text of quillet-cli.
class CCliUsage {
public:
    static constexpr int kUsageError = 64;
    static const char* Text();
};
