#include "oma/HostPackets.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <stdexcept>

#include "base/AsciiText.h"
#include "base/NameValueList.h"
#include "oma/OmaTrace.h"

std::string TrayNumberFault(std::string_view tray) {
    for (char c : tray) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) return "Tray number may not contain control characters";
    }
    if (tray.find('"') != std::string_view::npos)
        return "Tray number may not contain a double quote (\")";
    // A semicolon separates a record's values: the host would read another job.
    if (tray.find(';') != std::string_view::npos)
        return "Tray number may not contain a semicolon (;)";
    return {};
}

std::string JobRecord(std::string_view tray) {
    return "JOB=\"" + std::string(tray) + "\"\r";
}

std::string TraceFormatOffers() {
    std::string offers;
    for (const char* count : {"512", "500", "400"})
        for (const char* format : {"4", "3", "2", "1"})
            offers += std::string("TRCFMT=") + format + ";" + count + ";E;B\r";
    return offers;
}

std::string InitRequestBody() {
    return "REQ=INI\rOMAV=3.02\r";
}

namespace {

std::string DeviceHeader(const char* device) {
    return std::string("ANS=INI\rDEV=") + device + "\rVEN=" + VendorName + "\rMODEL=" + ModelName +
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

std::string JobRequestBody(std::string_view hostDef, std::string_view tray, std::string_view format,
                           std::string_view count) {
    return "REQ=" + std::string(hostDef) + "\r" + JobRecord(tray) +
           "TRCFMT=" + std::string(format) + ";" + std::string(count) + ";E;R;F\r";
}

std::string NoInitStoreBody(std::string_view tray) {
    return "REQ=TRC\r" + JobRecord(tray) + TraceFormatOffers();
}

std::string StoreRequestBody(std::string_view hostDef, std::string_view tray) {
    return "REQ=" + std::string(hostDef) + "\r" + JobRecord(tray);
}

std::string TraceRecords(std::string_view format, std::string_view radii) {
    if (format == "1") return EncodeTraceFmt1(radii);
    if (format == "2" || format == "3" || format == "4")
        return "R=" + EncodeBinaryTrace(format[0] - '0', radii) + "\r";
    throw std::invalid_argument("Trace type " + std::string(format) + " is unsupported");
}

std::string FormatWireNumber(double value) {
    // to_chars never consults the locale, unlike printf.
    std::array<char, 64> buffer{};
    const auto [End, Error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                            std::chars_format::fixed, 2);
    if (Error != std::errc()) return "0.00";
    return std::string(buffer.data(), End);
}

std::string FormatBoxValue(double value) {
    const std::string number = FormatWireNumber(value);
    return number + ";" + number;
}

std::optional<double> ReadWireNumber(std::string_view text) {
    if (text.empty()) return std::nullopt;
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [Stop, Error] = std::from_chars(text.data(), end, value);
    if (Error != std::errc() || Stop != end || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::string TrimControl(std::string_view text) {
    return std::string(TrimBlanks(text));
}

bool IsNeverEchoed(std::string_view label) {
    for (const char* own : NeverEchoedLabels)
        if (SameTextAscii(label, own)) return true;
    return false;
}

std::int64_t PointCountValue(std::string_view digits) {
    constexpr std::int64_t Saturated = std::int64_t{1} << 40;
    std::int64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return 0;
        value = std::min(Saturated, value * 10 + (c - '0'));
    }
    return value;
}

std::string StoreUploadBody(std::string_view hostDef, std::string_view tray, std::string_view format,
                            std::string_view count, std::string_view radii,
                            const TNameValueList& records) {
    std::string body = "ANS=";
    body += hostDef.empty() ? std::string_view("TRC") : hostDef;
    body += "\r";
    body += JobRecord(tray);
    body += std::string("VEN=") + VendorName + "\r";
    body += std::string("MODEL=") + ModelName + "\r";
    body.append("TRCFMT=").append(format).append(";").append(count).append(";E;R;F\r");
    body += TraceRecords(format, radii);
    for (const std::string& line : records.Strings()) {
        const std::string name = line.substr(0, line.find('='));
        body += name + "=" + records.Value(name) + "\r";
    }
    return body;
}
