#include "app/ui/CScreenFactory.h"

#include "analyzer/ui/CTessaryView.h"
#include "filesend/ui/CComFileSendView.h"
#include "plc/ui/CComABView.h"
#include "plc/ui/CComMasterKView.h"
#include "plc/ui/CComMelsecView.h"
#include "plc/ui/CComPosfaView.h"
#include "plc/ui/CComSimensView.h"
#include "plc/ui/CComYaskawaView.h"
#include "tools/ui/CComChattingView.h"
#include "userproto/ui/CComUserView.h"

#include <array>

namespace {

std::array<CScreenFactory::MakeFn, 10>& Table() {
    static std::array<CScreenFactory::MakeFn, 10> table;
    return table;
}

// A screen class that says its number as SCREEN.
template <class T> void RegisterScreen() {
    CScreenFactory::Register(T::SCREEN, [](IScreenHost& host, QWidget* parent) -> CScreenView* {
        return new T(host, parent);
    });
}

bool InRange(int screen) {
    return screen >= 0 && screen < static_cast<int>(Table().size());
}

} // namespace

void CScreenFactory::Register(int screen, MakeFn make) {
    if (InRange(screen))
        Table()[static_cast<std::size_t>(screen)] = std::move(make);
}

void CScreenFactory::Unregister(int screen) {
    Register(screen, {});
}

bool CScreenFactory::Has(int screen) {
    return InRange(screen) && Table()[static_cast<std::size_t>(screen)];
}

CScreenView* CScreenFactory::Make(int screen, IScreenHost& host, QWidget* parent) {
    return Has(screen) ? Table()[static_cast<std::size_t>(screen)](host, parent) : nullptr;
}

void CScreenFactory::RegisterProgramScreens() {
    Register(0, [](IScreenHost& host, QWidget* parent) -> CScreenView* {
        return new CTessaryView(host, parent);
    });
    RegisterScreen<CComYaskawaView>();
    RegisterScreen<CComSimensView>();
    RegisterScreen<CComABView>();
    RegisterScreen<CComMasterKView>();
    RegisterScreen<CComPosfaView>();
    RegisterScreen<CComMelsecView>();
    RegisterScreen<CComUserView>();
    RegisterScreen<CComFileSendView>();
    RegisterScreen<CComChattingView>();
}
