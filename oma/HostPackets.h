#pragma once

// The bodies of the packets the program sends in its host conversations, and
// the number forms it writes and reads on the line. Pure functions: the
// conversation steps gather their inputs from the window and call these.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Records of a job that the host gets back only as the program's own: a
// store never echoes them from the job's record list, and a host keeps its
// own when a shape is stored.
inline constexpr const char* NeverEchoedLabels[] = {"ANS", "STATUS", "DO",    "INI", "REQ",
                                                    "TRCFMT", "ZFMT", "JOB", "VEN", "MODEL",
                                                    "VER", "REM", "CRC"};
// Whether label (compared without regard to ASCII case) is one of them.
bool IsNeverEchoed(std::string_view label);

// How the program names itself to the host.
inline constexpr char VendorName[] = "VORMIK";
inline constexpr char ModelName[] = "TORVIKAL";

// Empty when Tray can go into a packet; otherwise the text shown to the
// operator: a control character would break the record framing and a double
// quote the job record ("Tray number may not contain control characters",
// "Tray number may not contain a double quote (\")"), and a semicolon would
// split the record's value ("Tray number may not contain a semicolon (;)").
std::string TrayNumberFault(std::string_view tray);

// "JOB=" + '"' + tray + '"' + CR; the tray goes in as typed.
std::string JobRecord(std::string_view tray);

// The twelve TRCFMT records offered to the host: 512 before 500 before 400
// points, and within each count format 4 before 3, 2 and 1.
std::string TraceFormatOffers();

// REQ=INI, OMAV=3.02.
std::string InitRequestBody();
// The edger's device description: the answer to the host's initialization
// in the request conversation.
std::string EdgerDescriptionBody();
// The tracer's device description of the store conversation (no definition block).
std::string TracerDescriptionBody();
// The job request: REQ=<def>, the job record, TRCFMT=<format>;<count>;E;R;F.
std::string JobRequestBody(std::string_view hostDef, std::string_view tray, std::string_view format,
                           std::string_view count);
// The store request of tracer mode "No Init": REQ=TRC, the job record, the offers.
std::string NoInitStoreBody(std::string_view tray);
// The store request after negotiation: REQ=<def> and the job record.
std::string StoreRequestBody(std::string_view hostDef, std::string_view tray);

class TNameValueList;
// The store upload: ANS=<def> (TRC without one), the job record, VEN,
// MODEL, TRCFMT=<format>;<count>;E;R;F, the trace records of Radii in Format,
// then a Name=Value record for each line of Records, with the value of the
// first line of that name.
std::string StoreUploadBody(std::string_view hostDef, std::string_view tray, std::string_view format,
                            std::string_view count, std::string_view radii,
                            const TNameValueList& records);

// The trace records of an upload: format "1" as R records of up to 15
// radii; "2", "3" and "4" as one R record of the format's escaped payload.
// Any other format throws std::invalid_argument.
std::string TraceRecords(std::string_view format, std::string_view radii);

// Value with two decimals and "." as the separator, whatever the locale:
// OMA hosts read ".".
std::string FormatWireNumber(double value);
// The value of a box record: the same number twice, "52.30;52.30".
std::string FormatBoxValue(double value);
// A decimal number as a host writes it ("." as the separator, nothing else
// around it); nothing when the text is not one finite number.
std::optional<double> ReadWireNumber(std::string_view text);

// Text without the bytes of value 32 or less at either end (so also without
// FS, RS and GS).
std::string TrimControl(std::string_view text);

// A decimal point count as the host wrote it; counts too large for the
// program read as a value above any table (saturated), and text that is not
// digits reads as 0.
std::int64_t PointCountValue(std::string_view digits);
