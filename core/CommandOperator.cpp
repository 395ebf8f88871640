#include "core/CommandOperator.h"

#include "core/BasicObject.h"
#include "core/ClientContext.h"
#include "core/ObjectRegistry.h"
#include "core/RemoteException.h"
#include "core/RemoteObject.h"
#include "core/WidgetRegistry.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/SystemLog.h"

#include <cxxabi.h>

#include <cmath>
#include <cstdlib>
#include <exception>
#include <limits>
#include <typeinfo>

namespace morvix {

using platform::Value;

namespace {

// An operation array that cannot be applied at all: reported like any failed operation.
class MalformedOperation final : public std::exception {
public:
    explicit MalformedOperation(std::string reason)
        : m_reason(std::move(reason))
    {
    }
    const char* what() const noexcept override { return m_reason.c_str(); }

private:
    std::string m_reason;
};

std::string typeName(const std::exception& exception)
{
    const char* mangled = typeid(exception).name();
    int status = 0;
    char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    std::string name = status == 0 && demangled ? demangled : mangled;
    std::free(demangled);
    return name;
}

const Value* propertiesAt(const Value& operation, std::size_t index)
{
    if (index >= operation.size() || !operation[index].is_object())
        return nullptr;
    return &operation[index];
}

const std::string& stringAt(const Value& operation, std::size_t index, std::string_view what)
{
    if (index >= operation.size() || !operation[index].is_string())
        throw MalformedOperation(platform::format("operation %@ has no %@", operation, what));
    return operation[index].get_ref<const std::string&>();
}

// The integer value of a number, as the platform's number objects give it: truncated toward
// zero, and held within the range of a long.
long integerValue(const Value& value)
{
    if (value.is_number_integer() && !value.is_number_unsigned())
        return static_cast<long>(value.get<std::int64_t>());
    double number = platform::numberValue(value).value_or(0);
    if (std::isnan(number))
        return 0;
    if (number >= static_cast<double>(std::numeric_limits<long>::max()))
        return std::numeric_limits<long>::max();
    if (number <= static_cast<double>(std::numeric_limits<long>::min()))
        return std::numeric_limits<long>::min();
    return static_cast<long>(number);
}

} // namespace

std::shared_ptr<CommandOperator> CommandOperator::create(std::weak_ptr<Session> session)
{
    return std::shared_ptr<CommandOperator>(new CommandOperator(std::move(session)));
}

CommandOperator::CommandOperator(std::weak_ptr<Session> session)
    : m_session(std::move(session))
{
}

void CommandOperator::log(std::string_view name, std::string_view reason)
{
    platform::systemLog(platform::format("catching '%@' reason '%@'", name, reason));
}

// Runs `function` on the main thread and logs whatever it throws (rule 3). The guard sits
// inside the main-thread task, so nothing has to cross the hand-off.
template<typename Function>
auto CommandOperator::guarded(Function&& function) -> decltype(function())
{
    using Result = decltype(function());
    auto task = [this, &function]() -> Result {
        try {
            return function();
        } catch (const platform::Exception& exception) {
            log(exception.name(), exception.reason());
        } catch (const std::exception& exception) {
            log(typeName(exception), exception.what());
        }
        return Result();
    };
    try {
        return platform::MainLoop::main().runSync(task);
    } catch (const std::exception&) {
        // The main loop has quit: the process is shutting down and nothing can be applied.
        return Result();
    }
}

std::optional<std::string> CommandOperator::processHead(const Value& value, const std::string& key)
{
    if (key == "error")
        return value.is_string() ? std::optional(value.get<std::string>()) : std::nullopt;
    auto session = m_session.lock();
    if (!session)
        return std::nullopt;
    guarded([&] { applyHead(*session, value, key); });
    return std::nullopt;
}

void CommandOperator::applyHead(Session& session, const Value& value, const std::string& key)
{
    if (key == "url" && value.is_string())
        session.changeBaseURL(value.get_ref<const std::string&>());
    else if (key == "requestCounter" && platform::isNumber(value))
        session.receivedRequestCounter(integerValue(value));
    else if (key == "morvix.UI" && platform::isNumber(value))
        session.setMorvixUIActive(platform::numberValue(value).value_or(0) != 0);
}

std::optional<Value> CommandOperator::processOperation(const Value& operation)
{
    try {
        return apply(operation);
    } catch (const MalformedOperation& exception) {
        log(RemoteException::kIncorrectParameter, exception.what());
    }
    return std::nullopt;
}

std::optional<Value> CommandOperator::apply(const Value& operation)
{
    if (!operation.is_array())
        throw MalformedOperation(platform::format("operation %@ is not an array", operation));
    const std::string& name = stringAt(operation, 0, "name");
    const std::string& id = stringAt(operation, 1, "id");
    auto object = objectById(id);
    if (!object) {
        if (name == "create")
            processCreateOperation(operation, id);
        return std::nullopt;
    }
    if (name == "call") {
        const std::string& method = stringAt(operation, 2, "call name");
        return executeOnObject(*object, name, method, propertiesAt(operation, 3));
    }
    if (name == "get")
        return executeOnObject(*object, name, stringAt(operation, 2, "property name"), nullptr);
    return executeOnObject(*object, name, {}, propertiesAt(operation, 2));
}

std::optional<Value> CommandOperator::executeOnObject(RemoteObject& object, const std::string& operation,
    const std::string& method, const Value* properties)
{
    return guarded([&] { return object.dispatchType(operation, method, properties); });
}

std::shared_ptr<RemoteObject> CommandOperator::objectById(const std::string& id)
{
    auto session = m_session.lock();
    auto registry = session ? session->objectRegistry() : nullptr;
    if (!registry)
        return nullptr;
    if (auto object = registry->objectById(id))
        return object;
    if (!WidgetRegistry::instance().getHandler(id))
        return nullptr;
    createObject(id, nullptr, id);
    return registry->objectById(id);
}

void CommandOperator::processCreateOperation(const Value& operation, const std::string& id)
{
    const std::string& type = stringAt(operation, 2, "type name");
    createObject(type, propertiesAt(operation, 3), id);
}

void CommandOperator::createObject(const std::string& type, const Value* properties, const std::string& id)
{
    auto handler = WidgetRegistry::instance().getHandler(type);
    if (!handler)
        return;
    guarded([&] {
        auto session = m_session.lock();
        if (!session)
            return;
        auto registry = session->objectRegistry();
        auto object = handler->create(id, properties, session->clientContext());
        if (!object || !registry)
            return;
        object->dispatchType("set", {}, properties);
        registry->addObject(object);
    });
}

} // namespace morvix
