#pragma once
// Certificates and keys that tests make on the fly with OpenSSL.

#include <filesystem>
#include <string>
#include <vector>

namespace morvix::testing {

/// One certificate with its private key. The certificate is kept as DER (what pinning compares)
/// and PEM (what servers and trust files read); the key as PEM.
struct TestCertificate {
    std::string commonName;
    std::string der;
    std::string pem;
    std::string privateKeyPem;
    /// DER of the certificate's SubjectPublicKeyInfo, for public-key comparisons.
    std::string publicKeyDer;
};

enum class Validity { Current, Expired, NotYetValid };

/// Names a leaf certificate is valid for: DNS names and IP literals go to the subject
/// alternative name extension ("localhost", "127.0.0.1").
struct CertificateNames {
    std::vector<std::string> dnsNames;
    std::vector<std::string> ipAddresses;
};

/// Makes certificates with fresh P-256 keys. Any thread.
///
/// Example:
///   auto root = CertificateMaker::root("Test Root");
///   auto leaf = CertificateMaker::leaf(root, { { "localhost" }, { "127.0.0.1" } });
class CertificateMaker {
public:
    /// A self-signed certificate authority.
    static TestCertificate root(const std::string& commonName);
    /// A certificate authority issued by `issuer`.
    static TestCertificate intermediate(const TestCertificate& issuer, const std::string& commonName);
    /// A server certificate issued by `issuer` for `names`, with the server-auth usage.
    static TestCertificate leaf(const TestCertificate& issuer, const CertificateNames& names,
        Validity validity = Validity::Current, const std::string& commonName = "Test Server");
    /// A self-signed server certificate (not a certificate authority) for `names`.
    static TestCertificate selfSigned(const CertificateNames& names, Validity validity = Validity::Current,
        const std::string& commonName = "Self-Signed Server");
};

/// A ready-made set of certificates, made once per process (key generation is the slow part):
/// a root, an intermediate under it and leaves under the intermediate; a self-signed server.
/// Every server certificate is for "localhost" and 127.0.0.1 unless named otherwise.
struct TestPKI {
    TestCertificate root;
    TestCertificate intermediate;
    TestCertificate leaf;          // root -> intermediate -> leaf, localhost and 127.0.0.1
    TestCertificate wrongHost;     // root -> intermediate -> leaf for "other.example" only
    TestCertificate expired;       // root -> intermediate -> leaf that expired yesterday
    TestCertificate selfSigned;    // self-signed, localhost and 127.0.0.1
    TestCertificate otherRoot;     // a root that signed nothing above
    /// A PEM file holding `root` alone, for SSL_CERT_FILE or as an explicit trust store.
    std::filesystem::path rootFile;

    static const TestPKI& shared();
};

/// Writes `text` to a new file in a per-process temporary directory and returns its path.
std::filesystem::path writeTemporaryFile(const std::string& name, const std::string& text);

/// The per-process temporary directory (made on first use, under $TMPDIR or /tmp).
std::filesystem::path temporaryDirectory();

} // namespace morvix::testing
