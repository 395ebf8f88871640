#pragma once
// A certificate's public key.

#include <string>

namespace morvix::platform {

/// A public key as its DER SubjectPublicKeyInfo bytes; two keys are equal when those bytes are.
/// Value type; any thread.
class PublicKey {
public:
    explicit PublicKey(std::string der) : m_der(std::move(der)) { }
    const std::string& der() const { return m_der; }
    bool operator==(const PublicKey& other) const { return m_der == other.m_der; }

private:
    std::string m_der;
};

} // namespace morvix::platform
