#pragma once

#include <QString>

class CLinkHub;
class CScreenStates;
class CTessaryDoc;

// What a screen asks of the main frame: the hub (send, link state), the
// capture document, the window layer and the file commands. Tests give a
// screen a small host of their own.
class IScreenHost {
public:
    virtual ~IScreenHost() = default;
    virtual CLinkHub& Hub() = 0;
    virtual CTessaryDoc& Doc() = 0;
    // 0 topmost, 1 normal, 2 bottom; the menu's check mark stays.
    virtual void SetWindowLayer(int layer) = 0;
    // "저장...SAVE" (57603) and "열기...OPEN" (57601) of the main frame.
    virtual void SaveCapture() = 0;
    virtual void OpenCapture() = 0;
    // The document title; the caption shows it before " - Analyzer".
    virtual void SetDocumentTitle(const QString& title) = 0;
    // What screens keep across their windows; null when the host keeps
    // nothing, and a screen's state then lives as long as its window.
    virtual CScreenStates* States() { return nullptr; }
};
