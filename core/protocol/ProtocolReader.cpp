#include "core/protocol/ProtocolReader.h"

#include "core/protocol/ProtocolProcessor.h"
#include "core/protocol/ProtocolString.h"
#include "core/protocol/ProtocolValuePool.h"

#include <yajl/yajl_parse.h>

#include <charconv>
#include <functional>
#include <cstdlib>
#include <string>
#include <utility>

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

bool isSeparator(char byte)
{
    return byte == ' ' || byte == '\t' || byte == '\n' || byte == '\r' || byte == ',' || byte == ':';
}

bool isDigit(char byte)
{
    return byte >= '0' && byte <= '9';
}

bool isHexDigit(char byte)
{
    return isDigit(byte) || (byte >= 'a' && byte <= 'f') || (byte >= 'A' && byte <= 'F');
}

bool isEscapeLetter(char byte)
{
    return byte == '"' || byte == '\\' || byte == '/' || byte == 'b' || byte == 'f' || byte == 'n' || byte == 'r'
        || byte == 't' || byte == 'u';
}

platform::Error makeError(long code, std::string description, std::string reason)
{
    platform::Error error(ProtocolReader::kErrorDomain, code);
    error.setDescription(std::move(description));
    error.setFailureReason(std::move(reason));
    return error;
}

} // namespace

// The parser's callbacks. Each one first notes where its token ended, so that the reader knows
// which bytes the parser may still hold for an unfinished token.
struct ProtocolReaderEvents {
    static ProtocolReader& readerOf(void* context)
    {
        auto& reader = *static_cast<ProtocolReader*>(context);
        reader.tokenEnded();
        return reader;
    }

    static int onNull(void* context)
    {
        readerOf(context).m_processor->parserDidAdd(Value(nullptr));
        return 1;
    }

    static int onBoolean(void* context, int value)
    {
        readerOf(context).m_processor->parserDidAdd(Value(value != 0));
        return 1;
    }

    static int onNumber(void* context, const char* text, size_t length)
    {
        readerOf(context).m_processor->parserDidAdd(numberFromText(std::string_view(text, length)));
        return 1;
    }

    static int onString(void* context, const unsigned char* text, size_t length)
    {
        auto& reader = readerOf(context);
        auto string = reader.stringToken(text, length);
        if (!string)
            return 0;
        auto& processor = *reader.m_processor;
        // A long decoded text moves into its value whole instead of being copied once more.
        bool isDecoded = string->data() == reader.m_decoded.data();
        if (isDecoded && string->size() > ProtocolValuePool::kMaximumStringCapacity)
            processor.parserDidAdd(Value(std::move(reader.m_decoded)));
        else
            processor.parserDidAdd(processor.values().string(*string));
        return 1;
    }

    static int onMapKey(void* context, const unsigned char* text, size_t length)
    {
        auto& reader = readerOf(context);
        auto key = reader.stringToken(text, length);
        if (!key)
            return 0;
        reader.m_processor->parserDidMapKey(*key);
        return 1;
    }

    static int onStartMap(void* context) { return readerOf(context).m_processor->parserDidStartDictionary() ? 1 : 0; }
    static int onEndMap(void* context) { return readerOf(context).m_processor->parserDidEndDictionary() ? 1 : 0; }
    static int onStartArray(void* context) { return readerOf(context).m_processor->parserDidStartArray() ? 1 : 0; }
    static int onEndArray(void* context) { return readerOf(context).m_processor->parserDidEndArray() ? 1 : 0; }

    static constexpr yajl_callbacks kCallbacks = {
        onNull, onBoolean, nullptr, nullptr, onNumber, onString,
        onStartMap, onMapKey, onEndMap, onStartArray, onEndArray,
    };
};

std::shared_ptr<ProtocolReader> ProtocolReader::create(std::weak_ptr<CommandOperator> commandOperator, BodyCopy bodyCopy)
{
    return std::shared_ptr<ProtocolReader>(new ProtocolReader(std::move(commandOperator), bodyCopy));
}

ProtocolReader::ProtocolReader(std::weak_ptr<CommandOperator> commandOperator, BodyCopy bodyCopy)
    : m_processor(std::make_unique<ProtocolProcessor>(std::move(commandOperator)))
    , m_bodyCopy(bodyCopy)
{
    // Comments, trailing garbage and several top-level values are refused. The parser's own
    // UTF-8 check lets overlong forms and encoded surrogates through, so the reader checks
    // every string itself (stringToken) and the parser's check is turned off.
    m_parser = yajl_alloc(&ProtocolReaderEvents::kCallbacks, nullptr, this);
    yajl_config(m_parser, yajl_dont_validate_strings, 1);
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
    parse(reinterpret_cast<const char*>(bytes), length);
    if (m_bodyCopy == BodyCopy::Keep && length) {
        std::lock_guard lock(m_stateMutex);
        m_chunks.emplace_back(reinterpret_cast<const char*>(bytes), length);
        m_size += length;
    }
    return static_cast<long>(length);
}

void ProtocolReader::parse(const char* bytes, std::size_t length)
{
    std::lock_guard lock(m_parseMutex);
    if (status() == Status::Error)
        return;
    if (m_heldToken == HeldToken::String || m_heldToken == HeldToken::Number) {
        std::size_t end = scanHeldToken(bytes, length);
        if (end == length) {
            // The chunk only continues the held token: it waits for the chunk that ends it.
            m_held.append(bytes, length);
            return;
        }
        if (m_held.size() > m_parserHeldLength) {
            // The parser gets the waiting bytes and this chunk in one piece, and scans the
            // token once.
            m_held.append(bytes, length);
            return feed(m_held.data() + m_parserHeldLength, m_held.size() - m_parserHeldLength);
        }
    }
    feed(bytes, length);
}

void ProtocolReader::feed(const char* bytes, std::size_t length)
{
    m_feed = bytes;
    m_feedLength = length;
    m_tokenStart = std::string::npos;
    m_tokenEnd = std::string::npos;
    yajl_status result = yajl_parse(m_parser, reinterpret_cast<const unsigned char*>(bytes), length);
    if (status() != Status::Error) {
        Status next = Status::Error;
        if (result == yajl_status_ok)
            next = m_processor->hasCompletedDocument() ? Status::Complete : Status::InsufficientData;
        m_status.store(next, std::memory_order_release);
    }
    if (auto text = m_processor->error())
        handleError(*text);
    if (status() != Status::Error)
        holdUnfinishedToken(bytes, length);
    m_feed = nullptr;
    m_feedLength = 0;
}

void ProtocolReader::tokenEnded()
{
    m_tokenStart = m_tokenEnd;
    m_tokenEnd = yajl_get_bytes_consumed(m_parser);
}

// After a buffer was parsed: the bytes after the last token the parser reported are the
// beginning of a token the parser holds unfinished (separators aside).
void ProtocolReader::holdUnfinishedToken(const char* bytes, std::size_t length)
{
    if (m_tokenEnd == std::string::npos) {
        // No token ended: the buffer continued the held one, or began one after separators.
        bool wasHeld = bytes == m_held.data() + m_parserHeldLength;
        std::size_t start = 0;
        while (m_held.empty() && start < length && isSeparator(bytes[start]))
            ++start;
        if (!wasHeld)
            m_held.append(bytes + start, length - start);
        m_parserHeldLength = m_held.size();
        if (!wasHeld && m_heldToken == HeldToken::None)
            classifyHeldToken();
        return;
    }
    std::size_t start = m_tokenEnd;
    while (start < length && isSeparator(bytes[start]))
        ++start;
    // A fresh string, so that a long token's buffer is released.
    std::string held(bytes + start, length - start);
    m_held.swap(held);
    m_parserHeldLength = m_held.size();
    m_heldToken = HeldToken::None;
    classifyHeldToken();
}

void ProtocolReader::classifyHeldToken()
{
    m_heldEscape = false;
    m_heldHexDigits = 0;
    m_heldToken = HeldToken::None;
    if (m_held.empty())
        return;
    if (m_held[0] == '"') {
        m_heldToken = HeldToken::String;
        // Learn whether the held part ends inside an escape.
        scanHeldToken(m_held.data() + 1, m_held.size() - 1);
        return;
    }
    // A number waits only where any digit may follow: past a leading 1 to 9, or past its
    // integer part. A leading zero (or a lone minus sign) takes no digit after it.
    std::size_t digits = m_held[0] == '-' ? 1 : 0;
    bool takesDigits = (digits < m_held.size() && m_held[digits] >= '1' && m_held[digits] <= '9')
        || (digits < m_held.size() && m_held[digits] == '0' && m_held.find_first_of(".eE") != std::string::npos);
    m_heldToken = takesDigits ? HeldToken::Number : HeldToken::Other;
}

// The index of the first byte that ends the held token or that it cannot take (the parser must
// see that byte now, to report the token or the error as it would without the wait); `length`
// when every byte only continues it.
std::size_t ProtocolReader::scanHeldToken(const char* bytes, std::size_t length)
{
    if (m_heldToken == HeldToken::Number) {
        std::size_t i = 0;
        while (i < length && isDigit(bytes[i]))
            ++i;
        return i;
    }
    for (std::size_t i = 0; i < length; ++i) {
        char byte = bytes[i];
        if (m_heldHexDigits > 0) {
            if (!isHexDigit(byte))
                return i;
            --m_heldHexDigits;
        } else if (m_heldEscape) {
            if (!isEscapeLetter(byte))
                return i;
            m_heldEscape = false;
            if (byte == 'u')
                m_heldHexDigits = 4;
        } else if (byte == '\\') {
            m_heldEscape = true;
        } else if (byte == '"' || static_cast<unsigned char>(byte) < 0x20) {
            return i;
        }
    }
    return length;
}

// The text of the string token that ended at the parser's position, valid until the next
// token. The parser hands over the token's text undecoded when it has no escape and lies in the
// buffer being parsed; otherwise the reader decodes the raw token itself (into m_decoded), since
// the parser turns lone surrogates into other characters.
std::optional<std::string_view> ProtocolReader::stringToken(const unsigned char* text, std::size_t length)
{
    auto* characters = reinterpret_cast<const char*>(text);
    std::less<const char*> before;
    if (!before(characters, m_feed) && before(characters, m_feed + m_feedLength)) {
        std::string_view content(characters, length);
        if (!ProtocolString::isValidUTF8(content))
            return std::nullopt;
        return content;
    }
    // The raw token runs from the end of the token before it in this buffer; the first token
    // of a buffer may have begun in what the parser held from earlier buffers.
    std::string joined;
    std::string_view raw;
    if (m_tokenStart == std::string::npos && m_parserHeldLength > 0) {
        if (m_feed == m_held.data() + m_parserHeldLength) {
            raw = std::string_view(m_held.data(), m_parserHeldLength + m_tokenEnd);
        } else {
            joined.reserve(m_parserHeldLength + m_tokenEnd);
            joined.append(m_held, 0, m_parserHeldLength).append(m_feed, m_tokenEnd);
            raw = joined;
        }
    } else {
        std::size_t start = m_tokenStart == std::string::npos ? 0 : m_tokenStart;
        raw = std::string_view(m_feed + start, m_tokenEnd - start);
    }
    std::size_t quote = raw.find('"');
    if (quote == std::string_view::npos || raw.size() < quote + 2 || raw.back() != '"')
        return std::nullopt;
    if (!ProtocolString::decode(raw.substr(quote + 1, raw.size() - quote - 2), m_decoded))
        return std::nullopt;
    return std::string_view(m_decoded);
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

std::string ProtocolReader::takeData()
{
    std::vector<std::string> chunks;
    std::size_t size = 0;
    {
        std::lock_guard lock(m_stateMutex);
        chunks.swap(m_chunks);
        size = std::exchange(m_size, 0);
    }
    std::string data;
    data.reserve(size);
    for (auto& chunk : chunks) {
        data += chunk;
        std::string().swap(chunk); // freed as it is copied: the body is held about once
    }
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
