#pragma once

#include <map>
#include <memory>
#include <typeindex>
#include <utility>

// What screens keep beyond their own windows, held by the main frame for
// the whole run: a screen's window is destroyed at every switch, but what
// the user typed and what the PLC sent must not go with it. One object per
// screen number and type, made on first use.
class CScreenStates {
public:
    template <class T> std::shared_ptr<T> Get(int screen) {
        std::shared_ptr<void>& slot = m_states[{screen, std::type_index(typeid(T))}];
        if (!slot)
            slot = std::make_shared<T>();
        return std::static_pointer_cast<T>(slot);
    }

private:
    std::map<std::pair<int, std::type_index>, std::shared_ptr<void>> m_states;
};
