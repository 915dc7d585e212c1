// The link over TCP: a socket (NetSocket.h) and a reader thread that sleeps
// until bytes arrive, keeps them, and asks the owner's thread to deliver them.
// Deliveries never block the reader: one delivery at a time is posted, and it
// hands over everything that has come by the time it runs.
#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "link/Link.h"
#include "link/LinkName.h"
#include "link/NetSocket.h"
#include "link/Telnet.h"
#include "serial/ComHandOff.h"

namespace {

using namespace std::chrono_literals;

constexpr auto ConnectLimit = 5s;
constexpr auto WriteLimit = 5s;
// How long Open waits for a device server to answer the offer of COM port
// control. Some never answer; the link then runs without it.
constexpr auto PortControlLimit = 2s;
// Beyond this the reader stops taking bytes until the owner has read some, so
// a flooding host fills its own buffers rather than our memory.
constexpr std::size_t InputLimit = 4u << 20;

// What the reader thread and the owner's thread share; deliveries posted to
// the owner hold it, so it outlives the link.
struct TNetShared {
    std::mutex Mutex;
    std::condition_variable Drained;  // the owner read, or the link is closing
    std::string Input;
    bool DeliveryPosted = false;
    bool Closing = false;     // the owner closed the link: deliver nothing more
    bool HostClosed = false;  // the connection ended from the far side
    bool HostClosedTold = false;
    std::string HostClosedText;
    std::unique_ptr<TTelnetClient> Telnet;  // rfc2217:// links: the protocol's state
    std::condition_variable Answered;       // the server answered the COM port offer
    std::vector<std::string> Notes;         // for the log, delivered with the bytes
    std::vector<std::string> Warnings;      // for the operator, delivered with the bytes
    std::mutex SendMutex;  // the reader's protocol answers and the owner's writes
};

class TNetLink : public TLink {
public:
    explicit TNetLink(TComPortHooks hooks) : FHooks(std::move(hooks)) {}
    ~TNetLink() override { Close(); }
    TNetLink(const TNetLink&) = delete;
    TNetLink& operator=(const TNetLink&) = delete;

    void Open(const TLinkSettings& settings) override {
        Close();
        const TLinkName name = ParseLinkName(settings.Port);
        if (!name.Error.empty()) throw ENetLink(name.Error);
        if (name.Kind == lkSerial) throw ENetLink("Not a network address: " + settings.Port);
        FSocket = TNetSocket::Connect(name.Host, name.Port, NetAddressText(name), ConnectLimit);
        FShared = std::make_shared<TNetShared>();
        // The offer goes before the reader starts: a server may open the
        // negotiation itself, and its answer must meet the settings asked for.
        FAddress = NetAddressText(name);
        if (name.Kind == lkRfc2217) OfferTelnet(settings);
        FThread = std::thread([this, shared = FShared, socket = FSocket.get()] {
            ReadLoop(shared, *socket);
        });
        if (FShared->Telnet) AwaitPortControl();
    }

    void Close() override {
        if (!FSocket) return;
        {
            std::lock_guard lock(FShared->Mutex);
            FShared->Closing = true;
        }
        FShared->Drained.notify_all();
        FSocket->Wake();
        FThread.join();
        FSocket.reset();
        FShared.reset();
    }

    bool IsOpen() const override {
        if (!FSocket) return false;
        std::lock_guard lock(FShared->Mutex);
        return !FShared->HostClosed;
    }

    std::int32_t Write(const std::string& bytes) override {
        if (!FSocket) throw ENetLink("The network link is not open");
        {
            std::lock_guard lock(FShared->Mutex);
            if (FShared->HostClosed) throw ENetLink(FShared->HostClosedText);
        }
        if (!FShared->Telnet) {
            std::lock_guard sending(FShared->SendMutex);
            return FSocket->Send(bytes, WriteLimit);
        }
        const std::string escaped = TTelnetClient::Escape(bytes);
        std::int32_t sent = 0;
        {
            std::lock_guard sending(FShared->SendMutex);
            sent = FSocket->Send(escaped, WriteLimit);
        }
        if (static_cast<std::size_t>(sent) == escaped.size())
            return static_cast<std::int32_t>(bytes.size());
        // Short of the whole: count the data bytes that went whole.
        std::int32_t data = 0;
        for (std::size_t at = 0; at < static_cast<std::size_t>(sent); ++data)
            at += static_cast<std::uint8_t>(bytes[static_cast<std::size_t>(data)]) == 0xFF ? 2 : 1;
        return data;
    }

    std::string Read(std::int32_t count) override {
        std::string bytes;
        if (!FSocket || count <= 0) return bytes;
        {
            std::lock_guard lock(FShared->Mutex);
            const std::size_t take = std::min(FShared->Input.size(), static_cast<std::size_t>(count));
            bytes = FShared->Input.substr(0, take);
            FShared->Input.erase(0, take);
        }
        FShared->Drained.notify_all();
        return bytes;
    }

private:
    // Offers the Telnet options and COM port control with the line settings.
    void OfferTelnet(const TLinkSettings& settings) {
        TTelnetLine line;
        line.BaudRate = static_cast<std::uint32_t>(std::max(settings.BaudRate, 0));
        line.DataBits = static_cast<std::uint8_t>(
            settings.DataBits >= 5 && settings.DataBits <= 8 ? settings.DataBits : 8);
        line.Parity = settings.Parity;
        line.StopBits = settings.StopBits;
        FShared->Telnet = std::make_unique<TTelnetClient>();
        try {
            FSocket->Send(FShared->Telnet->Start(line), WriteLimit);
        } catch (const std::exception&) {
            FSocket.reset();
            FShared.reset();
            throw;
        }
    }

    // Waits a little for the server's answer to the offer, so the line
    // settings are in place before the first request; never longer.
    void AwaitPortControl() {
        std::unique_lock lock(FShared->Mutex);
        const bool answered = FShared->Answered.wait_for(lock, PortControlLimit, [this] {
            return FShared->Telnet->PortControlAnswered() || FShared->HostClosed;
        });
        if (!answered) {
            FShared->Notes.push_back(
                "The device server did not answer the offer of COM port control within " +
                std::to_string(PortControlLimit.count()) +
                " seconds: the line settings are not sent");
            // Not a word of Telnet: most likely a raw port. The link keeps
            // Telnet's framing (a slow server may still answer); replies it
            // damages fail their checksum.
            if (!FShared->Telnet->HeardTelnet())
                FShared->Warnings.push_back("The device server at " + FAddress +
                                            " does not answer as an rfc2217:// server: if it is a "
                                            "raw TCP port, use socket://" +
                                            FAddress);
            PostDelivery(FShared);
        }
    }

    void ReadLoop(const std::shared_ptr<TNetShared>& keep, TNetSocket& socket) {
        TNetShared& shared = *keep;
        while (true) {
            std::string got;
            std::string error;
            const TNetSocket::TWaitResult result = socket.Wait(got, error);
            std::unique_lock lock(shared.Mutex);
            if (shared.Closing || result == TNetSocket::wrWoken) return;
            if (result == TNetSocket::wrData) {
                if (shared.Telnet) {
                    std::string replies;
                    const std::size_t notes = shared.Notes.size();
                    const std::size_t before = shared.Input.size();
                    shared.Input += shared.Telnet->Feed(got, replies, shared.Notes);
                    if (!replies.empty()) {
                        lock.unlock();
                        try {
                            std::lock_guard sending(shared.SendMutex);
                            socket.Send(replies, WriteLimit);
                        } catch (const std::exception&) {
                            // The connection failed: the next wait says so.
                        }
                        lock.lock();
                        if (shared.Closing) return;
                    }
                    // Only now: the line settings are on their way before any request.
                    if (shared.Telnet->PortControlAnswered()) shared.Answered.notify_all();
                    if (shared.Input.size() == before && shared.Notes.size() == notes) continue;
                } else {
                    shared.Input += got;
                }
                PostDelivery(keep);
                shared.Drained.wait(lock, [&shared] {
                    return shared.Closing || shared.Input.size() < InputLimit;
                });
                continue;
            }
            shared.HostClosed = true;
            shared.Answered.notify_all();
            shared.HostClosedText = result == TNetSocket::wrClosed
                                        ? "The host closed the connection"
                                        : "The connection to the host failed: " + error;
            PostDelivery(keep);
            return;
        }
    }

    // Reader thread, with the shared mutex held.
    void PostDelivery(const std::shared_ptr<TNetShared>& keep) {
        if (keep->DeliveryPosted || !FHooks.OwnerThread) return;
        keep->DeliveryPosted = true;
        FHooks.OwnerThread->Post([this, keep] { Deliver(*keep); });
    }

    // Owner's thread. A link closed since the post (or gone: Close ran
    // first) sees Closing and does nothing.
    void Deliver(TNetShared& shared) {
        std::size_t waiting = 0;
        bool toldClosed = false;
        std::string closedText;
        std::vector<std::string> notes;
        std::vector<std::string> warnings;
        {
            std::lock_guard lock(shared.Mutex);
            if (shared.Closing) return;
            shared.DeliveryPosted = false;
            waiting = shared.Input.size();
            notes.swap(shared.Notes);
            warnings.swap(shared.Warnings);
            if (shared.HostClosed && !shared.HostClosedTold) {
                shared.HostClosedTold = toldClosed = true;
                closedText = shared.HostClosedText;
            }
        }
        try {
            if (OnLogLine)
                for (const std::string& note : notes) OnLogLine(note);
            if (OnWarning)
                for (const std::string& warning : warnings) OnWarning(warning);
            if (waiting > 0 && OnReceive)
                OnReceive(static_cast<std::int32_t>(std::min<std::size_t>(waiting, INT32_MAX)));
            // The handler may have closed the link.
            if (toldClosed && OnClosed && FShared.get() == &shared) OnClosed(closedText);
        } catch (const std::exception& e) {
            Report(e.what());
        } catch (...) {
            Report("Unknown exception");
        }
    }

    void Report(const std::string& message) {
        if (FHooks.ReportError)
            FHooks.ReportError(message);
        else
            std::fprintf(stderr, "%s\n", message.c_str());
    }

    TComPortHooks FHooks;
    std::unique_ptr<TNetSocket> FSocket;
    std::shared_ptr<TNetShared> FShared;
    std::thread FThread;
    std::string FAddress;  // HOST:PORT, for messages
};

}  // namespace

std::unique_ptr<TLink> NewNetLink(const TComPortHooks& hooks) {
    return std::make_unique<TNetLink>(hooks);
}

std::unique_ptr<TLink> NewLink(const std::string& port, const TComPortHooks& hooks,
                               TComPort& serialPort) {
    if (IsNetworkPort(port)) return NewNetLink(hooks);
    return NewSerialLink(serialPort);
}
