#pragma once

#include <QString>

#include <functional>

class QWidget;

// Every message the program shows goes through here: a modal box with the
// program's title (or the caller's). Tests install a hook that records the
// message instead of opening a box, since a modal box would wait for a
// user who is not there.
class CMessageBox {
public:
    static constexpr const char* kTitle = "QUILLET";
    using Hook = std::function<void(const QString& title, const QString& text)>;

    static void Show(QWidget* parent, const QString& text, const QString& title = {});
    // Replaces the box; an empty hook restores it.
    static void SetHook(Hook hook);

private:
    static Hook& CurrentHook();
};
