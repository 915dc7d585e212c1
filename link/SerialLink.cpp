// The serial port as a link: TComPort does the work; this maps the link's
// entries onto its properties and transfers.
#include <algorithm>

#include "link/Link.h"

namespace {

class TSerialLink : public TLink {
public:
    explicit TSerialLink(TComPort& port) : FPort(port) {
        FPort.OnRxChar = [this](TComPort*, std::int32_t count) {
            if (OnReceive) OnReceive(count);
        };
    }
    ~TSerialLink() override { FPort.OnRxChar = nullptr; }
    TSerialLink(const TSerialLink&) = delete;
    TSerialLink& operator=(const TSerialLink&) = delete;

    void Open(const TLinkSettings& settings) override {
        FPort.SetActive(false);
        FPort.SetPort(settings.Port);
        FPort.SetBaudRate(settings.BaudRate);
        FPort.Parity().SetBits(settings.Parity);
        // Out of the byte's range the device refuses it when the port opens.
        const std::int32_t bits = settings.DataBits;
        FPort.SetDataBits(static_cast<TDataBits>(bits >= 0 && bits <= 255 ? bits : 0));
        FPort.SetStopBits(settings.StopBits);
        FPort.SetActive(true);
    }
    void Close() override { FPort.SetActive(false); }
    bool IsOpen() const override { return FPort.Active(); }
    std::int32_t Write(const std::string& bytes) override { return FPort.Write(bytes, true); }
    std::string Read(std::int32_t count) override {
        std::string bytes;
        if (count <= 0) return bytes;
        // Read leaves Data at Count bytes whatever it got; keep what it got.
        const std::int32_t got = FPort.Read(bytes, count, true);
        bytes.resize(static_cast<std::size_t>(std::max(got, 0)));
        return bytes;
    }

private:
    TComPort& FPort;
};

}  // namespace

std::unique_ptr<TLink> NewSerialLink(TComPort& port) {
    return std::make_unique<TSerialLink>(port);
}
