#pragma once

// The protocol core of the lab host simulator: fed the bytes a client (an
// edger or tracer, such as Trevalon) sends, it answers each complete packet
// as a laboratory host would, and stores uploaded shapes in the job files.
// No I/O of its own besides the job store, and no clock: pacing and gaps are
// told to the caller, who owns the line.

#include <array>
#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "tools/JobFile.h"

// Which answer a reply is, by the client's request it answers.
enum class TReplyKind {
    rkInit,     // REQ=INI (also the host search's probe)
    rkEdger,    // the edger's device description: DEF and TRCFMT
    rkTracer,   // the tracer's device description: STATUS, DEF, TRCFMT
    rkJob,      // REQ=<def> with a job record: the job data
    rkGrant,    // REQ=<tracer def> or REQ=TRC: permission to store
    rkVerdict,  // ANS=<tracer def> or ANS=TRC with the trace: the verdict
    rkError,    // a packet the host cannot read
};
inline constexpr std::size_t ReplyKindCount = 7;

const char* ReplyKindName(TReplyKind kind);
// "init", "edger", ... as above; nothing for an unknown name.
std::optional<TReplyKind> ReplyKindFromName(std::string_view name);

// STATUS codes the simulator answers with.
enum THostStatus : int {
    stOk = 0,
    stNotFound = 1,
    stBadRequest = 2,
    stLocked = 3,
    stBadTrace = 4,
    stHostFault = 6,
    stNoFormat = 7,
};

// A NAK from the client gets the host's last packet again at most this many
// times (as many as Trevalon asks for); then the host gives the exchange up.
inline constexpr unsigned MaxHostResends = 2;

// Packet (FS ... GS) with the lowest bit of one byte flipped: the first from
// the middle of its trace record (R=) on, or without one from the middle of
// its records (the bytes between FS and RS), that neither is nor becomes a
// framing byte (ACK, NAK, ESC, FS, GS, RS, CR, LF) and does not follow an
// ESC; else the first such byte. So the framing holds and only the checksum
// tells.
std::string FlipOneBit(std::string packet);

// A packet longer than this without its GS is dropped and answered with an error.
inline constexpr std::size_t MaxClientPacket = 256 * 1024;

// Bytes of the noise fault: line rubbish a host's modem might emit, never a framing byte.
inline constexpr char NoiseText[] = "\xFF\x00~noise!\r\n\x15";
inline constexpr std::string_view NoiseBytes(NoiseText, sizeof NoiseText - 1);

struct TStatusFault {
    int Code = 0;
    std::string Text;
};

// Faults for tests and demonstrations, each for a set of reply kinds.
struct THostFaults {
    using TKinds = std::array<bool, ReplyKindCount>;
    TKinds Silent{};  // no ACK, no reply
    TKinds DropGS{};  // the packet lacks its final GS
    TKinds Noise{};   // NoiseBytes between the ACK and the FS
    TKinds Split{};   // the packet in SplitPieces pieces, SplitGapMs apart
    TKinds HangUp{};  // the first half of the packet, then the line is hung up
    unsigned SplitPieces = 3;
    unsigned SplitGapMs = 200;
    std::array<std::optional<TStatusFault>, ReplyKindCount> Status{};  // replaces the answer
    bool RefuseStore = false;  // every upload gets STATUS=3 "Job locked"
    // One bit of a packet the host sends is flipped (see FlipOneBit), so its
    // checksum no longer matches: the CorruptPacket-th packet of a session
    // (counted from 1, resends not counted; 0 for none), sent intact again
    // on NAK, or every packet and every resend.
    std::size_t CorruptPacket = 0;
    bool CorruptAlways = false;
};

struct THostConfig {
    std::string EdgerDef = "7";    // digits: the edger reads the first run of digits after DEF
    std::string TracerDef = "8";   // letters and digits, alone on the DEF line
    int PreferFormat = 0;          // 1 to 4; 0 for no preference
    int PreferPoints = 0;          // 0 for no preference
    bool Insist = false;           // answer the preference even when the client did not offer it
    std::set<unsigned> HearBauds;  // answer only while the line runs at one of these (empty: any)
    // A tracer's upload for a tray without a job creates the job; true keeps
    // the refusal, for labs whose jobs come from elsewhere.
    bool KnownJobsOnly = false;
    THostFaults Faults;
};

// Trays being stored, shared by the sessions one host serves at the same
// time: a session granted a tray holds it until its verdict, its next
// initialization or its end, and another session's upload for that tray
// meanwhile is refused as locked. So no upload overwrites one in progress,
// and one job file is never written by two sessions at once.
class TTrayLocks {
public:
    // True when Tray is free or already Owner's; it is then Owner's.
    bool Hold(const std::string& tray, const void* owner);
    void Release(const std::string& tray, const void* owner);
    void ReleaseAll(const void* owner);

private:
    std::mutex FLock;
    std::map<std::string, const void*> FHeld;
};

struct THostChunk {
    unsigned GapMs = 0;  // silence before these bytes
    std::string Bytes;
};

// The host's answer to one client packet.
struct THostReply {
    TReplyKind Kind = TReplyKind::rkError;
    std::string Request;  // the client's packet, FS to GS
    std::vector<THostChunk> Chunks;
    bool HangUp = false;  // after the chunks the line is to be hung up
    std::string Note;     // one line for the log: what was asked and what the host did

    // All chunks, joined.
    std::string Bytes() const;
};

class THostSession {
public:
    // Locks: the trays held by sessions served beside this one (none: this
    // session is the only one storing).
    THostSession(THostConfig config, TJobStore& jobs, TTrayLocks* locks = nullptr);
    ~THostSession();
    THostSession(const THostSession&) = delete;
    THostSession& operator=(const THostSession&) = delete;

    // Takes bytes from the line; returns an answer for every packet their GS completed.
    // lineBaud is the line's speed as the client set it (0 when unknown).
    std::vector<THostReply> Feed(std::string_view bytes, unsigned lineBaud = 0);

    // Complete client packets taken so far, answered or not.
    std::size_t Exchanges() const { return FExchanges; }

    // For the session's log: the device as it named itself ("DEV VEN MODEL",
    // empty before it did), the last tray asked for, and what came of it.
    const std::string& Device() const { return FDevice; }
    const std::string& LastTray() const { return FLastTray; }
    std::size_t JobsServed() const { return FJobsServed; }
    std::size_t Stored() const { return FStored; }
    std::size_t Refused() const { return FRefused; }

private:
    struct TRequest;
    struct TAnswer;
    // A TRCFMT record a client offered (or the host granted): its value as written.
    struct TOffer {
        int Format = 0;
        int Count = 0;
        std::string Record;
    };

    THostReply Answer(const std::string& packet, unsigned lineBaud);
    TAnswer Dispatch(const TRequest& request);
    TAnswer AnswerDeviceDescription(const TRequest& request, TReplyKind kind,
                                    const std::string& header);
    TAnswer AnswerJob(const TRequest& request, const std::string& header);
    TAnswer AnswerGrant(const TRequest& request, const std::string& label,
                        const std::string& header);
    TAnswer AnswerUpload(const TRequest& request, const std::string& header);
    // The offer the preference picks; nothing when no offer is usable.
    std::optional<TOffer> Choose(const std::vector<TOffer>& offers) const;
    THostReply Frame(TReplyKind kind, const std::string& body, std::string note);
    // The answer to a NAK: the last packet again, or nothing when there is none.
    std::optional<THostReply> Resend();

    // Records of the reply as the client's last packet ended its own: CR, or CR LF.
    std::string Framed(const std::string& body) const;
    void NoteDevice(const TRequest& request);
    void ReleaseTray();

    THostConfig FConfig;
    TJobStore& FJobs;
    TTrayLocks* FLocks;
    std::string FHeldTray;  // the tray this session holds in FLocks
    bool FCrLf = false;     // the client ends its records with CR LF (or LF)
    std::string FDevice;
    std::string FLastTray;
    std::size_t FJobsServed = 0;
    std::size_t FStored = 0;
    std::size_t FRefused = 0;
    std::string FPacket;  // a packet being received, from its FS
    bool FInPacket = false;
    bool FOverflow = false;
    std::size_t FExchanges = 0;
    // The packet last sent, intact, until the client ACKs it or sends its next
    // packet; a NAK meanwhile gets it again.
    std::string FLastPacket;
    TReplyKind FLastKind = TReplyKind::rkError;
    unsigned FResends = 0;
    std::size_t FPacketsSent = 0;
    // The format and count granted to the tracer for its next upload.
    std::optional<TOffer> FGrant;
};
