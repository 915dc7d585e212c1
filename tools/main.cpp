// trevalon-host: an OMA laboratory host on a pseudo-terminal, a serial device
// or TCP (on Windows TCP only).

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/HostLine.h"
#include "tools/HostOptions.h"
#include "tools/HostReplay.h"
#include "tools/HostServer.h"
#include "tools/HostSession.h"
#include "tools/JobFile.h"

namespace {

// Copies the sample jobs into the job folder, keeping any job already there:
// a shape stored in one run is what the next run serves.
void CopyMissingSamples(const std::filesystem::path& samples, const std::filesystem::path& jobs) {
    namespace fs = std::filesystem;
    if (!fs::is_directory(samples)) throw ELine("The sample folder " + samples.string() + " does not exist");
    fs::create_directories(jobs);
    for (const fs::directory_entry& entry : fs::directory_iterator(samples)) {
        if (entry.path().extension() != ".oma" || !entry.is_regular_file()) continue;
        // Checked here rather than with skip_existing, which the Windows C++
        // library refuses with "File exists".
        const fs::path target = jobs / entry.path().filename();
        if (fs::exists(target)) continue;
        fs::copy_file(entry.path(), target);
    }
}

}  // namespace

int main(int argc, char** argv) {
    THostOptions options;
    try {
        options = ParseHostOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const EUsage& e) {
        std::fprintf(stderr, "trevalon-host: %s\n\n%s", e.what(), HostUsage);
        return 2;
    }
    if (options.Help) {
        std::fputs(HostUsage, stdout);
        return 0;
    }
    if (options.Version) {
        std::printf("trevalon-host %s\n", TREVALON_VERSION);
        return 0;
    }
    if (!options.ReplayPath.empty()) {
        try {
            std::ifstream in(options.ReplayPath, std::ios::binary);
            if (!in) throw ELine("Cannot read the transcript " + options.ReplayPath);
            const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            TTranscript transcript;
            try {
                transcript = ReadTranscript(text);
            } catch (const ETranscript& e) {
                throw ELine(options.ReplayPath + ": " + e.what());
            }
            THostLog log(options.LogPath);
            THostReplay replay(transcript, options.Fast);
            const std::string what = options.ReplayPath + " (" + transcript.Header.Kind +
                                     ", tray " + transcript.Header.Tray + ")";
            if (options.Listen) {
                // One transcript is one conversation: the first client plays it.
                const auto listener =
                    THostListener::Open(options.ListenAddress, options.ListenPort);
                log.Note("listening on " + listener->Name() + ", replaying " + what);
                const auto client = listener->Accept(log);
                if (!client) return 1;
                log.Note("connection from " + client->Name());
                return RunReplay(options, *client, replay, log);
            }
            auto line = options.LinkPath.empty()
                            ? THostLine::OpenDevice(options.DevicePath, options.DeviceBaud)
                            : THostLine::CreatePty(options.LinkPath);
            log.Note("replaying " + what + " on " + line->Name());
            return RunReplay(options, *line, replay, log);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "trevalon-host: %s\n", e.what());
            return 1;
        }
    }
    try {
        if (!options.SamplesDir.empty()) CopyMissingSamples(options.SamplesDir, options.JobsDir);
        std::error_code ec;
        if (!std::filesystem::is_directory(options.JobsDir, ec))
            throw ELine("The job folder " + options.JobsDir.string() + " does not exist");
        THostLog log(options.LogPath);
        log.SetBrief(options.BriefLog);
        TJobFolder jobs(options.JobsDir);
        if (ServesMany(options)) {
            std::vector<std::unique_ptr<THostLine>> lines;
            std::vector<std::string> links = options.MoreLinks;
            if (!options.LinkPath.empty()) links.insert(links.begin(), options.LinkPath);
            std::vector<std::string> devices = options.MoreDevices;
            if (!options.DevicePath.empty()) devices.insert(devices.begin(), options.DevicePath);
            for (const std::string& link : links) lines.push_back(THostLine::CreatePty(link));
            for (const std::string& device : devices)
                lines.push_back(THostLine::OpenDevice(device, options.DeviceBaud));
            std::unique_ptr<THostListener> listener;
            if (options.Listen) {
                listener = THostListener::Open(options.ListenAddress, options.ListenPort);
                log.Note("listening on " + listener->Name() + ", jobs in " +
                         options.JobsDir.string());
            }
            return ServeLab(options, jobs, log, std::move(lines), listener.get());
        }
        THostSession session(options.Host, jobs);
        auto line = options.LinkPath.empty()
                        ? THostLine::OpenDevice(options.DevicePath, options.DeviceBaud)
                        : THostLine::CreatePty(options.LinkPath);
        log.Note("serving " + line->Name() +
                 (options.LinkPath.empty() ? "" : " as " + options.LinkPath) + ", jobs in " +
                 options.JobsDir.string());
        return RunHost(options, *line, session, log);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "trevalon-host: %s\n", e.what());
        return 1;
    }
}
