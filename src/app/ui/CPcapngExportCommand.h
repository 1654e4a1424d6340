#pragma once

#include <QString>

#include <functional>

class CScreenView;
class CTessaryDoc;
class QWidget;

// "내보내기 (pcapng)…" in the file menu: the capture as a pcapng file for
// Wireshark. On the Yaskawa screen in RTU mode the packets are handed to
// Wireshark's Modbus RTU dissector; elsewhere they carry the user link
// type. A capture loaded from an .ALR file has no times: the records are
// numbered one millisecond apart and the message says so.
class CPcapngExportCommand {
public:
    static constexpr const char* kMenuText = "내보내기 (pcapng)…";
    static constexpr const char* kFilter = "pcapng 파일 (*.pcapng);;All Files (*)";
    using PathFn = std::function<QString()>;

    // Asks for the file, writes it and tells the result in a message box.
    static void Run(QWidget* parent, const CTessaryDoc& doc, const CScreenView* screen,
                    const QString& docPath);
    // Whether the screen's traffic is MEMOBUS in RTU framing.
    static bool IsModbusRtu(const CScreenView* screen);
    // Writes the file; the message to show, success or failure.
    static bool Export(const CTessaryDoc& doc, const QString& path, bool modbusRtu,
                       QString& message);
    // Tests answer the file dialog with this.
    static void SetPathHook(PathFn fn);
};
