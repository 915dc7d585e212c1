#pragma once

// Where session transcripts are kept, and how many.

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr std::size_t KeptTranscripts = 50;
inline constexpr std::uintmax_t KeptTranscriptBytes = 20u * 1024 * 1024;

// A file name for a transcript that started at Start (the header's UTC
// time): "20261207T210000123Z-request-1234.jsonl"; characters of the tray
// that no file name may hold become "_".
std::string TranscriptFileName(std::string_view start, std::string_view kind, std::string_view tray);

// Writes Text to the file FileName (UTF-8), replacing it. Returns false with
// the reason in Error.
bool WriteTranscriptFile(const std::string& fileName, std::string_view text, std::string& error);

// Writes Text as a new transcript file in Folder (made when missing), then
// removes the oldest transcripts until at most KeptTranscripts files and
// KeptTranscriptBytes bytes remain. Returns false with the reason in Error.
bool StoreTranscript(const std::string& folder, const std::string& fileName, std::string_view text,
                     std::string& error);
