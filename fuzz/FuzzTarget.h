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

#ifdef TREVALON_LIBFUZZER
#define TREVALON_FUZZ_ENTRY(body)                                                       \
    extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) { \
        body(std::string_view(reinterpret_cast<const char*>(data), size));              \
        return 0;                                                                       \
    }
#else
#define TREVALON_FUZZ_ENTRY(body)
#endif

void FuzzDecodeFmt2(std::string_view data);
void FuzzDecodeFmt3(std::string_view data);
void FuzzDecodeFmt4(std::string_view data);
void FuzzOmaUnescape(std::string_view data);
void FuzzExtractLine(std::string_view data);
void FuzzRenderControlChars(std::string_view data);
void FuzzJobFile(std::string_view data);
