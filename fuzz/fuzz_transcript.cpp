#include <string>

#include "conversation/Transcript.h"
#include "fuzz/FuzzTarget.h"

// The session transcript reader: any text is read or refused with a message
// that names its line; what it reads, written again, reads the same.
void FuzzTranscript(std::string_view data) {
    TTranscript transcript;
    try {
        transcript = ReadTranscript(data);
    } catch (const ETranscript& e) {
        FUZZ_CHECK(*e.what() != '\0');
        return;
    }
    TTranscriptRecorder recorder(transcript.Header, nullptr);
    for (const TTranscriptEntry& entry : transcript.Entries) {
        if (entry.Kind == TTranscriptEntry::teToHost)
            recorder.ToHost(entry.Data);
        else if (entry.Kind == TTranscriptEntry::teFromHost)
            recorder.FromHost(entry.Data);
    }
    const TTranscript again = ReadTranscript(recorder.Text());
    FUZZ_CHECK(again.Header.Kind == transcript.Header.Kind);
    FUZZ_CHECK(again.Header.Tray == transcript.Header.Tray);
    std::size_t chunks = 0;
    for (const TTranscriptEntry& entry : transcript.Entries)
        if (entry.Kind != TTranscriptEntry::teEvent && !entry.Data.empty()) {
            FUZZ_CHECK(chunks < again.Entries.size());
            FUZZ_CHECK(again.Entries[chunks].Data == entry.Data);
            ++chunks;
        }
    FUZZ_CHECK(chunks == again.Entries.size());
}

TREVALON_FUZZ_ENTRY(FuzzTranscript)
