#pragma once
// The words a remote-object class uses on the wire beyond its property table, each declared once
// where it is used: the events and calls it sends, the properties it reports by itself, the style
// words it reads and the creation properties that pick its kind.

#include <string_view>

namespace morvix {

/// One operation a class sends to the peer by itself: an event (["notify", id, name,
/// attributes]) or a call (["call", id, name, parameters]). The firing code sends it through
/// `Notification::fire`, so the name on the wire is the one declared here, and `WireTable`
/// lists it for docs/types.md. Declare one as a `constexpr` object of static storage:
///
///     constexpr EventDeclaration kModifyEvent {
///         .listen = "modify",
///         .name = "modify",
///         .attributes = R"({"text": string})",
///         .note = "on each change of the text, with the new text",
///     };
///     ...
///     message->fire(kModifyEvent, { { "text", text } });
struct EventDeclaration {
    enum class Operation { Notify, Call };

    /// The key of "listen" that switches the event on, as the peer writes it ("Selection"; the
    /// flag it sets is the key with its first letter lower-cased and "Listener" appended). Two
    /// keys that both switch it on are written "Modify, VerifyModify". Empty: no key does.
    std::string_view listen = {};
    /// The name of the notify (or call) operation, exactly as sent.
    std::string_view name = {};
    /// The attributes (or parameters), written as JSON with the kind of each value in place of
    /// the value: `{"text": string}`; `{}` for none.
    std::string_view attributes = "{}";
    /// True when the event is sent whether or not it is listened.
    bool sentWithoutListen = false;
    /// When it is sent and what travels with it, in a sentence without a final period.
    std::string_view note = {};
    Operation operation = Operation::Notify;
};

/// A property the client reports by itself in a "set" operation (["set", id, {name: value}]),
/// such as a check box's "selection" after a tap. The reporting code records it through
/// `Notification::report`.
struct ReportDeclaration {
    std::string_view name = {};
    /// The kind of the value, in the words docs/types.md uses ("boolean", "[x, y, width, height]").
    std::string_view kind = {};
    /// When it is sent and what it means, in a sentence without a final period.
    std::string_view note = {};
};

/// A word of the "style" array that a class reads, with what it does.
struct StyleDeclaration {
    std::string_view word = {};
    std::string_view effect = {};
};

/// A creation property that picks the kind of object a factory makes: "style" holding "CHECK"
/// makes a check box, "type" "tap" a tap gesture. A property named "style" stands for a style
/// array holding the word `value`; any other for the string `value`. An empty `value` stands for
/// a creation that gives none of the class's other values (a button without any of its kind
/// words is a push button).
struct CreationVariant {
    std::string_view property = {};
    std::string_view value = {};
    /// What it makes, in a few words ("a check box").
    std::string_view kind = {};
};

} // namespace morvix
