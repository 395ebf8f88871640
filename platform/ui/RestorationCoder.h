#pragma once
// The keyed store a view controller saves its state into and restores it from.

#include "platform/ui/Forward.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace morvix::platform {

/// A small key -> value map for state restoration: view controllers (kept by reference, not
/// archived, as the platform restores them by identity) and integers. Encoding a key again
/// replaces its value. Reading a key of the other kind, or one never written, gives null or 0;
/// `contains` tells them apart. Main thread only, like the controllers it holds.
class RestorationCoder final {
public:
    void encodeController(const std::shared_ptr<ViewController>& controller, const std::string& key);
    void encodeInteger(std::int64_t value, const std::string& key);

    bool contains(const std::string& key) const { return m_values.contains(key); }
    std::shared_ptr<ViewController> decodeController(const std::string& key) const;
    std::int64_t decodeInteger(const std::string& key) const;
    /// The keys in the order they were first written.
    const std::vector<std::string>& keys() const { return m_order; }

private:
    using Value = std::variant<std::shared_ptr<ViewController>, std::int64_t>;
    void store(const std::string& key, Value value);

    std::map<std::string, Value> m_values;
    std::vector<std::string> m_order;
};

} // namespace morvix::platform
