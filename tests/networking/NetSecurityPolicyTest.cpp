#include "networking/NetSecurityPolicy.h"

#include "platform/net/ServerTrust.h"
#include "tests/networking/SecurityPolicyTestSupport.h"
#include "tests/support/TestCertificates.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

using namespace morvix;
using namespace morvix::platform;
using namespace morvix::testing;

namespace {

// The evaluations below run against a system store that holds only the test root.
class NetSecurityPolicyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SSL_CERT_FILE", pki.rootFile.c_str(), 1);
        NetSecurityPolicy::setLogHandler([this](const std::string& line) { logLines.push_back(line); });
    }
    void TearDown() override
    {
        NetSecurityPolicy::setLogHandler(nullptr);
        unsetenv("SSL_CERT_FILE");
    }

    static std::shared_ptr<ServerTrust> trustFor(const std::vector<TestCertificate>& chain)
    {
        std::vector<std::shared_ptr<const Certificate>> certificates;
        for (const auto& certificate : chain)
            certificates.push_back(Certificate::fromDER(certificate.der));
        return ServerTrust::create(std::move(certificates), TrustPolicy::ssl(std::nullopt));
    }
    std::shared_ptr<ServerTrust> validChain() const { return trustFor({ pki.leaf, pki.intermediate }); }

    static std::shared_ptr<NetSecurityPolicy> policy(NetSSLPinningMode mode, bool allowInvalid, bool validatesDomain,
        std::vector<std::string> pinned = {})
    {
        return makePolicy(mode, allowInvalid, validatesDomain, std::move(pinned));
    }

    const TestPKI& pki = TestPKI::shared();
    std::vector<std::string> logLines;
};

const char* const kGuardLine = "In order to validate a domain name for self signed certificates, you MUST use pinning.";

} // namespace

TEST_F(NetSecurityPolicyTest, DefaultPolicyChecksTheChainAndTheHost)
{
    auto policy = NetSecurityPolicy::defaultPolicy();
    EXPECT_EQ(policy->SSLPinningMode(), NetSSLPinningMode::None);
    EXPECT_FALSE(policy->pinnedCertificates());
    EXPECT_TRUE(policy->evaluateServerTrust(*validChain(), std::string("localhost")));
    EXPECT_TRUE(policy->evaluateServerTrust(*validChain(), std::string("127.0.0.1")));
    EXPECT_FALSE(policy->evaluateServerTrust(*validChain(), std::string("other.example")));
    EXPECT_FALSE(policy->evaluateServerTrust(*trustFor({ pki.wrongHost, pki.intermediate }), std::string("localhost")));
    EXPECT_FALSE(policy->evaluateServerTrust(*trustFor({ pki.expired, pki.intermediate }), std::string("localhost")));
    EXPECT_FALSE(policy->evaluateServerTrust(*trustFor({ pki.selfSigned }), std::string("localhost")));
    // Without the intermediate no chain reaches the root.
    EXPECT_FALSE(policy->evaluateServerTrust(*trustFor({ pki.leaf }), std::string("localhost")));
}

TEST_F(NetSecurityPolicyTest, SessionPolicyWithStrictSSLChecksTheChainButNotTheHost)
{
    auto strict = policy(NetSSLPinningMode::None, false, false);
    EXPECT_TRUE(strict->evaluateServerTrust(*trustFor({ pki.wrongHost, pki.intermediate }), std::string("localhost")));
    EXPECT_FALSE(strict->evaluateServerTrust(*trustFor({ pki.selfSigned }), std::string("localhost")));
    EXPECT_FALSE(strict->evaluateServerTrust(*trustFor({ pki.expired, pki.intermediate }), std::string("localhost")));
}

TEST_F(NetSecurityPolicyTest, SessionPolicyWithoutStrictSSLAcceptsWithoutEvaluating)
{
    auto lax = policy(NetSSLPinningMode::None, true, false);
    auto trust = trustFor({ pki.selfSigned });
    EXPECT_TRUE(lax->evaluateServerTrust(*trust, std::string("localhost")));
    EXPECT_EQ(trust->evaluationCount(), 0);
    EXPECT_TRUE(logLines.empty());
}

TEST_F(NetSecurityPolicyTest, DomainValidationOfInvalidCertificatesNeedsPinning)
{
    auto unpinned = policy(NetSSLPinningMode::None, true, true);
    EXPECT_FALSE(unpinned->evaluateServerTrust(*validChain(), std::string("localhost")));
    ASSERT_EQ(logLines.size(), 1u);
    EXPECT_EQ(logLines[0], kGuardLine);

    auto pinnedButEmpty = policy(NetSSLPinningMode::Certificate, true, true);
    EXPECT_FALSE(pinnedButEmpty->evaluateServerTrust(*validChain(), std::string("localhost")));
    EXPECT_EQ(logLines.size(), 2u);

    // Without a domain the guard does not apply and mode 0 with invalid certificates allowed accepts.
    EXPECT_TRUE(unpinned->evaluateServerTrust(*trustFor({ pki.selfSigned })));
    EXPECT_EQ(logLines.size(), 2u);
}

TEST_F(NetSecurityPolicyTest, CertificatePinningMatchesAnyCertificateOfTheChain)
{
    EXPECT_TRUE(policy(NetSSLPinningMode::Certificate, false, true, { pki.intermediate.der })->evaluateServerTrust(*validChain(), std::string("localhost")));
    EXPECT_TRUE(policy(NetSSLPinningMode::Certificate, false, true, { pki.leaf.der })->evaluateServerTrust(*validChain(), std::string("localhost")));
    // The root is not sent by the server; it is found in the chain the evaluation built.
    EXPECT_TRUE(policy(NetSSLPinningMode::Certificate, false, true, { pki.root.der })->evaluateServerTrust(*validChain(), std::string("localhost")));
    EXPECT_FALSE(policy(NetSSLPinningMode::Certificate, false, true, { pki.otherRoot.der })->evaluateServerTrust(*validChain(), std::string("localhost")));
    EXPECT_FALSE(policy(NetSSLPinningMode::Certificate, false, true, {})->evaluateServerTrust(*validChain(), std::string("localhost")));
    // The host still counts when the domain is validated.
    EXPECT_FALSE(policy(NetSSLPinningMode::Certificate, false, true, { pki.intermediate.der })->evaluateServerTrust(*validChain(), std::string("other.example")));
}

TEST_F(NetSecurityPolicyTest, CertificatePinningOfASelfSignedServerNeedsInvalidCertificatesAllowed)
{
    EXPECT_FALSE(policy(NetSSLPinningMode::Certificate, false, false, { pki.selfSigned.der })->evaluateServerTrust(*trustFor({ pki.selfSigned }), std::string("localhost")));
    EXPECT_TRUE(policy(NetSSLPinningMode::Certificate, true, false, { pki.selfSigned.der })->evaluateServerTrust(*trustFor({ pki.selfSigned }), std::string("localhost")));
    EXPECT_TRUE(policy(NetSSLPinningMode::Certificate, true, true, { pki.selfSigned.der })->evaluateServerTrust(*trustFor({ pki.selfSigned }), std::string("localhost")));
    EXPECT_FALSE(policy(NetSSLPinningMode::Certificate, true, false, { pki.leaf.der })->evaluateServerTrust(*trustFor({ pki.selfSigned }), std::string("localhost")));
}

TEST_F(NetSecurityPolicyTest, PublicKeyPinningNeedsOnlyAPinnedKeyWhenInvalidCertificatesAreAllowed)
{
    EXPECT_TRUE(policy(NetSSLPinningMode::PublicKey, true, false, { pki.selfSigned.der })->evaluateServerTrust(*trustFor({ pki.selfSigned }), std::string("localhost")));
    EXPECT_FALSE(policy(NetSSLPinningMode::PublicKey, false, false, { pki.selfSigned.der })->evaluateServerTrust(*trustFor({ pki.selfSigned }), std::string("localhost")));
    EXPECT_FALSE(policy(NetSSLPinningMode::PublicKey, true, false, { pki.leaf.der })->evaluateServerTrust(*trustFor({ pki.selfSigned }), std::string("localhost")));
    EXPECT_TRUE(policy(NetSSLPinningMode::PublicKey, false, true, { pki.root.der })->evaluateServerTrust(*validChain(), std::string("localhost")));
    EXPECT_TRUE(policy(NetSSLPinningMode::PublicKey, true, false, { pki.intermediate.der })->evaluateServerTrust(*trustFor({ pki.leaf, pki.intermediate })));
    EXPECT_TRUE(policy(NetSSLPinningMode::PublicKey, true, false, { pki.intermediate.der })->evaluateServerTrust(*trustFor({ pki.expired, pki.intermediate })));
}

TEST_F(NetSecurityPolicyTest, PublicKeyPinningCountsOnlyCertificatesThatSignTheChainBelowThem)
{
    // A forged chain: the server's own certificate with genuine pinned certificates appended.
    auto lax = policy(NetSSLPinningMode::PublicKey, true, false, { pki.intermediate.der, pki.leaf.der });
    EXPECT_FALSE(lax->evaluateServerTrust(*trustFor({ pki.selfSigned, pki.intermediate })));
    EXPECT_FALSE(lax->evaluateServerTrust(*trustFor({ pki.selfSigned, pki.leaf, pki.intermediate })));
    // A link that breaks higher up ends the chain there.
    auto pinnedRoot = policy(NetSSLPinningMode::PublicKey, true, false, { pki.root.der });
    EXPECT_FALSE(pinnedRoot->evaluateServerTrust(*trustFor({ pki.leaf, pki.otherRoot, pki.root })));
    EXPECT_TRUE(pinnedRoot->evaluateServerTrust(*trustFor({ pki.leaf, pki.intermediate, pki.root })));
}

TEST_F(NetSecurityPolicyTest, UnknownPinningModeRefuses)
{
    auto odd = policy(static_cast<NetSSLPinningMode>(3), false, true, { pki.leaf.der });
    EXPECT_FALSE(odd->evaluateServerTrust(*validChain(), std::string("localhost")));
    auto oddLax = policy(static_cast<NetSSLPinningMode>(3), true, false, { pki.leaf.der });
    EXPECT_FALSE(oddLax->evaluateServerTrust(*validChain(), std::string("localhost")));
}

TEST_F(NetSecurityPolicyTest, PinnedCertificatesAreDeduplicatedAndYieldTheirKeys)
{
    auto made = NetSecurityPolicy::create();
    EXPECT_FALSE(made->pinnedPublicKeys());
    made->setPinnedCertificates(std::vector<std::string> { pki.leaf.der, "not a certificate", pki.root.der, pki.leaf.der });
    ASSERT_TRUE(made->pinnedCertificates());
    EXPECT_EQ(*made->pinnedCertificates(), (std::vector<std::string> { pki.leaf.der, "not a certificate", pki.root.der }));
    ASSERT_TRUE(made->pinnedPublicKeys());
    EXPECT_EQ(*made->pinnedPublicKeys(), (std::vector<PublicKey> { PublicKey(pki.leaf.publicKeyDer), PublicKey(pki.root.publicKeyDer) }));

    made->setPinnedCertificates(std::nullopt);
    EXPECT_EQ(made->pinnedCertificates(), std::vector<std::string>());
    EXPECT_EQ(made->pinnedPublicKeys(), std::vector<PublicKey>());
}

TEST_F(NetSecurityPolicyTest, DefaultPinnedCertificatesAreTheCerFilesOfTheResourceFolderInNameOrder)
{
    auto folder = temporaryDirectory() / "resources";
    std::filesystem::remove_all(folder); // a fresh folder, also when the test runs again
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "b.cer", std::ios::binary) << pki.root.der;
    std::ofstream(folder / "a.cer", std::ios::binary) << pki.leaf.der;
    std::ofstream(folder / "c.pem", std::ios::binary) << pki.root.pem;
    NetSecurityPolicy::setResourceDirectory(folder);
    NetSecurityPolicy::resetDefaultPinnedCertificatesForTesting();

    EXPECT_EQ(NetSecurityPolicy::defaultPinnedCertificates(), (std::vector<std::string> { pki.leaf.der, pki.root.der }));
    auto pinned = NetSecurityPolicy::policyWithPinningMode(NetSSLPinningMode::Certificate);
    EXPECT_EQ(pinned->pinnedPublicKeys()->size(), 2u);
    EXPECT_TRUE(pinned->validatesDomainName());
    EXPECT_FALSE(pinned->allowInvalidCertificates());

    // Read once: a file added later is not seen.
    std::ofstream(folder / "d.cer", std::ios::binary) << pki.intermediate.der;
    EXPECT_EQ(NetSecurityPolicy::defaultPinnedCertificates().size(), 2u);
    NetSecurityPolicy::resetDefaultPinnedCertificatesForTesting();
    NetSecurityPolicy::setResourceDirectory({});
}
