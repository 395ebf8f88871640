#pragma once
// Objects that keyed archives can hold.

#include <string>

namespace morvix::platform {

class KeyedArchiver;
class KeyedUnarchiver;

/// An object that writes itself into a keyed archive (KeyedArchiver) under the class name it
/// gives. Reading it back is the business of the decoder registered for that name with
/// KeyedUnarchiver::registerClass, which answers a new object from the values written here.
class KeyedCoding {
public:
    virtual ~KeyedCoding() = default;

    /// The name the archive stores; decoding checks it against the classes the caller allows.
    virtual std::string archiveClassName() const = 0;
    /// Writes the object's values with the coder's `encode...` methods. Runs on the encoding
    /// thread; an object guarded by a lock takes it here.
    virtual void encodeWithCoder(KeyedArchiver& coder) const = 0;
};

} // namespace morvix::platform
