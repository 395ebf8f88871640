#pragma once
// The receiver of a sheet picker's results, and the actions it is sent.

#include <cxxabi.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <typeinfo>

namespace morvix {

/// An action a picker sends its target: a function, with the name the log lines give it
/// ("pickerViewDidSelectRow:"). An action without a function is no action.
template <typename... Arguments>
struct SheetPickerAction {
    std::string name;
    std::function<void(Arguments...)> function;

    explicit operator bool() const { return static_cast<bool>(function); }
};

/// The object a picker reports to, held weakly, with its class name for log lines. A target
/// "responds" to an action when it is still alive and the action has a function; the functions
/// usually capture the target weakly themselves. Plain value; main thread only.
class SheetPickerTarget {
public:
    SheetPickerTarget() = default;
    template <typename Object>
    SheetPickerTarget(const std::shared_ptr<Object>& object)
        : m_object(object)
        , m_className(object ? className(typeid(*object)) : std::string())
    {
    }

    bool isAlive() const { return !m_object.expired(); }
    template <typename... Arguments>
    bool responds(const SheetPickerAction<Arguments...>& action) const { return isAlive() && action; }
    /// The target's class without namespaces ("Combo"); "(null)" for no target or one gone.
    const std::string& className() const { return isAlive() && !m_className.empty() ? m_className : s_null; }

private:
    static std::string className(const std::type_info& type)
    {
        int status = 0;
        char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
        std::string name = status == 0 && demangled ? demangled : type.name();
        std::free(demangled);
        auto colon = name.rfind("::");
        return colon == std::string::npos ? name : name.substr(colon + 2);
    }

    inline static const std::string s_null = "(null)";
    std::weak_ptr<void> m_object;
    std::string m_className;
};

} // namespace morvix
