#pragma once
// The output stream that a response body is written into, applied while it arrives.

#include "platform/foundation/Error.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct yajl_handle_t;

namespace morvix {

class CommandOperator;
class ProtocolProcessor;

/// Reads one response body as it streams in and applies it at once: every chunk written goes
/// to a streaming JSON parser (YAJL), whose events drive a `ProtocolProcessor`, which hands
/// each completed head member and operation to the command operator before `write` returns.
///
/// Strings must be well-formed UTF-8: an overlong form, an encoded surrogate, a code point
/// beyond U+10FFFF or a byte that starts no character is a parse error. An escaped lone
/// surrogate ("\ud800" not followed by an escaped low surrogate, or a low one alone) reads
/// as U+FFFD.
///
/// Memory: the reader keeps only the bytes of a token that a chunk left unfinished. While one
/// long string or number runs over many chunks, those chunks wait with the reader and go to
/// the parser together once a chunk ends the token (or holds a byte that the token cannot
/// take), so the parser does not scan the unfinished token again for every chunk and a long
/// token reads in linear time. With `BodyCopy::Keep` (what `create` does unless told
/// otherwise) a copy of every byte is kept as well, for the HTTP layer's response data; with
/// `BodyCopy::Discard` nothing of the body stays once it is parsed.
///
/// Usage (the session transport, one reader per request):
///
///     auto reader = ProtocolReader::create(commandOperator);
///     reader->open();
///     for (each chunk of the body)            // on the network thread
///         reader->write(chunk.data(), chunk.size());
///     reader->close();
///     if (auto error = reader->error())       // after the body has ended, any thread
///         report(*error);
///
/// When the session is reloaded or destroyed while a body is still streaming, the transport
/// calls `abandon()`: from then on nothing more of that body is applied.
///
/// Status after each chunk (`status()`): `InsufficientData` while the document is unfinished,
/// `Complete` once the top-level value has closed, `Error` after a syntax error, nesting
/// deeper than `ProtocolProcessor::kMaximumDepth`, or an "error" head key. `Error` sticks.
/// With no write at all the status stays `None`, and `error()` gives nothing: an empty body
/// counts as success. A top-level number is held back by the parser until more bytes come,
/// so a body that is a bare number stays `InsufficientData`.
///
/// Thread safety: `write` may be called from any one thread at a time (writes are serialised
/// by the reader's parse lock, which stays held while the command operator waits for room in
/// its queue). Off the main thread, what a write hands over is applied later by the main loop,
/// and the reader must live until then, since the queue reads its abandoned flag (see
/// CommandOperator). Every other method takes no lock that a write holds across that wait, so
/// the main thread may ask `status`, `error`, `data` or `abandon` at any time without
/// deadlocking.
class ProtocolReader final : public std::enable_shared_from_this<ProtocolReader> {
public:
    enum class Status : unsigned {
        None = 0,
        Complete = 1,
        InsufficientData = 2,
        Error = 3,
    };

    /// Whether `data()` gives the body's bytes.
    enum class BodyCopy { Keep, Discard };

    static constexpr const char* kErrorDomain = "com.zerivoquastel.morvix";

    /// The operator is held weakly; once it is gone, nothing more is applied.
    static std::shared_ptr<ProtocolReader> create(std::weak_ptr<CommandOperator> commandOperator,
        BodyCopy bodyCopy = BodyCopy::Keep);
    ~ProtocolReader();
    ProtocolReader(const ProtocolReader&) = delete;
    ProtocolReader& operator=(const ProtocolReader&) = delete;

    // The output-stream contract used by the HTTP layer. Opening is optional; after `close`
    // the reader takes no more bytes.
    void open();
    void close();
    bool hasSpaceAvailable() const;

    /// Parses and applies the chunk (or holds it back while it continues an unfinished long
    /// token), then, with `BodyCopy::Keep`, keeps a copy of it. Returns the number of bytes
    /// taken (all of them), or -1 once the reader was closed, in which case nothing is parsed.
    long write(const std::uint8_t* bytes, std::size_t length);
    long write(std::string_view chunk);

    /// A copy of the bytes written so far; empty with `BodyCopy::Discard`. Any thread.
    std::string data() const;
    /// The bytes written so far, moved out of the reader (which keeps none of them after), so
    /// that a finished body is held once, not by the reader and its taker both. Any thread.
    std::string takeData();
    /// Any thread.
    Status status() const { return m_status.load(std::memory_order_acquire); }
    /// The text of the body's "error" head key, or nothing. Any thread.
    std::optional<std::string> protocolError() const;

    /// What went wrong with the body, by priority: an "error" head key (code 406, "Server
    /// Issue", the key's text), a parse error (code 3, "Server Response", "Response could not
    /// be parsed."), a body that ended inside the document (code 2, "Server Response",
    /// "Insufficient data was returned."); nothing otherwise. Ask it once the body has ended.
    /// Any thread.
    std::optional<platform::Error> error() const;

    /// Stops applying this body: head keys and operations not yet applied are skipped. An
    /// operation being applied at this moment finishes. Any thread; cannot be undone.
    void abandon();
    bool isAbandoned() const;

private:
    friend struct ProtocolReaderEvents;

    // What the bytes held back since the last completed token begin: the token's kind decides
    // which bytes may wait for later chunks.
    enum class HeldToken { None, String, Number, Other };

    ProtocolReader(std::weak_ptr<CommandOperator> commandOperator, BodyCopy bodyCopy);
    void parse(const char* bytes, std::size_t length);
    void feed(const char* bytes, std::size_t length);
    void holdUnfinishedToken(const char* bytes, std::size_t length);
    void classifyHeldToken();
    std::size_t scanHeldToken(const char* bytes, std::size_t length);
    std::optional<std::string_view> stringToken(const unsigned char* text, std::size_t length);
    void tokenEnded();
    void handleError(std::string text);

    std::unique_ptr<ProtocolProcessor> m_processor;
    std::mutex m_parseMutex; // guards the parser, the held token and the processor's stack; held while applying
    yajl_handle_t* m_parser = nullptr;
    // The buffer being parsed, and where in it the last token that the parser reported ended
    // and the one before it (npos: none yet in this buffer).
    const char* m_feed = nullptr;
    std::size_t m_feedLength = 0;
    std::size_t m_tokenEnd = 0;
    std::size_t m_tokenStart = 0;
    // The bytes of the token left unfinished by the last buffer parsed: the first
    // m_parserHeldLength are with the parser already, the rest wait for a chunk that ends it.
    std::string m_held;
    std::size_t m_parserHeldLength = 0;
    HeldToken m_heldToken = HeldToken::None;
    // Inside a held string: a backslash was last, or how many hexadecimal digits a \u awaits.
    bool m_heldEscape = false;
    int m_heldHexDigits = 0;
    // The text of the last string token that had to be decoded (one with escapes, or one the
    // parser did not hand over whole); reused from token to token.
    std::string m_decoded;

    const BodyCopy m_bodyCopy;
    mutable std::mutex m_stateMutex; // guards m_chunks, m_size, m_protocolError and m_closed; never held while applying
    // The copy of the body, chunk by chunk as written: appending to one growing buffer would copy
    // a large body over and over and touch fresh memory each time it doubles.
    std::vector<std::string> m_chunks;
    std::size_t m_size = 0;
    std::optional<std::string> m_protocolError;
    bool m_closed = false;
    std::atomic<Status> m_status = Status::None;
};

} // namespace morvix
