// "morvix.Printer" against a hostile peer, in a real session on a loopback server: the files it
// may name (only regular files in the folders a peer may read, links and escapes resolved
// first) and the cap on what a file or a download may bring.

#include "services/Printer.h"

#include "platform/foundation/BundleInfo.h"
#include "platform/ui/screens/PrintController.h"
#include "tests/core/session/SessionLogRecorder.h"
#include "tests/support/LoopbackSessionFixture.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace morvix {
namespace {

namespace fs = std::filesystem;
using platform::PrintController;
using platform::Value;

const std::string kDocument = std::string("%PDF-1.4\n") + std::string(3000, 'x') + "\n%%EOF\n";

class PrinterFileLimitsTest : public testing::LoopbackSessionFixture {
protected:
    void SetUp() override
    {
        server.route("/docs/sized.pdf", testing::TestResponse().withHeader("Content-Type", "application/pdf").withBody(kDocument));
        server.handle("/docs/chunked.pdf", [](const testing::RecordedRequest&, testing::ResponseWriter& writer) {
            writer.writeHead(200, { { "Transfer-Encoding", "chunked" } });
            for (std::size_t at = 0; at < kDocument.size(); at += 500)
                writer.writeChunk(kDocument.substr(at, 500));
            writer.endChunks();
        });
        LoopbackSessionFixture::SetUp();
        PrintController::shared().resetForTesting();
        char pattern[] = "/tmp/morvix-printer-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root = fs::canonical(pattern);
        resources = root / "resources";
        fs::create_directories(resources);
        auto bundle = platform::BundleInfo::defaults();
        bundle.resourcePath = resources.string();
        bundle.documentsPath = (root / "Documents").string();
        platform::BundleInfo::setMain(bundle);
        ASSERT_NO_FATAL_FAILURE(createClient());
        log.attach(*client);
        client->load();
        ASSERT_TRUE(waitUntil([&] { return printer() != nullptr; }));
    }
    void TearDown() override
    {
        LoopbackSessionFixture::TearDown();
        PrintController::shared().resetForTesting();
        platform::BundleInfo::resetForTesting();
        fs::remove_all(root);
    }

    std::shared_ptr<Printer> printer() const { return object<Printer>("morvix.Printer"); }
    // Prints `url` and returns what the printer answered (its event and attributes), once the
    // answer has reached the server.
    Value printAndAnswer(const std::string& url)
    {
        std::size_t before = answers().size();
        client->commandOperator()->processOperation(Value::array({ "call", "morvix.Printer", "print", Value { { "url", url } } }));
        harness.advance(0.3);
        bool answered = waitUntil([&] { return answers().size() > before; });
        EXPECT_TRUE(answered) << url;
        return answered ? answers().back() : Value();
    }
    std::vector<Value> answers() const
    {
        std::vector<Value> found;
        for (const auto& operation : operationsFor("morvix.Printer")) {
            if (operation[0] == "notify")
                found.push_back(Value::array({ operation[2], operation[3] }));
        }
        return found;
    }
    std::string fileURL(const fs::path& path) const { return "file://" + path.string(); }

    fs::path root;
    fs::path resources;
    testing::SessionLogRecorder log;
};

TEST_F(PrinterFileLimitsTest, FilesPrintOnlyFromTheReadableFolders)
{
    auto& dialog = PrintController::shared();
    const Value cannot = Value::array({ "Error", { { "message", Printer::kCannotPrintMessage } } });
    std::ofstream(resources / "doc.pdf", std::ios::binary) << kDocument;
    std::ofstream(root / "outside.pdf", std::ios::binary) << kDocument;
    fs::create_symlink(root / "outside.pdf", resources / "link.pdf");

    // A readable document outside the folders, reached by name, by escaped dots and by a link
    // inside them: none is printed, and each refusal is logged.
    for (const auto& url : { fileURL(root / "outside.pdf"), fileURL(resources) + "/%2e%2e/outside.pdf", fileURL(resources / "link.pdf") }) {
        SCOPED_TRACE(url);
        EXPECT_EQ(printAndAnswer(url), cannot);
        ASSERT_FALSE(dialog.isPresented());
    }
    EXPECT_TRUE(log.contains("lies outside the folders a peer may read"));
    EXPECT_TRUE(dialog.jobs().empty());

    // An endless device, a pipe nobody writes to and a file past the cap (sparse: it takes no
    // room) end at once in the same error, nothing read.
    ASSERT_EQ(::mkfifo((resources / "pipe.pdf").c_str(), 0600), 0);
    std::ofstream(resources / "huge.pdf").close();
    fs::resize_file(resources / "huge.pdf", Printer::kMaximumDocumentSize + 1);
    for (const auto& url : { std::string("file:///dev/zero"), fileURL(resources / "pipe.pdf"), fileURL(resources / "huge.pdf") }) {
        SCOPED_TRACE(url);
        EXPECT_EQ(printAndAnswer(url), cannot);
    }
    EXPECT_TRUE(log.contains("is no regular file"));
    EXPECT_TRUE(log.contains("bytes, more than the 268435456 allowed"));
    EXPECT_TRUE(dialog.jobs().empty());

    // The resource folder's own document prints.
    client->commandOperator()->processOperation(Value::array({ "call", "morvix.Printer", "print", Value { { "url", fileURL(resources / "doc.pdf") } } }));
    ASSERT_TRUE(dialog.isPresented());
    EXPECT_EQ(dialog.jobs().back().bytes, kDocument);
}

TEST_F(PrinterFileLimitsTest, FilesAndDownloadsStopAtTheDocumentCap)
{
    auto& dialog = PrintController::shared();
    EXPECT_EQ(printer()->maximumDocumentSize(), std::uint64_t(256) << 20) << "the patch download's cap";
    printer()->setMaximumDocumentSize(1000);
    std::ofstream(resources / "doc.pdf", std::ios::binary) << kDocument;
    EXPECT_EQ(printAndAnswer(fileURL(resources / "doc.pdf")), Value::array({ "Error", { { "message", Printer::kCannotPrintMessage } } }));

    // Whether the server announces the length or not, the download stops at the cap, ends in
    // "Error" and leaves no job file behind.
    for (const char* path : { "/docs/sized.pdf", "/docs/chunked.pdf" }) {
        SCOPED_TRACE(path);
        Value answer = printAndAnswer(path);
        EXPECT_EQ(answer[0], "Error");
        EXPECT_EQ(answer[1]["message"], "the response is larger than the 1000 bytes allowed");
        EXPECT_FALSE(fs::exists(printer()->jobFilePath()));
        EXPECT_EQ(printer()->progressHUD(), nullptr);
    }
    EXPECT_TRUE(dialog.jobs().empty());

    // Within the cap both print.
    printer()->setMaximumDocumentSize(kDocument.size());
    client->commandOperator()->processOperation(Value::array({ "call", "morvix.Printer", "print", Value { { "url", "/docs/chunked.pdf" } } }));
    ASSERT_TRUE(waitUntil([&] { return dialog.isPresented(); }));
    EXPECT_EQ(dialog.jobs().back().bytes, kDocument);
}

} // namespace
} // namespace morvix
