#include "platform/ui/screens/PrintController.h"

#include "platform/foundation/MainLoop.h"
#include "platform/foundation/SystemLog.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <string>

namespace morvix::platform {

namespace {

bool startsWith(std::string_view data, std::string_view signature)
{
    return data.substr(0, signature.size()) == signature;
}

// The job name as a part of a file name: a name chosen by a peer can hold any character, so
// everything but letters, digits, blanks, "-", "_" and "." becomes "_", and the number in front
// keeps a name of dots from naming a folder.
std::string fileNamePart(const std::optional<std::string>& jobName)
{
    if (!jobName || jobName->empty())
        return "job";
    std::string part;
    for (unsigned char c : *jobName) {
        bool safe = std::isalnum(c) || c == ' ' || c == '-' || c == '_' || c == '.';
        part += safe ? static_cast<char>(c) : '_';
    }
    return part;
}

} // namespace

PrintController& PrintController::shared()
{
    static PrintController controller;
    return controller;
}

bool PrintController::canPrintData(std::string_view data)
{
    return !extensionForData(data).empty();
}

std::string PrintController::extensionForData(std::string_view data)
{
    if (startsWith(data, "%PDF-"))
        return "pdf";
    if (startsWith(data, "\x89PNG\r\n\x1a\n"))
        return "png";
    if (startsWith(data, "\xff\xd8\xff"))
        return "jpg";
    return {};
}

bool PrintController::present(Animated animated, Completion completion)
{
    Job job;
    job.presentation = Presentation::Modal;
    job.animated = animated == Animated::Yes;
    return presentJob(std::move(job), std::move(completion));
}

bool PrintController::presentFromRect(const Rect& rect, const std::shared_ptr<View>& view, Animated animated, Completion completion)
{
    Job job;
    job.presentation = Presentation::FromRect;
    job.rect = rect;
    job.view = view;
    job.animated = animated == Animated::Yes;
    return presentJob(std::move(job), std::move(completion));
}

bool PrintController::presentJob(Job job, Completion completion)
{
    assertOnMainThread();
    if (!m_printingItem)
        return false;
    dismiss(Animated::No);
    job.printInfo = m_printInfo.value_or(PrintInfo::printInfo());
    job.showsPageRange = m_showsPageRange;
    job.showsNumberOfCopies = m_showsNumberOfCopies;
    job.bytes = *m_printingItem;
    m_presented = true;
    m_completion = std::move(completion);
    std::uint64_t number = ++m_shownJob;
    m_jobs.push_back(std::move(job));
    if (m_outputFolder.empty())
        return true;
    m_jobs.back().outputPath = writeJob(m_jobs.back());
    // The application answers as a person would: once the dialog is up.
    MainLoop::main().post([this, number] {
        if (m_presented && m_shownJob == number)
            complete();
    });
    return true;
}

std::string PrintController::writeJob(const Job& job) const
{
    std::string extension = extensionForData(job.bytes);
    std::filesystem::path path = std::filesystem::path(m_outputFolder)
        / (std::to_string(m_jobs.size()) + "-" + fileNamePart(job.printInfo.jobName) + "." + (extension.empty() ? "bin" : extension));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(job.bytes.data(), static_cast<std::streamsize>(job.bytes.size()));
    if (!out) {
        systemLog("print job could not be written to \"" + path.string() + "\"");
        return {};
    }
    return path.string();
}

void PrintController::dismiss(Animated animated)
{
    (void)animated;
    finish(false, std::nullopt);
}

void PrintController::finish(bool completed, std::optional<Error> error)
{
    assertOnMainThread();
    if (!m_presented)
        return;
    m_presented = false;
    // The completion may present the next job at once.
    Completion completion = std::move(m_completion);
    m_completion = nullptr;
    if (completion)
        completion(*this, completed, error);
}

void PrintController::setOutputFolder(std::string path)
{
    m_outputFolder = std::move(path);
    if (m_outputFolder.empty())
        return;
    std::error_code error;
    std::filesystem::create_directories(m_outputFolder, error);
}

void PrintController::resetForTesting()
{
    m_showsPageRange = false;
    m_showsNumberOfCopies = false;
    m_printInfo.reset();
    m_printingItem.reset();
    m_jobs.clear();
    m_presented = false;
    m_completion = nullptr;
    m_outputFolder.clear();
}

} // namespace morvix::platform
