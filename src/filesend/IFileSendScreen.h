#pragma once

#include <cstdint>
#include <string>

// What the file transfer engine asks of the screen that owns it (the window
// screen, or the command line standing in for it).
class IFileSendScreen {
public:
    virtual ~IFileSendScreen() = default;
    virtual void SetSendProgress(std::uint64_t total, std::uint64_t done) = 0;
    virtual void SetReceiveProgress(std::uint64_t total, std::uint64_t done) = 0;
    // The receive box: the folder while idle, the file's path while receiving.
    virtual void ShowReceivePath(const std::string& text) = 0;
    // Deletes list row `row`; false when there was none.
    virtual bool DeleteRow(int row) = 0;
    // Loads file row 1 into the record (name, path, index 0); false when the
    // list holds no file row.
    virtual bool LoadFirstRow() = 0;
    // The screen's Stop button: buttons back to idle, then the engine's Stop.
    virtual void StopCommand() = 0;
    virtual void Repaint() {}
    // A received file is complete on disk (also when it already was).
    virtual void OnFileReceived(const std::string& /*path*/, std::uint32_t /*size*/) {}
    // The receiver asked the sender to go on from this byte of the file.
    virtual void OnSendResumed(std::uint64_t /*offset*/) {}
    // A rate update changed a rate text.
    virtual void OnRatesChanged() {}
};
