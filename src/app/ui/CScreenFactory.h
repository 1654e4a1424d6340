#pragma once

#include <functional>

class CScreenView;
class IScreenHost;
class QWidget;

// Which screens exist, by number 0..9. The program registers its screens at
// start-up; a number with no screen keeps its menu entry disabled and, as
// "SCREENCHOOSE", opens the analyzer.
class CScreenFactory {
public:
    using MakeFn = std::function<CScreenView*(IScreenHost& host, QWidget* parent)>;

    static void Register(int screen, MakeFn make);
    static void Unregister(int screen);
    static bool Has(int screen);
    // A new screen, or null for a number with none.
    static CScreenView* Make(int screen, IScreenHost& host, QWidget* parent);
    // The program's own screens.
    static void RegisterProgramScreens();
};
