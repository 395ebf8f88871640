// libFuzzer target of the streaming reader: feeds a body to the reader in chunks whose sizes the
// input chooses, and checks that the split changes nothing: the same head members and operations
// reach the command operator, in the same order, with the same final status and error. Any
// crash, sanitizer report or difference stops the run.
//
// Input: byte 0 seeds the chunk sizes (1 to 64 bytes); the rest is the body.

#include "core/protocol/CommandOperator.h"
#include "core/protocol/ProtocolReader.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using namespace morvix;
using platform::Value;

namespace {

// What reached the command operator, as text; one list per reader run.
std::vector<std::string>* g_applied = nullptr;

std::string text(const Value& value)
{
    return value.dump(-1, ' ', false, nlohmann::detail::error_handler_t::replace);
}

} // namespace

// The fuzzer links only the reader, so the command operator here records instead of applying,
// at once on the calling thread, with no hand-off queue.
class CommandOperator::HandOff {};

CommandOperator::CommandOperator(std::weak_ptr<Session> session)
    : m_session(std::move(session))
{
}

CommandOperator::~CommandOperator() = default;

std::shared_ptr<CommandOperator> CommandOperator::create(std::weak_ptr<Session> session)
{
    return std::shared_ptr<CommandOperator>(new CommandOperator(std::move(session)));
}

std::optional<std::string> CommandOperator::processHead(const Value& value, const std::string& key)
{
    return processHead(value, key, {});
}

std::optional<Value> CommandOperator::processOperation(const Value& operation)
{
    return processOperation(operation, {});
}

std::optional<std::string> CommandOperator::processHead(const Value& value, const std::string& key, const std::atomic<bool>&)
{
    g_applied->push_back("head " + key + " " + text(value));
    if (key == "error" && value.is_string())
        return value.get<std::string>();
    return std::nullopt;
}

std::optional<Value> CommandOperator::processOperation(const Value& operation, const std::atomic<bool>&)
{
    g_applied->push_back("operation " + text(operation));
    return std::nullopt;
}

void CommandOperator::readerAbandoned()
{
}

namespace {

struct Outcome {
    std::vector<std::string> applied;
    ProtocolReader::Status status = ProtocolReader::Status::None;
    long errorCode = 0;
    std::string data;

    bool operator==(const Outcome&) const = default;
};

Outcome read(const std::shared_ptr<CommandOperator>& commandOperator, std::string_view body, std::uint8_t seed)
{
    Outcome outcome;
    g_applied = &outcome.applied;
    auto reader = ProtocolReader::create(commandOperator);
    reader->open();
    std::uint32_t state = seed | 0x100u;
    for (std::size_t offset = 0; offset < body.size();) {
        std::size_t length = 1 + (seed ? (state >> 4) % 64 : body.size());
        state = state * 1103515245u + 12345u;
        length = std::min(length, body.size() - offset);
        reader->write(body.substr(offset, length));
        offset += length;
    }
    reader->close();
    outcome.status = reader->status();
    if (auto error = reader->error())
        outcome.errorCode = error->code();
    outcome.data = reader->data();
    g_applied = nullptr;
    return outcome;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    static const auto commandOperator = CommandOperator::create({});
    std::string_view body(reinterpret_cast<const char*>(data + 1), size - 1);
    Outcome whole = read(commandOperator, body, 0);
    Outcome split = read(commandOperator, body, data[0]);
    if (!(whole == split))
        __builtin_trap();
    if (whole.data != body)
        __builtin_trap();
    return 0;
}
