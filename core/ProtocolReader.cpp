#include "core/ProtocolReader.h"

#include "core/ProtocolProcessor.h"

#include <yajl/yajl_parse.h>

#include <charconv>
#include <cstdlib>
#include <string>

namespace morvix {

using platform::Value;

namespace {

bool looksFractional(std::string_view text)
{
    return text.find_first_of(".eE") != std::string_view::npos;
}

// The parser hands numbers over as text so that integers beyond 64 bits do not fail the whole
// body; they become floating numbers instead.
Value numberFromText(std::string_view text)
{
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (!looksFractional(text)) {
        std::int64_t integer = 0;
        auto [pointer, error] = std::from_chars(begin, end, integer);
        if (error == std::errc() && pointer == end)
            return integer;
        std::uint64_t unsignedInteger = 0;
        auto [unsignedPointer, unsignedError] = std::from_chars(begin, end, unsignedInteger);
        if (unsignedError == std::errc() && unsignedPointer == end)
            return unsignedInteger;
    }
    double number = 0;
    auto [pointer, error] = std::from_chars(begin, end, number);
    if (error == std::errc() && pointer == end)
        return number;
    // Out of the range of a double: strtod gives the infinity or zero the text stands for.
    return std::strtod(std::string(text).c_str(), nullptr);
}

ProtocolProcessor& processorOf(void* context)
{
    return *static_cast<ProtocolProcessor*>(context);
}

int onNull(void* context)
{
    processorOf(context).parserDidAdd(nullptr);
    return 1;
}

int onBoolean(void* context, int value)
{
    processorOf(context).parserDidAdd(value != 0);
    return 1;
}

int onNumber(void* context, const char* text, size_t length)
{
    processorOf(context).parserDidAdd(numberFromText(std::string_view(text, length)));
    return 1;
}

int onString(void* context, const unsigned char* text, size_t length)
{
    processorOf(context).parserDidAdd(std::string(reinterpret_cast<const char*>(text), length));
    return 1;
}

int onStartMap(void* context)
{
    return processorOf(context).parserDidStartDictionary() ? 1 : 0;
}

int onMapKey(void* context, const unsigned char* text, size_t length)
{
    processorOf(context).parserDidMapKey(std::string(reinterpret_cast<const char*>(text), length));
    return 1;
}

int onEndMap(void* context)
{
    return processorOf(context).parserDidEndDictionary() ? 1 : 0;
}

int onStartArray(void* context)
{
    return processorOf(context).parserDidStartArray() ? 1 : 0;
}

int onEndArray(void* context)
{
    return processorOf(context).parserDidEndArray() ? 1 : 0;
}

const yajl_callbacks kCallbacks = {
    onNull, onBoolean, nullptr, nullptr, onNumber, onString,
    onStartMap, onMapKey, onEndMap, onStartArray, onEndArray,
};

platform::Error makeError(long code, std::string description, std::string reason)
{
    platform::Error error(ProtocolReader::kErrorDomain, code);
    error.setDescription(std::move(description));
    error.setFailureReason(std::move(reason));
    return error;
}

} // namespace

std::shared_ptr<ProtocolReader> ProtocolReader::create(std::weak_ptr<CommandOperator> commandOperator)
{
    return std::shared_ptr<ProtocolReader>(new ProtocolReader(std::move(commandOperator)));
}

ProtocolReader::ProtocolReader(std::weak_ptr<CommandOperator> commandOperator)
    : m_processor(std::make_unique<ProtocolProcessor>(std::move(commandOperator)))
{
    // No options: strings are checked to be UTF-8; comments, trailing garbage and several
    // top-level values are refused.
    m_parser = yajl_alloc(&kCallbacks, nullptr, m_processor.get());
}

ProtocolReader::~ProtocolReader()
{
    yajl_free(m_parser);
}

void ProtocolReader::open()
{
}

void ProtocolReader::close()
{
    std::lock_guard lock(m_stateMutex);
    m_closed = true;
}

bool ProtocolReader::hasSpaceAvailable() const
{
    std::lock_guard lock(m_stateMutex);
    return !m_closed;
}

long ProtocolReader::write(std::string_view chunk)
{
    return write(reinterpret_cast<const std::uint8_t*>(chunk.data()), chunk.size());
}

long ProtocolReader::write(const std::uint8_t* bytes, std::size_t length)
{
    if (!hasSpaceAvailable())
        return -1;
    // Parse first, so that the operations of this chunk are applied before the bytes count
    // as written.
    parse(bytes, length);
    std::lock_guard lock(m_stateMutex);
    if (length) {
        m_chunks.emplace_back(reinterpret_cast<const char*>(bytes), length);
        m_size += length;
    }
    return static_cast<long>(length);
}

void ProtocolReader::parse(const std::uint8_t* bytes, std::size_t length)
{
    std::lock_guard lock(m_parseMutex);
    yajl_status result = yajl_parse(m_parser, bytes, length);
    if (status() != Status::Error) {
        Status next = Status::Error;
        if (result == yajl_status_ok)
            next = m_processor->hasCompletedDocument() ? Status::Complete : Status::InsufficientData;
        m_status.store(next, std::memory_order_release);
    }
    if (auto text = m_processor->error())
        handleError(*text);
}

void ProtocolReader::handleError(std::string text)
{
    {
        std::lock_guard lock(m_stateMutex);
        m_protocolError = std::move(text);
    }
    m_status.store(Status::Error, std::memory_order_release);
}

std::string ProtocolReader::data() const
{
    std::lock_guard lock(m_stateMutex);
    std::string data;
    data.reserve(m_size);
    for (const auto& chunk : m_chunks)
        data += chunk;
    return data;
}

std::optional<std::string> ProtocolReader::protocolError() const
{
    std::lock_guard lock(m_stateMutex);
    return m_protocolError;
}

std::optional<platform::Error> ProtocolReader::error() const
{
    if (auto text = protocolError())
        return makeError(406, "Server Issue", std::move(*text));
    switch (status()) {
    case Status::Error:
        return makeError(3, "Server Response", "Response could not be parsed.");
    case Status::InsufficientData:
        return makeError(2, "Server Response", "Insufficient data was returned.");
    case Status::None:
    case Status::Complete:
        return std::nullopt;
    }
    return std::nullopt;
}

void ProtocolReader::abandon()
{
    m_processor->abandon();
}

bool ProtocolReader::isAbandoned() const
{
    return m_processor->isAbandoned();
}

} // namespace morvix
