#pragma once

// A lab device written from the OMA data communication standard's own
// description, not from Trevalon's client: a message is FS, the records,
// RS, a CRC record of the CRC-16 (polynomial 0x1021, start 0, most
// significant bit first) over the records and the RS, and GS; the receiver
// answers each message with ACK. Records end in CR or CR LF as the device
// chooses. It talks to the host over a loopback TCP socket or a descriptor
// (a pseudo-terminal) and checks every reply's framing and checksum itself.

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <arpa/inet.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace wireclient {

constexpr char Ack = 0x06;
constexpr char Fs = 0x1C;
constexpr char Gs = 0x1D;
constexpr char Rs = 0x1E;

inline unsigned Crc16(const std::string& bytes) {
    unsigned crc = 0;
    for (unsigned char byte : bytes) {
        crc ^= static_cast<unsigned>(byte) << 8;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? ((crc << 1) ^ 0x1021) & 0xFFFF : (crc << 1) & 0xFFFF;
    }
    return crc;
}

// A message with Ending after each record and after the CRC record.
inline std::string Message(const std::vector<std::string>& records, const std::string& ending) {
    std::string covered;
    for (const std::string& record : records) covered += record + ending;
    covered += Rs;
    return Fs + covered + "CRC=" + std::to_string(Crc16(covered)) + ending + Gs;
}

// A reply as read: its records by label (first occurrence), all records in
// order, and whether its framing held.
struct TReply {
    bool Framed = false;   // ACK, FS ... GS with a matching CRC record
    bool AllCrLf = false;  // every record, the CRC record too, ended by CR LF
    bool AllCr = false;    // every record ended by CR alone
    std::vector<std::pair<std::string, std::string>> Records;
    std::string Raw;

    std::string Value(const std::string& label) const {
        for (const auto& [name, value] : Records)
            if (name == label) return value;
        return {};
    }
    bool Has(const std::string& label) const {
        for (const auto& record : Records)
            if (record.first == label) return true;
        return false;
    }
    std::string Status() const {
        const std::string status = Value("STATUS");
        return status.substr(0, status.find(';'));
    }
};

inline TReply Read(const std::string& raw) {
    TReply reply;
    reply.Raw = raw;
    const auto fs = raw.find(Fs);
    const auto rs = raw.rfind(Rs);
    const auto gs = raw.rfind(Gs);
    if (raw.empty() || raw[0] != Ack || fs != 1 || rs == std::string::npos ||
        gs != raw.size() - 1 || rs < fs)
        return reply;
    const std::string covered = raw.substr(fs + 1, rs - fs);
    std::string crcRecord = raw.substr(rs + 1, gs - rs - 1);
    const std::string body = covered.substr(0, covered.size() - 1);
    // Records split at CR or CR LF; the kinds of ending are counted.
    std::size_t crlf = 0;
    std::size_t cr = 0;
    std::size_t start = 0;
    const auto take = [&](const std::string& text, std::vector<std::string>& into) {
        start = 0;
        while (start < text.size()) {
            const auto end = text.find('\r', start);
            if (end == std::string::npos) {
                into.push_back(text.substr(start));
                return false;  // a record without its ending
            }
            into.push_back(text.substr(start, end - start));
            if (end + 1 < text.size() && text[end + 1] == '\n') {
                ++crlf;
                start = end + 2;
            } else {
                ++cr;
                start = end + 1;
            }
        }
        return true;
    };
    std::vector<std::string> lines;
    std::vector<std::string> crcLines;
    if (!take(body, lines) || !take(crcRecord, crcLines) || crcLines.size() != 1) return reply;
    if (crcLines[0] != "CRC=" + std::to_string(Crc16(covered))) return reply;
    for (const std::string& line : lines) {
        const auto eq = line.find('=');
        if (eq == std::string::npos) return reply;
        reply.Records.emplace_back(line.substr(0, eq), line.substr(eq + 1));
    }
    reply.Framed = true;
    reply.AllCrLf = cr == 0 && crlf > 0;
    reply.AllCr = crlf == 0 && cr > 0;
    return reply;
}

// A connection to the host: a TCP socket on 127.0.0.1 or a given descriptor.
class TConnection {
public:
    explicit TConnection(int fd = -1) : FFd(fd) {}
    ~TConnection() { Close(); }
    TConnection(const TConnection&) = delete;
    TConnection& operator=(const TConnection&) = delete;

    // Connects to 127.0.0.1:Port (from Source when given); false when it cannot.
    bool Connect(std::uint16_t port, const char* source = nullptr) {
        Close();
        FFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (FFd < 0) return false;
        if (source) {
            sockaddr_in local{};
            local.sin_family = AF_INET;
            inet_pton(AF_INET, source, &local.sin_addr);
            if (bind(FFd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) return false;
        }
        sockaddr_in host{};
        host.sin_family = AF_INET;
        host.sin_port = htons(port);
        inet_pton(AF_INET, "127.0.0.1", &host.sin_addr);
        if (connect(FFd, reinterpret_cast<sockaddr*>(&host), sizeof host) != 0) return false;
        const int on = 1;
        setsockopt(FFd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        return true;
    }
    void Close() {
        if (FFd >= 0) close(FFd);
        FFd = -1;
    }
    // Ends the connection with a reset instead of an orderly close.
    void Reset() {
        const linger hard{1, 0};
        setsockopt(FFd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        Close();
    }
    int Fd() const { return FFd; }

    bool Send(const std::string& bytes) {
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const auto n = ::send(FFd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                pollfd pfd{FFd, POLLOUT, 0};
                poll(&pfd, 1, 100);
                continue;
            }
            // write() for descriptors that are not sockets (a pseudo-terminal).
            if (n < 0 && errno == ENOTSOCK) {
                const auto w = ::write(FFd, bytes.data() + sent, bytes.size() - sent);
                if (w < 0 && errno == EAGAIN) continue;
                if (w <= 0) return false;
                sent += static_cast<std::size_t>(w);
                continue;
            }
            if (n <= 0) return false;
            sent += static_cast<std::size_t>(n);
        }
        return true;
    }

    // Bytes up to and including GS, within Limit; empty with Closed set when
    // the host ended the connection first.
    std::string ReadReply(std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (true) {
            const auto gs = FPending.find(Gs);
            if (gs != std::string::npos) {
                std::string reply = FPending.substr(0, gs + 1);
                FPending.erase(0, gs + 1);
                return reply;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return {};
            pollfd pfd{FFd, POLLIN, 0};
            if (poll(&pfd, 1, static_cast<int>(left.count())) <= 0) continue;
            char buffer[4096];
            const auto n = ::read(FFd, buffer, sizeof buffer);
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            if (n <= 0) {
                Closed = true;
                return {};
            }
            FPending.append(buffer, static_cast<std::size_t>(n));
        }
    }

    // True when the host closes the connection within Limit (bytes before it are dropped).
    bool ClosedWithin(std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd pfd{FFd, POLLIN, 0};
            if (poll(&pfd, 1, 50) <= 0) continue;
            char buffer[4096];
            const auto n = ::read(FFd, buffer, sizeof buffer);
            if (n == 0 || (n < 0 && errno == ECONNRESET)) return true;
        }
        return false;
    }

    // Sends Records as a message and reads the host's reply, then acknowledges it.
    TReply Exchange(const std::vector<std::string>& records) {
        if (!Send(Message(records, Ending))) return {};
        TReply reply = Read(ReadReply());
        if (reply.Framed) Send(std::string(1, Ack));
        return reply;
    }

    std::string Ending = "\r";
    bool Closed = false;

private:
    int FFd = -1;
    std::string FPending;
};

// Format 1 trace records: "R=" and up to ten radii separated by ";".
inline std::vector<std::string> Format1(const std::vector<int>& radii) {
    std::vector<std::string> records;
    for (std::size_t i = 0; i < radii.size(); ++i) {
        if (i % 10 == 0)
            records.emplace_back("R=");
        else
            records.back() += ';';
        records.back() += std::to_string(radii[i]);
    }
    return records;
}

// The radii of a reply's (or a file's) format 1 R records, in order.
inline std::vector<int> RadiiOf(const std::vector<std::pair<std::string, std::string>>& records) {
    std::vector<int> radii;
    for (const auto& [label, value] : records) {
        if (label != "R") continue;
        std::size_t start = 0;
        while (start <= value.size()) {
            const auto end = value.find(';', start);
            radii.push_back(std::stoi(value.substr(start, end - start)));
            if (end == std::string::npos) break;
            start = end + 1;
        }
    }
    return radii;
}

// A job file's records (lines "LABEL=VALUE", ended by CR LF, LF or CR).
inline std::vector<std::pair<std::string, std::string>> FileRecords(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> records;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        const auto eq = line.find('=');
        if (eq != std::string::npos) records.emplace_back(line.substr(0, eq), line.substr(eq + 1));
        start = end + 1;
    }
    return records;
}

// The first trace of a job file: the R records after its first TRCFMT, up to the next label.
inline std::vector<int> FirstFileTrace(const std::string& text) {
    const auto records = FileRecords(text);
    std::vector<std::pair<std::string, std::string>> trace;
    bool inTrace = false;
    for (const auto& record : records) {
        if (record.first == "TRCFMT") {
            if (inTrace) break;
            inTrace = true;
            continue;
        }
        if (!inTrace) continue;
        if (record.first != "R") break;
        trace.push_back(record);
    }
    return RadiiOf(trace);
}

}  // namespace wireclient
