// "morvix.Printer" in a real session against a loopback server that also serves the documents:
// the download under its overlay, the print info, the dialog's answers, files, Base64 data, pads,
// overlapping jobs, unsafe ids and the output folder.

#include "services/Printer.h"

#include "core/objects/ObjectRegistry.h"
#include "core/objects/WidgetRegistry.h"
#include "core/protocol/CommandOperator.h"
#include "core/session/MorvixClient.h"
#include "library/RemoteTypes.h"
#include "platform/foundation/BundleInfo.h"
#include "platform/foundation/DeviceInfo.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Window.h"
#include "platform/ui/gestures/TouchDriver.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/rendering/UITestHarness.h"
#include "platform/ui/screens/PrintController.h"
#include "shell/progress/POProgressHUD.h"
#include "shell/progress/PORoundProgressView.h"
#include "tests/support/LoopbackSessionFixture.h"
#include "widgets/foundation/Display.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace morvix {
namespace {

namespace fs = std::filesystem;
using platform::PrintController;
using platform::Value;
using testing::RecordedRequest;
using testing::ResponseWriter;

// A small document of each kind the dialog knows, by its signature.
const std::string kPDF = std::string("%PDF-1.4\n") + std::string(4000, 'x') + "\n%%EOF\n";
const std::string kPNG = std::string("\x89PNG\r\n\x1a\n", 8) + std::string(24, '\0');

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string base64(const std::string& bytes)
{
    static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    unsigned buffer = 0;
    int bits = 0;
    for (unsigned char c : bytes) {
        buffer = (buffer << 8) | c;
        bits += 8;
        while (bits >= 6) {
            bits -= 6;
            text += digits[(buffer >> bits) & 63];
        }
    }
    if (bits > 0)
        text += digits[(buffer << (6 - bits)) & 63];
    while (text.size() % 4)
        text += '=';
    return text;
}

class PrinterSessionTest : public testing::LoopbackSessionFixture {
protected:
    void SetUp() override
    {
        server.handle("/docs/held.pdf", [this](const RecordedRequest&, ResponseWriter& writer) {
            bool withLength = lengthKnown;
            testing::TestHeaders headers { { "Content-Type", "application/pdf" } };
            if (withLength)
                headers.emplace_back("Content-Length", std::to_string(kPDF.size()));
            writer.writeHead(200, headers);
            writer.write(kPDF.substr(0, kPDF.size() / 2));
            writer.waitFor(*gate);
            writer.write(kPDF.substr(kPDF.size() / 2));
        });
        server.route("/docs/missing.pdf", testing::TestResponse().withStatus(404).withBody("gone"));
        LoopbackSessionFixture::SetUp();
        PrintController::shared().resetForTesting();
        auto device = platform::DeviceInfo::current();
        device.setIdiom(platform::DeviceIdiom::Phone);
        platform::DeviceInfo::setCurrent(device);
        folder = fs::temp_directory_path() / ("printer-test-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        auto bundle = platform::BundleInfo::defaults();
        bundle.documentsPath = (folder / "Documents").string();
        bundle.resourcePath = (folder / "Resources").string();
        platform::BundleInfo::setMain(bundle);
        ASSERT_NO_FATAL_FAILURE(createClient());
        client->load();
        ASSERT_TRUE(waitUntil([&] { return printer() != nullptr; }));
    }
    void TearDown() override
    {
        gate->open();
        LoopbackSessionFixture::TearDown();
        PrintController::shared().resetForTesting();
        platform::DeviceInfo::resetForTesting();
        platform::BundleInfo::resetForTesting();
        fs::remove_all(folder);
    }

    std::shared_ptr<Printer> printer(const std::string& id = "morvix.Printer") const
    {
        return std::dynamic_pointer_cast<Printer>(client->objectRegistry()->objectById(id));
    }
    void print(Value properties, const std::string& id = "morvix.Printer")
    {
        client->commandOperator()->processOperation(Value::array({ "call", id, "print", std::move(properties) }));
    }
    // Every "notify" the client sent so far, in order.
    std::vector<Value> notifications() const
    {
        std::vector<Value> found;
        for (const auto& request : server.requests()) {
            if (request.method != "POST")
                continue;
            Value body = Value::parse(request.body);
            for (const auto& operation : body["operations"]) {
                if (operation[0] == "notify")
                    found.push_back(operation);
            }
        }
        return found;
    }
    // Waits until `count` notifications went out and returns the last.
    Value waitForNotification(std::size_t count)
    {
        harness.advance(0.3);
        bool arrived = platform::MainLoop::main().runUntil([&] { return notifications().size() >= count; }, std::chrono::seconds(10));
        EXPECT_TRUE(arrived) << "notification " << count << " never came";
        return arrived ? notifications().at(count - 1) : Value();
    }

    std::shared_ptr<testing::TestGate> gate = std::make_shared<testing::TestGate>();
    std::atomic<bool> lengthKnown = true;
    fs::path folder;
};

TEST_F(PrinterSessionTest, DownloadFillsARingThenPrintsWithTheJobsSettingsAndReportsTheAnswer)
{
    auto& dialog = PrintController::shared();
    print({ { "url", "/docs/held.pdf" }, { "printer", "p1" }, { "jobName", "Invoice" }, { "outputType", "photo" },
        { "quality", "low" }, { "duplex", true }, { "showPageRange", true } });
    auto hud = printer()->progressHUD();
    ASSERT_TRUE(hud);
    EXPECT_EQ(hud->superview(), client->rootView());
    ASSERT_TRUE(waitUntil([&] { return hud->progress() > 0; }));
    auto ring = std::dynamic_pointer_cast<PORoundProgressView>(hud->indicator());
    ASSERT_TRUE(ring);
    EXPECT_TRUE(ring->isAnnular());
    EXPECT_FLOAT_EQ(ring->progress(), 0.5f) << "held after the first half";
    if (const char* dir = std::getenv("MORVIX_RENDER_DIR")) {
        harness.advance(0.3);
        EXPECT_TRUE(platform::Renderer::renderPNG(*harness.window(), std::string(dir) + "/printer-download-ring.png", { .scale = 2 }));
    }
    struct stat info {};
    ASSERT_EQ(::stat(printer()->jobFilePath().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(fs::path(printer()->jobFilePath()).filename(), "morvix.Printer.job");

    // Another printer object prints meanwhile, with settings of its own: they stay its own.
    client->commandOperator()->processOperation(Value::array({ "create", "q", "morvix.Printer", Value::object() }));
    print({ { "data", base64(kPDF) }, { "jobName", "Other" }, { "outputType", "grayscale" } }, "q");
    ASSERT_TRUE(dialog.isPresented());
    EXPECT_EQ(dialog.printInfo()->jobName, "Other");
    dialog.complete();
    EXPECT_EQ(waitForNotification(1).dump(), R"(["notify","q","Success",{"jobName":"Other"}])");

    gate->open();
    ASSERT_TRUE(waitUntil([&] { return dialog.isPresented(); }));
    EXPECT_FALSE(fs::exists(printer()->jobFilePath())) << "the job file goes once its document is read";
    ASSERT_EQ(dialog.jobs().size(), 2u);
    const auto& job = dialog.jobs()[1];
    EXPECT_EQ(job.bytes, kPDF);
    EXPECT_EQ(job.printInfo, (platform::PrintInfo { platform::PrintOutputType::General, "p1", "Invoice", platform::PrintDuplex::LongEdge }));
    EXPECT_TRUE(job.showsPageRange);
    EXPECT_FALSE(job.showsNumberOfCopies);
    EXPECT_EQ(job.presentation, PrintController::Presentation::Modal);
    harness.advance(0.3);
    EXPECT_EQ(hud->superview(), nullptr) << "the overlay goes once the download is done";

    dialog.complete();
    EXPECT_EQ(waitForNotification(2).dump(), R"(["notify","morvix.Printer","Success",{"printer":"p1","jobName":"Invoice"}])");

    // Photo output without a low quality; answers without printer or job name carry neither.
    print({ { "data", base64(kPDF) }, { "outputType", "photo" } });
    ASSERT_TRUE(dialog.isPresented());
    EXPECT_EQ(dialog.jobs().back().printInfo.outputType, platform::PrintOutputType::Photo);
    dialog.cancel();
    EXPECT_EQ(waitForNotification(3).dump(), R"(["notify","morvix.Printer","Cancel",{}])");

    print({ { "data", base64(kPNG) }, { "outputType", "grayscale" }, { "jobName", "Photo" } });
    EXPECT_EQ(dialog.jobs().back().printInfo.outputType, platform::PrintOutputType::Grayscale);
    EXPECT_EQ(dialog.jobs().back().bytes, kPNG);
    dialog.fail(platform::Error("printing", 3, "Out of paper"));
    EXPECT_EQ(waitForNotification(4).dump(), R"(["notify","morvix.Printer","Error",{"message":"Out of paper","jobName":"Photo"}])");
    EXPECT_FALSE(dialog.isPresented());
}

TEST_F(PrinterSessionTest, UnknownLengthSpinsAndAFailedDownloadReportsAnError)
{
    lengthKnown = false;
    print({ { "url", "/docs/held.pdf" } });
    auto hud = printer()->progressHUD();
    ASSERT_TRUE(hud);
    ASSERT_TRUE(waitUntil([&] { return hud->mode() == POProgressHUDMode::Indeterminate; }));
    EXPECT_GE(hud->progress(), 0) << "never negative";
    gate->open();
    ASSERT_TRUE(waitUntil([&] { return PrintController::shared().isPresented(); }));
    PrintController::shared().complete();
    waitForNotification(1);

    print({ { "url", "/docs/missing.pdf" }, { "jobName", "Gone" } });
    hud = printer()->progressHUD();
    ASSERT_TRUE(hud);
    Value error = waitForNotification(2);
    EXPECT_EQ(error[2], "Error");
    EXPECT_TRUE(error[3]["message"].is_string());
    EXPECT_EQ(error[3]["jobName"], "Gone");
    harness.advance(0.3);
    EXPECT_EQ(hud->superview(), nullptr);
    EXPECT_EQ(PrintController::shared().jobs().size(), 1u);
}

TEST_F(PrinterSessionTest, FilesAndDataPrintAtOnceAndWhatCannotBePrintedIsAnError)
{
    auto& dialog = PrintController::shared();
    // A peer may name only files of the application's own, here its resource folder.
    fs::path resources = folder / "Resources";
    fs::create_directories(resources);
    std::ofstream(resources / "picture.png", std::ios::binary) << kPNG;
    std::size_t requests = server.requests().size();
    print({ { "url", "file://" + (resources / "picture.png").string() } });
    EXPECT_EQ(printer()->progressHUD(), nullptr);
    ASSERT_TRUE(dialog.isPresented());
    EXPECT_EQ(dialog.jobs().back().bytes, kPNG);
    // The session's own messages may reach the server meanwhile; no GET for the file does.
    auto all = server.requests();
    for (std::size_t i = requests; i < all.size(); ++i)
        EXPECT_NE(all[i].method, "GET") << "nothing downloaded: " << all[i].target;
    // The shown dialog is drawn as a card over the window.
    auto picture = platform::Renderer::render(*harness.window());
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->pixelAt(30, 284), (platform::Pixel { 250, 250, 250, 255 }));
    dialog.complete();
    waitForNotification(1);

    const std::string cannot = R"({"message":"Can not print the provided url"})";
    for (const auto& bad : { Value { { "data", base64("hello") } }, Value { { "data", "not *base64*" } }, Value { { "data", 42 } },
             Value { { "url", "file://" + (resources / "absent.pdf").string() } } }) {
        SCOPED_TRACE(bad.dump());
        std::size_t count = notifications().size();
        print(bad);
        EXPECT_EQ(waitForNotification(count + 1)[3].dump(), cannot);
        EXPECT_FALSE(dialog.isPresented());
    }
    EXPECT_EQ(dialog.jobs().size(), 1u);

    // On a pad the dialog hangs from the last touch.
    auto device = platform::DeviceInfo::current();
    device.setIdiom(platform::DeviceIdiom::Pad);
    platform::DeviceInfo::setCurrent(device);
    harness.touches().tap({ 100, 200 });
    auto display = std::dynamic_pointer_cast<Display>(client->rootObject());
    ASSERT_TRUE(display);
    print({ { "data", base64(kPDF) } });
    ASSERT_TRUE(dialog.isPresented());
    const auto& job = dialog.jobs().back();
    EXPECT_EQ(job.presentation, PrintController::Presentation::FromRect);
    EXPECT_EQ(job.rect, platform::Rect(display->cursorLocation().x, display->cursorLocation().y, 1, 1));
    EXPECT_EQ(job.rect.origin, (platform::Point { 100, 200 }));
    EXPECT_EQ(job.view.lock(), client->rootView());
}

TEST_F(PrinterSessionTest, OverlappingJobsUnsafeIdsAndTheOutputFolder)
{
    auto& dialog = PrintController::shared();
    // A second print ends the first as "Cancel", with the first's own names, and leaves the
    // second shown.
    print({ { "data", base64(kPDF) }, { "printer", "pA" }, { "jobName", "A" } });
    print({ { "data", base64(kPDF) }, { "jobName", "B" } });
    EXPECT_EQ(waitForNotification(1).dump(), R"(["notify","morvix.Printer","Cancel",{"printer":"pA","jobName":"A"}])");
    ASSERT_TRUE(dialog.isPresented());
    EXPECT_EQ(dialog.printInfo()->jobName, "B");
    dialog.complete();
    EXPECT_EQ(waitForNotification(2).dump(), R"(["notify","morvix.Printer","Success",{"jobName":"B"}])");
    EXPECT_EQ(notifications().size(), 2u) << "the first job is reported once";

    // A print while a download runs drops that download: its overlay goes, and its document
    // never reaches the dialog.
    print({ { "url", "/docs/held.pdf" } });
    auto hud = printer()->progressHUD();
    ASSERT_TRUE(waitUntil([&] { return hud->progress() > 0; }));
    print({ { "data", base64(kPNG) } });
    harness.advance(0.3);
    EXPECT_EQ(hud->superview(), nullptr);
    gate->open();
    harness.runUntilIdle();
    EXPECT_EQ(dialog.jobs().back().bytes, kPNG);
    dialog.cancel();
    waitForNotification(3);

    // An id that names a path keeps its job file inside the documents folder, while the
    // download runs.
    gate = std::make_shared<testing::TestGate>();
    client->commandOperator()->processOperation(Value::array({ "create", "../x", "morvix.Printer", Value::object() }));
    auto unsafe = printer("../x");
    ASSERT_TRUE(unsafe);
    print({ { "url", "/docs/held.pdf" } }, "../x");
    fs::path documents = folder / "Documents";
    EXPECT_EQ(fs::path(unsafe->jobFilePath()), documents / "%2E.%2Fx.job");
    ASSERT_TRUE(waitUntil([&] { return unsafe->progressHUD() && unsafe->progressHUD()->progress() > 0; }));
    EXPECT_TRUE(fs::exists(documents / "%2E.%2Fx.job"));
    EXPECT_FALSE(fs::exists(folder / "x.job"));
    gate->open();
    ASSERT_TRUE(waitUntil([&] { return dialog.isPresented(); }));
    unsafe->destroy();
    EXPECT_FALSE(fs::exists(documents / "%2E.%2Fx.job"));
    EXPECT_FALSE(dialog.isPresented());

    // With an output folder the document is written there and the job succeeds by itself.
    dialog.setOutputFolder((folder / "jobs").string());
    std::size_t count = notifications().size();
    print({ { "data", base64(kPDF) }, { "jobName", "../Invoice" } });
    EXPECT_EQ(waitForNotification(count + 1).dump(), R"(["notify","morvix.Printer","Success",{"jobName":"../Invoice"}])");
    std::string written = std::to_string(dialog.jobs().size()) + "-.._Invoice.pdf";
    EXPECT_EQ(readFile(folder / "jobs" / written), kPDF);
}

} // namespace
} // namespace morvix
