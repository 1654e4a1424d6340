#include "cli/CCliExport.h"

#include "app/CAlrFile.h"
#include "app/CPcapngWriter.h"
#include "app/CTessaryDoc.h"
#include "cli/CCliUsage.h"

#include <filesystem>
#include <ostream>

namespace {

int Usage(std::ostream& err, const std::string& problem) {
    err << "quillet-cli export: " << problem << "\n\n" << CCliUsage::Text();
    return CCliUsage::kUsageError;
}

} // namespace

int CCliExport::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::vector<std::string> files;
    bool modbusRtu = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--as") {
            if (i + 1 >= args.size())
                return Usage(err, "--as needs a format: modbus-rtu");
            const std::string& v = args[++i];
            if (v != "modbus-rtu")
                return Usage(err, "--as knows modbus-rtu only, not '" + v + "'");
            modbusRtu = true;
        } else if (a.rfind("--", 0) == 0) {
            return Usage(err, "unknown option '" + a + "'");
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != 2)
        return Usage(err, "needs the capture file FILE.alr and the output OUT.pcapng");

    // Writing the export over its own capture would lose the capture.
    std::error_code same;
    if (std::filesystem::equivalent(files[0], files[1], same)) {
        err << "quillet-cli export: the output " << files[1]
            << " is the capture itself; choose another file\n";
        return CCliUsage::kUsageError;
    }

    CTessaryDoc doc;
    std::string error;
    // A damaged capture is refused whole: no output is written from part
    // of it.
    if (!CAlrFile::Load(doc, std::filesystem::path(files[0]), error)) {
        err << error << '\n';
        return 1;
    }
    std::size_t untimed = 0;
    std::size_t packets = 0;
    const CPcapngWriter writer = modbusRtu ? CPcapngWriter::ModbusRtu() : CPcapngWriter();
    if (!CPcapngWriter::Export(doc, std::filesystem::path(files[1]), writer, untimed, packets,
                               error)) {
        err << "quillet-cli: " << error << '\n';
        return 1;
    }
    const std::string note = CPcapngWriter::UntimedNote(untimed, doc.GetCount());
    if (!note.empty())
        out << note << '\n';
    out << "records=" << doc.GetCount() << " packets=" << packets
        << " linktype=" << writer.GetLinkType() << std::endl;
    return out ? 0 : 1;
}
