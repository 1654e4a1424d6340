#pragma once

struct LinkSettings;
class CComPortMap;
class QWidget;

// The settings dialog of each link kind, as the link menu runs it.
class CLinkDialogs {
public:
    // Shows the dialog of kind 0-5 modally, filled from settings. "확인"
    // copies its values into settings and returns true; a cancelled dialog,
    // or a kind without one, returns false and leaves settings as they were.
    static bool Run(QWidget* parent, int kind, LinkSettings& settings, CComPortMap& ports);
};
