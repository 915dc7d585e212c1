// Writes the golden host replies of this folder:
//   make_replies <folder of OMA samples> <output folder>
// Replies of the lab host simulator (its ordinary answers and its fault
// modes) are captured from its protocol core; the examples of the protocol's
// description are framed as written. Each file holds one reply as the program
// keeps it: from the packet's FS to its GS (a hung-up reply stops short).
// Run it again only when a reply is meant to change, and review the diff.

#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>

#include "oma/HostPackets.h"
#include "oma/OMAMach.h"
#include "tools/HostSession.h"

namespace {

std::filesystem::path Out;

// The sample folder's jobs, read only: stored shapes stay in memory.
class TSampleJobs : public TJobStore {
public:
    explicit TSampleJobs(std::filesystem::path folder) : FFolder(std::move(folder)) {}
    std::optional<std::string> Load(std::string_view tray) override {
        if (auto stored = FStored.find(std::string(tray)); stored != FStored.end())
            return stored->second;
        return FFolder.Load(tray);
    }
    void Save(std::string_view tray, std::string_view text) override {
        FStored[std::string(tray)] = std::string(text);
    }

private:
    TJobFolder FFolder;
    std::map<std::string, std::string> FStored;
};

void Write(const std::string& name, const std::string& bytes) {
    std::ofstream file(Out / (name + ".reply"), std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The host's answer to one client packet, from its FS.
std::string Exchange(THostSession& host, const std::string& body) {
    const auto replies = host.Feed(BuildPacket(body));
    if (replies.size() != 1) throw std::runtime_error("no single reply to " + body);
    std::string bytes = replies.front().Bytes();
    const std::size_t fs = bytes.find(FS);
    return fs == std::string::npos ? std::string() : bytes.substr(fs);
}

const std::string Offers = TraceFormatOffers();

void Edger(TJobStore& jobs, const std::string& name, THostConfig config, int format, int count,
           const std::string& tray = "1234") {
    THostSession host(config, jobs);
    Write("init-" + name, Exchange(host, InitRequestBody()));
    Write("edger-" + name, Exchange(host, EdgerDescriptionBody()));
    Write("job-" + name,
          Exchange(host, JobRequestBody(config.EdgerDef, tray, std::to_string(format),
                                        std::to_string(count))));
}

// The store conversation for the sample's tray, uploading a circle in the
// format and count the host is made to grant.
void Tracer(TJobStore& jobs, const std::string& name, THostConfig config, bool noInit,
            int format = 1, int count = 400) {
    config.PreferFormat = format;
    config.PreferPoints = count;
    const std::string tray = "R360_3";
    THostSession host(config, jobs);
    Write("storeinit-" + name, Exchange(host, InitRequestBody()));
    std::string def = "TRC";
    if (noInit) {
        Write("grant-" + name, Exchange(host, NoInitStoreBody(tray)));
    } else {
        Write("tracer-" + name, Exchange(host, TracerDescriptionBody()));
        def = config.TracerDef;
        Write("grant-" + name, Exchange(host, StoreRequestBody(def, tray)));
    }
    std::string radii;
    for (int i = 0; i < count; ++i) radii += "2500";
    const std::string trcfmt = std::to_string(format) + ";" + std::to_string(count);
    Write("verdict-" + name,
          Exchange(host, "ANS=" + def + "\r" + JobRecord(tray) + "VEN=VORMIK\rMODEL=TORVIKAL\r" +
                             "TRCFMT=" + trcfmt + ";E;R;F\r" +
                             TraceRecords(std::to_string(format), radii) + "DBL=18.00\r"));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: make_replies <samples folder> <output folder>\n";
        return 2;
    }
    Out = argv[2];
    TSampleJobs jobs(argv[1]);
    // The sample's tray is its file name.
    const std::string tray = "R360_3";

    for (int format = 1; format <= 4; ++format) {
        THostConfig config;
        Edger(jobs, "fmt" + std::to_string(format), config, format, 360, tray);
    }
    {
        THostConfig config;
        config.EdgerDef = "12";
        config.PreferFormat = 1;
        config.PreferPoints = 400;
        Edger(jobs, "def12", config, 1, 360, "nosuchtray");
    }
    {
        THostConfig config;
        config.Faults.Status[static_cast<std::size_t>(TReplyKind::rkInit)] =
            TStatusFault{2, "Busy"};
        config.Faults.Status[static_cast<std::size_t>(TReplyKind::rkEdger)] =
            TStatusFault{6, "Host fault"};
        config.Faults.Status[static_cast<std::size_t>(TReplyKind::rkJob)] =
            TStatusFault{3, "Job locked"};
        Edger(jobs, "status-fault", config, 1, 360, tray);
    }
    {
        THostConfig config;
        config.Faults.HangUp[static_cast<std::size_t>(TReplyKind::rkJob)] = true;
        THostSession host(config, jobs);
        Exchange(host, InitRequestBody());
        Exchange(host, EdgerDescriptionBody());
        const auto replies = host.Feed(BuildPacket(JobRequestBody("7", tray, "1", "360")));
        std::string bytes = replies.at(0).Bytes();
        Write("job-hangup", bytes.substr(bytes.find(FS)));
    }

    Tracer(jobs, "ok", THostConfig{}, false);
    {
        THostConfig config;
        config.TracerDef = "ABC";
        Tracer(jobs, "abc", config, false, 3, 500);
    }
    Tracer(jobs, "noinit", THostConfig{}, true);
    {
        THostConfig config;
        config.Faults.RefuseStore = true;
        Tracer(jobs, "refused", config, false);
    }
    {
        THostConfig config;
        config.Faults.Status[static_cast<std::size_t>(TReplyKind::rkTracer)] =
            TStatusFault{5, "Checksum"};
        config.Faults.Status[static_cast<std::size_t>(TReplyKind::rkGrant)] =
            TStatusFault{7, "No format"};
        config.Faults.Status[static_cast<std::size_t>(TReplyKind::rkVerdict)] = TStatusFault{4, ""};
        Tracer(jobs, "status-fault", config, false);
    }

    // Examples of the protocol's description, as written there.
    auto frame = [](const std::string& body) { return BuildPacket(body); };
    Write("example-init-status10", frame("ANS=INI\rSTATUS=10\r"));
    Write("example-init-crc0", std::string(1, FS) + "ANS=INI\rSTATUS=1\r" + RS + "CRC=3450\r" + GS);
    Write("example-edger-quoted12", frame("DEF=\"12\"\rTRCFMT=4;512;E;B\r"));
    Write("example-edger-initreq", frame("DEF=\"INITREQ\"\rTRCFMT=4;512;E;B\r"));
    Write("example-edger-def7", frame("TRCFMT=4;512;E;B\rDEF=7\r"));
    Write("example-edger-format5", frame("DEF=7\rTRCFMT=5;512;E;B\r"));
    Write("example-edger-format0", frame("DEF=7\rTRCFMT=0;512;E;B\r"));
    Write("example-storeinit-01", frame("ANS=INI\rSTATUS=01\r"));
    Write("example-storeinit-0cr", frame("ANS=INI\rSTATUS=0\r"));
    Write("example-tracer-quoted", frame("ANS=INI\rSTATUS=0\rDEF=\"ABC\"\r"));
    Write("example-tracer-plain", frame("ANS=INI\rSTATUS=0\rDEF=ABC\r"));
    Write("example-job-nosuchtray", frame("ANS=7\rSTATUS=1;\"No such tray\"\r"));
    Write("example-job-status1", frame("ANS=7\rSTATUS=1\r"));
    Write("example-job-nostatus", frame("ANS=7\rJOB=\"1234\"\r"));
    Write("example-job-notrcfmt", frame("ANS=7\rSTATUS=0\rJOB=\"1234\"\rHBOX=1\r"));
    Write("example-job-notrcfmt-r", frame("ANS=7\rSTATUS=0\rJOB=\"1234\"\rR=2500;2500\r"));
    Write("example-job-equals",
          frame("ANS=7\rSTATUS=0\rFOO=X=1\rFOO=2\rfoo=3\rTRCFMT=1;2;E;R;F\rR=2500;2500\r"));
    Write("example-verdict-locked", frame("ANS=8\rSTATUS=3;\"Job locked\"\r"));
    Write("example-verdict-bare3", frame("ANS=8\rSTATUS=3\r"));
    Write("example-verdict-nostatus", frame("ANS=8\r"));
    Write("example-verdict-ok", frame("ANS=8\rSTATUS=0\r"));
    Write("example-search-answer", frame("ANS=INI\r"));
    Write("example-search-spaces", frame("ANS \r\n=\t INI\r"));
    Write("example-search-lower", frame("ans=ini\r"));
    Write("example-search-other", frame("ANS:=INI\r"));
    std::cout << "replies written to " << Out << "\n";
    return 0;
}
