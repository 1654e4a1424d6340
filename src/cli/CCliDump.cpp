#include "cli/CCliDump.h"

#include "analyzer/CTrafficPage.h"
#include "app/CAlrFile.h"
#include "app/CProgramSettings.h"
#include "app/CTessaryDoc.h"
#include "app/TrafficRecord.h"
#include "cli/CCliUsage.h"

#include <ostream>

int CCliDump::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string file;
    int mode = RX_MODE_ASCII;
    int page = 1;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--binary") {
            mode = RX_MODE_BINARY;
        } else if (args[i] == "--page" && i + 1 < args.size()) {
            if (!CProgramSettings::ParseInt(args[++i], page)) {
                err << "--page: 정수를 입력하십시오.\n";
                return CCliUsage::kUsageError;
            }
        } else if (file.empty() && args[i].rfind("--", 0) != 0) {
            file = args[i];
        } else {
            err << CCliUsage::Text();
            return CCliUsage::kUsageError;
        }
    }
    if (file.empty()) {
        err << CCliUsage::Text();
        return CCliUsage::kUsageError;
    }

    CTessaryDoc doc;
    std::string error;
    if (!CAlrFile::Load(doc, std::filesystem::path(file), error)) {
        err << error << '\n';
        return 1;
    }

    CTrafficPage grid;
    grid.PaintPage(doc, page, mode);
    out << grid.PageText() << '\n';
    for (int row = 0; row < PAGE_ROWS; ++row) {
        const int first = row * PAGE_COLUMNS;
        if (first >= grid.GetFilled())
            break;
        const int last = std::min(first + PAGE_COLUMNS, grid.GetFilled());
        for (int c = first; c < last; ++c) {
            const TrafficCell& cell = grid.Cell(c);
            if (c > first)
                out << '\t';
            out << (cell.m_nDirection == TRAFFIC_TX ? 'T' : 'R') << cell.m_strText;
        }
        out << '\n';
    }
    out.flush();
    return out ? 0 : 1;
}
