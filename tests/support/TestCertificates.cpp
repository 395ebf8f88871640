#include "tests/support/TestCertificates.h"

#include <openssl/bio.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <unistd.h>

namespace morvix::testing {

namespace {

using KeyPtr = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using CertPtr = std::unique_ptr<X509, decltype(&X509_free)>;

void check(bool ok, const char* what)
{
    if (!ok)
        throw std::runtime_error(std::string("certificate maker: ") + what + " failed");
}

KeyPtr makeKey()
{
    KeyPtr key(EVP_EC_gen("P-256"), EVP_PKEY_free);
    check(key != nullptr, "key generation");
    return key;
}

std::string bioText(BIO* bio)
{
    char* data = nullptr;
    long length = BIO_get_mem_data(bio, &data);
    return std::string(data, static_cast<size_t>(length));
}

KeyPtr readKey(const std::string& pem)
{
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())), BIO_free);
    KeyPtr key(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr), EVP_PKEY_free);
    check(key != nullptr, "reading a private key");
    return key;
}

CertPtr readCertificate(const std::string& der)
{
    auto* bytes = reinterpret_cast<const unsigned char*>(der.data());
    CertPtr cert(d2i_X509(nullptr, &bytes, static_cast<long>(der.size())), X509_free);
    check(cert != nullptr, "reading a certificate");
    return cert;
}

void addExtension(X509* cert, X509* issuer, int nid, const std::string& value)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
    check(extension != nullptr, "making an extension");
    X509_add_ext(cert, extension, -1);
    X509_EXTENSION_free(extension);
}

struct Issuer {
    X509* cert = nullptr; // null for a self-signed certificate
    EVP_PKEY* key = nullptr;
};

enum class Role { Authority, Server };

TestCertificate make(const std::string& commonName, Role role, const CertificateNames* names,
    Validity validity, Issuer issuer)
{
    KeyPtr key = makeKey();
    CertPtr cert(X509_new(), X509_free);
    X509_set_version(cert.get(), 2);
    static std::atomic<long> serial { 1000 };
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial++ + (static_cast<long>(getpid()) << 16));
    constexpr long kDay = 24 * 60 * 60;
    switch (validity) {
    case Validity::Current:
        X509_gmtime_adj(X509_getm_notBefore(cert.get()), -kDay);
        X509_gmtime_adj(X509_getm_notAfter(cert.get()), 365 * kDay);
        break;
    case Validity::Expired:
        X509_gmtime_adj(X509_getm_notBefore(cert.get()), -30 * kDay);
        X509_gmtime_adj(X509_getm_notAfter(cert.get()), -kDay);
        break;
    case Validity::NotYetValid:
        X509_gmtime_adj(X509_getm_notBefore(cert.get()), 30 * kDay);
        X509_gmtime_adj(X509_getm_notAfter(cert.get()), 365 * kDay);
        break;
    }
    X509_set_pubkey(cert.get(), key.get());
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Morvix Tests"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1, 0);
    X509* issuerCert = issuer.cert ? issuer.cert : cert.get();
    X509_set_issuer_name(cert.get(), X509_get_subject_name(issuerCert));

    addExtension(cert.get(), issuerCert, NID_subject_key_identifier, "hash");
    if (issuer.cert)
        addExtension(cert.get(), issuerCert, NID_authority_key_identifier, "keyid:always");
    if (role == Role::Authority) {
        addExtension(cert.get(), issuerCert, NID_basic_constraints, "critical,CA:TRUE");
        addExtension(cert.get(), issuerCert, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        addExtension(cert.get(), issuerCert, NID_basic_constraints, "critical,CA:FALSE");
        addExtension(cert.get(), issuerCert, NID_key_usage, "critical,digitalSignature,keyEncipherment");
        addExtension(cert.get(), issuerCert, NID_ext_key_usage, "serverAuth");
        std::string alternatives;
        for (const auto& dns : names->dnsNames)
            alternatives += (alternatives.empty() ? "DNS:" : ",DNS:") + dns;
        for (const auto& ip : names->ipAddresses)
            alternatives += (alternatives.empty() ? "IP:" : ",IP:") + ip;
        if (!alternatives.empty())
            addExtension(cert.get(), issuerCert, NID_subject_alt_name, alternatives);
    }
    check(X509_sign(cert.get(), issuer.key ? issuer.key : key.get(), EVP_sha256()) > 0, "signing");

    TestCertificate result;
    result.commonName = commonName;
    unsigned char* der = nullptr;
    int length = i2d_X509(cert.get(), &der);
    check(length > 0, "encoding a certificate");
    result.der.assign(reinterpret_cast<char*>(der), static_cast<size_t>(length));
    OPENSSL_free(der);
    unsigned char* spki = nullptr;
    length = i2d_PUBKEY(key.get(), &spki);
    check(length > 0, "encoding a public key");
    result.publicKeyDer.assign(reinterpret_cast<char*>(spki), static_cast<size_t>(length));
    OPENSSL_free(spki);

    std::unique_ptr<BIO, decltype(&BIO_free)> certBio(BIO_new(BIO_s_mem()), BIO_free);
    PEM_write_bio_X509(certBio.get(), cert.get());
    result.pem = bioText(certBio.get());
    std::unique_ptr<BIO, decltype(&BIO_free)> keyBio(BIO_new(BIO_s_mem()), BIO_free);
    PEM_write_bio_PrivateKey(keyBio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr);
    result.privateKeyPem = bioText(keyBio.get());
    return result;
}

TestCertificate makeIssued(const TestCertificate& issuer, const std::string& commonName, Role role,
    const CertificateNames* names, Validity validity)
{
    CertPtr issuerCert = readCertificate(issuer.der);
    KeyPtr issuerKey = readKey(issuer.privateKeyPem);
    return make(commonName, role, names, validity, { issuerCert.get(), issuerKey.get() });
}

} // namespace

TestCertificate CertificateMaker::root(const std::string& commonName)
{
    return make(commonName, Role::Authority, nullptr, Validity::Current, {});
}

TestCertificate CertificateMaker::intermediate(const TestCertificate& issuer, const std::string& commonName)
{
    return makeIssued(issuer, commonName, Role::Authority, nullptr, Validity::Current);
}

TestCertificate CertificateMaker::leaf(const TestCertificate& issuer, const CertificateNames& names,
    Validity validity, const std::string& commonName)
{
    return makeIssued(issuer, commonName, Role::Server, &names, validity);
}

TestCertificate CertificateMaker::selfSigned(const CertificateNames& names, Validity validity, const std::string& commonName)
{
    return make(commonName, Role::Server, &names, validity, {});
}

const TestPKI& TestPKI::shared()
{
    static const TestPKI pki = [] {
        const CertificateNames local { { "localhost" }, { "127.0.0.1" } };
        TestPKI made;
        made.root = CertificateMaker::root("Morvix Test Root");
        made.intermediate = CertificateMaker::intermediate(made.root, "Morvix Test Intermediate");
        made.leaf = CertificateMaker::leaf(made.intermediate, local);
        made.wrongHost = CertificateMaker::leaf(made.intermediate, { { "other.example" }, {} }, Validity::Current, "other.example");
        made.expired = CertificateMaker::leaf(made.intermediate, local, Validity::Expired, "Expired Server");
        made.selfSigned = CertificateMaker::selfSigned(local);
        made.otherRoot = CertificateMaker::root("Morvix Unrelated Root");
        made.rootFile = writeTemporaryFile("test-root.pem", made.root.pem);
        return made;
    }();
    return pki;
}

std::filesystem::path temporaryDirectory()
{
    static const std::filesystem::path directory = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/morvix-tests-XXXXXX";
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a temporary directory");
        std::filesystem::path made = pattern;
        // Cleaned up at exit so that repeated runs leave nothing behind.
        static struct Cleanup {
            std::filesystem::path path;
            ~Cleanup()
            {
                std::error_code ignored;
                std::filesystem::remove_all(path, ignored);
            }
        } cleanup { made };
        return made;
    }();
    return directory;
}

std::filesystem::path writeTemporaryFile(const std::string& name, const std::string& text)
{
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    auto path = temporaryDirectory() / name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
    return path;
}

} // namespace morvix::testing
