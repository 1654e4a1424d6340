#include "cli/CCliDump.h"

#include "analyzer/CRecordInfo.h"
#include "analyzer/CTrafficPage.h"
#include "app/CAlrFile.h"
#include "app/CPcapngReader.h"
#include "app/CProgramSettings.h"
#include "app/CTessaryDoc.h"
#include "app/TrafficRecord.h"
#include "cli/CCliUsage.h"

#include <ostream>

namespace {

int Usage(std::ostream& err, const std::string& problem) {
    err << "quillet-cli dump: " << problem << "\n\n" << CCliUsage::Text();
    return CCliUsage::kUsageError;
}

// After the grid: one line per record with a byte on the page shown.
void DumpTimes(const CTessaryDoc& doc, const CTrafficPage& grid, std::ostream& out) {
    if (grid.GetFilled() == 0)
        return;
    const auto start = static_cast<std::uint64_t>(grid.GetPage() - 1) * PAGE_CELLS;
    const std::size_t first = doc.FindRecordByByte(start);
    const std::size_t last =
        doc.FindRecordByByte(start + static_cast<std::uint64_t>(grid.GetFilled()) - 1);
    bool timed = false;
    for (std::size_t r = first; r <= last && !timed; ++r)
        timed = doc.GetRecord(r).m_nTimeUs != 0;
    if (!timed)
        out << CRecordInfo::kNoTimes << '\n';
    for (std::size_t r = first; r <= last && r < doc.GetCount(); ++r)
        out << CRecordInfo::DumpLine(doc, r) << '\n';
}

} // namespace

int CCliDump::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string file;
    int mode = RX_MODE_ASCII;
    int page = 1;
    bool times = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--binary") {
            mode = RX_MODE_BINARY;
        } else if (a == "--times") {
            times = true;
        } else if (a == "--page") {
            if (i + 1 >= args.size())
                return Usage(err, "--page needs a page number");
            if (!CProgramSettings::ParseInt(args[++i], page)) {
                err << "--page: 정수를 입력하십시오.\n";
                return CCliUsage::kUsageError;
            }
        } else if (a.rfind("--", 0) == 0) {
            return Usage(err, "unknown option '" + a + "'");
        } else if (!file.empty()) {
            return Usage(err, "one capture file only: '" + a + "' follows '" + file + "'");
        } else {
            file = a;
        }
    }
    if (file.empty())
        return Usage(err, "the capture file FILE.alr (or FILE.pcapng) is missing");

    CTessaryDoc doc;
    std::string error;
    // A pcapng file (by its extension) brings its times along.
    const bool loaded = CPcapngReader::IsPcapngPath(file)
                            ? CPcapngReader::Load(doc, std::filesystem::path(file), error)
                            : CAlrFile::Load(doc, std::filesystem::path(file), error);
    if (!loaded) {
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
    if (times)
        DumpTimes(doc, grid, out);
    out.flush();
    return out ? 0 : 1;
}
