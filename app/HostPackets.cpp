#include "app/HostPackets.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <stdexcept>

#include "oma/OmaTrace.h"

std::string JobRecord(std::string_view Tray) {
    return "JOB=\"" + std::string(Tray) + "\"\r";
}

std::string TraceFormatOffers() {
    std::string Offers;
    for (const char* Count : {"512", "500", "400"})
        for (const char* Format : {"4", "3", "2", "1"})
            Offers += std::string("TRCFMT=") + Format + ";" + Count + ";E;B\r";
    return Offers;
}

std::string InitRequestBody() {
    return "REQ=INI\rOMAV=3.02\r";
}

namespace {

std::string DeviceHeader(const char* Device) {
    return std::string("ANS=INI\rDEV=") + Device + "\rVEN=" + VendorName + "\rMODEL=" + ModelName +
           "\r";
}

}  // namespace

std::string EdgerDescriptionBody() {
    return DeviceHeader("EDG") + TraceFormatOffers() +
           "DEF=\"INITREQ\"\rD=DBL;FTYP;ETYP\rD=HBOX;VBOX;CIRC\rENDDEF=\"INITREQ\"\r";
}

std::string TracerDescriptionBody() {
    return DeviceHeader("TRC") + TraceFormatOffers();
}

std::string JobRequestBody(std::string_view HostDef, std::string_view Tray, std::string_view Format,
                           std::string_view Count) {
    return "REQ=" + std::string(HostDef) + "\r" + JobRecord(Tray) +
           "TRCFMT=" + std::string(Format) + ";" + std::string(Count) + ";E;R;F\r";
}

std::string NoInitStoreBody(std::string_view Tray) {
    return "REQ=TRC\r" + JobRecord(Tray) + TraceFormatOffers();
}

std::string StoreRequestBody(std::string_view HostDef, std::string_view Tray) {
    return "REQ=" + std::string(HostDef) + "\r" + JobRecord(Tray);
}

std::string TraceRecords(std::string_view Format, std::string_view Radii) {
    if (Format == "1") return EncodeTraceFmt1(Radii);
    if (Format == "2") return "R=" + EncodeTraceFmt2(Radii) + "\r";
    if (Format == "3") return "R=" + EncodeTraceFmt3(Radii) + "\r";
    if (Format == "4") return "R=" + EncodeTraceFmt4(Radii) + "\r";
    throw std::invalid_argument("Trace type " + std::string(Format) + " is unsupported");
}

std::string FormatWireNumber(double Value) {
    // to_chars never consults the locale, unlike printf.
    std::array<char, 64> Buffer{};
    const auto [End, Error] = std::to_chars(Buffer.data(), Buffer.data() + Buffer.size(), Value,
                                            std::chars_format::fixed, 2);
    if (Error != std::errc()) return "0.00";
    return std::string(Buffer.data(), End);
}

std::string FormatBoxValue(double Value) {
    const std::string Number = FormatWireNumber(Value);
    return Number + ";" + Number;
}

std::optional<double> ReadWireNumber(std::string_view Text) {
    if (Text.empty()) return std::nullopt;
    double Value = 0;
    const char* End = Text.data() + Text.size();
    const auto [Stop, Error] = std::from_chars(Text.data(), End, Value);
    if (Error != std::errc() || Stop != End || !std::isfinite(Value)) return std::nullopt;
    return Value;
}

std::string TrimControl(std::string_view Text) {
    while (!Text.empty() && static_cast<unsigned char>(Text.front()) <= ' ') Text.remove_prefix(1);
    while (!Text.empty() && static_cast<unsigned char>(Text.back()) <= ' ') Text.remove_suffix(1);
    return std::string(Text);
}

std::int64_t PointCountValue(std::string_view Digits) {
    constexpr std::int64_t Saturated = std::int64_t{1} << 40;
    std::int64_t Value = 0;
    for (char C : Digits) {
        if (C < '0' || C > '9') return 0;
        Value = std::min(Saturated, Value * 10 + (C - '0'));
    }
    return Value;
}
