#pragma once

// A fuzz body takes any bytes. It returns when the input was handled cleanly
// (a result, or one of the exceptions the operation documents) and aborts
// when an invariant breaks; any other exception escapes and counts as a
// finding. The same body runs under libFuzzer and in the corpus replay test.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

[[noreturn]] inline void FuzzFailed(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: fuzz invariant broken: %s\n", file, line, condition);
    std::abort();
}

#define FUZZ_CHECK(condition) \
    ((condition) ? static_cast<void>(0) : FuzzFailed(#condition, __FILE__, __LINE__))

// An input that carries, besides the bytes read, the values a reader takes
// with them: Head is the text before the first NUL, Body the rest. Without a
// NUL the whole input is the body and the reader takes its usual values, so
// a stored reply is a seed as it is.
struct TFuzzInput {
    bool HasHead = false;
    std::string_view Head;
    std::string_view Body;
};

inline TFuzzInput SplitAtNul(std::string_view data) {
    const std::size_t nul = data.find('\0');
    if (nul == std::string_view::npos) return {false, {}, data};
    return {true, data.substr(0, nul), data.substr(nul + 1)};
}

#ifdef TREVALON_LIBFUZZER
#define TREVALON_FUZZ_ENTRY(body)                                                       \
    extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) { \
        body(std::string_view(reinterpret_cast<const char*>(data), size));              \
        return 0;                                                                       \
    }
#else
#define TREVALON_FUZZ_ENTRY(body)
#endif

void FuzzConversation(std::string_view data);
void FuzzTranscript(std::string_view data);
void FuzzDecodeFmt2(std::string_view data);
void FuzzDecodeFmt3(std::string_view data);
void FuzzDecodeFmt4(std::string_view data);
void FuzzOmaUnescape(std::string_view data);
void FuzzExtractLine(std::string_view data);
void FuzzRenderControlChars(std::string_view data);
void FuzzJobFile(std::string_view data);
void FuzzRequestInit(std::string_view data);
void FuzzStoreReplies(std::string_view data);
void FuzzJobReply(std::string_view data);
void FuzzJobData(std::string_view data);
void FuzzSettingsText(std::string_view data);
void FuzzTelnet(std::string_view data);
