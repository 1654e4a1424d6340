#pragma once

#include <memory>
#include <string>
#include <vector>

class CPlcSimStation;

// The simulated stations by the PLC names the command line uses
// ("yaskawa", "melsec", "masterk", "posfa", "ab", "simens").
class CSimStations {
public:
    // A new station, or null for a name without one.
    static std::unique_ptr<CPlcSimStation> Make(const std::string& name);
    // The names Make knows, in the screens' order.
    static std::vector<std::string> Names();
};
