#include "plc/sim/CSimStations.h"

#include "plc/sim/CAbSimStation.h"
#include "plc/sim/CMasterKSimStation.h"
#include "plc/sim/CMelsecSimStation.h"
#include "plc/sim/CMemobusSimStation.h"
#include "plc/sim/CPlcSimStation.h"
#include "plc/sim/CPosfaSimStation.h"
#include "plc/sim/CSimensSimStation.h"

namespace {

struct SEntry {
    const char* m_szName;
    std::unique_ptr<CPlcSimStation> (*m_pfnMake)();
};

template <class T> std::unique_ptr<CPlcSimStation> MakeStation() {
    return std::make_unique<T>();
}

// One line a station, in the screens' order.
const std::vector<SEntry>& Entries() {
    static const std::vector<SEntry> entries = {
        {"yaskawa", &MakeStation<CMemobusSimStation>},
        {"simens", &MakeStation<CSimensSimStation>},
        {"ab", &MakeStation<CAbSimStation>},
        {"masterk", &MakeStation<CMasterKSimStation>},
        {"posfa", &MakeStation<CPosfaSimStation>},
        {"melsec", &MakeStation<CMelsecSimStation>},
    };
    return entries;
}

} // namespace

std::unique_ptr<CPlcSimStation> CSimStations::Make(const std::string& name) {
    for (const SEntry& e : Entries()) {
        if (name == e.m_szName)
            return e.m_pfnMake();
    }
    return nullptr;
}

std::vector<std::string> CSimStations::Names() {
    std::vector<std::string> names;
    for (const SEntry& e : Entries())
        names.emplace_back(e.m_szName);
    return names;
}
