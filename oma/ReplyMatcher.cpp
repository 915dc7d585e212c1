#include "oma/ReplyMatcher.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <unordered_map>

namespace {

struct TCodeDeleter {
    void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
struct TMatchDataDeleter {
    void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};
using TCodePtr = std::unique_ptr<pcre2_code, TCodeDeleter>;
using TMatchDataPtr = std::unique_ptr<pcre2_match_data, TMatchDataDeleter>;
struct TMatchContextDeleter {
    void operator()(pcre2_match_context* context) const { pcre2_match_context_free(context); }
};
using TMatchContextPtr = std::unique_ptr<pcre2_match_context, TMatchContextDeleter>;

// Bounds of one search, far above what any reply pattern needs on an ordinary
// reply. PCRE2 counts the match limit afresh at every start position.
constexpr std::uint32_t MatchLimit = 200000;
constexpr std::uint32_t DepthLimit = 10000;
constexpr std::uint32_t HeapLimitKiB = 8192;

pcre2_match_context* LimitedContext() {
    thread_local const TMatchContextPtr Context = [] {
        TMatchContextPtr made(pcre2_match_context_create(nullptr));
        if (!made) throw std::bad_alloc();
        pcre2_set_match_limit(made.get(), MatchLimit);
        pcre2_set_depth_limit(made.get(), DepthLimit);
        pcre2_set_heap_limit(made.get(), HeapLimitKiB);
        return made;
    }();
    return Context.get();
}

constexpr std::string_view SpaceSet = "\\t\\n\\f\\r ";

// PCRE2 counts vertical tab as white space; the host patterns were written for
// an engine that does not. "\s" and "\S" are therefore spelled out as classes.
std::string TranslateSpaces(std::string_view pattern) {
    std::string out;
    out.reserve(pattern.size() + 16);
    bool inClass = false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '\\' && i + 1 < pattern.size()) {
            const char e = pattern[i + 1];
            ++i;
            if (e == 'Q') {
                // Quoted text up to \E is literal: copy it untouched.
                const std::size_t end = pattern.find("\\E", i + 1);
                const std::size_t stop = end == std::string_view::npos ? pattern.size() : end + 2;
                out.append(pattern.substr(i - 1, stop - (i - 1)));
                i = stop - 1;
            } else if (e == 's') {
                if (inClass) {
                    out += SpaceSet;
                } else {
                    out += '[';
                    out += SpaceSet;
                    out += ']';
                }
            } else if (e == 'S') {
                if (inClass)
                    throw std::logic_error("Reply pattern \"" + std::string(pattern) +
                                           "\": \\S inside a character class is not supported");
                out += "[^";
                out += SpaceSet;
                out += ']';
            } else {
                out += c;
                out += e;
            }
            continue;
        }
        if (!inClass && c == '[') {
            inClass = true;
            out += c;
            // A ']' right after '[' or '[^' is a member, not the end.
            if (i + 1 < pattern.size() && pattern[i + 1] == '^') out += pattern[++i];
            if (i + 1 < pattern.size() && pattern[i + 1] == ']') out += pattern[++i];
            continue;
        }
        if (inClass && c == '[' && i + 1 < pattern.size() && pattern[i + 1] == ':') {
            // A POSIX class such as [:alpha:] closes with ":]", not with its ']'.
            const std::size_t end = pattern.find(":]", i + 2);
            const std::size_t stop = end == std::string_view::npos ? pattern.size() : end + 2;
            out.append(pattern.substr(i, stop - i));
            i = stop - 1;
            continue;
        }
        if (inClass && c == ']') inClass = false;
        out += c;
    }
    return out;
}

TCodePtr Compile(std::string_view pattern) {
    const std::string translated = TranslateSpaces(pattern);
    int error = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(translated.data()),
                                     translated.size(), PCRE2_DOTALL, &error, &offset, nullptr);
    if (!code) {
        PCRE2_UCHAR message[256];
        pcre2_get_error_message(error, message, sizeof message);
        throw std::logic_error("Reply pattern \"" + std::string(pattern) + "\" does not compile: " +
                               reinterpret_cast<const char*>(message) + " at offset " +
                               std::to_string(offset) + " of \"" + translated + "\"");
    }
    return TCodePtr(code);
}

// Patterns are a few fixed texts, so compiled code is kept per thread for the
// life of the program.
const pcre2_code* CachedCode(std::string_view pattern) {
    thread_local std::unordered_map<std::string, TCodePtr> cache;
    auto it = cache.find(std::string(pattern));
    if (it == cache.end()) it = cache.emplace(std::string(pattern), Compile(pattern)).first;
    return it->second.get();
}

}  // namespace

bool TReplyMatcher::Match(std::string_view pattern, std::string_view subject) {
    FSubject.clear();
    FOffsets.clear();
    const pcre2_code* code = CachedCode(pattern);
    TMatchDataPtr data(pcre2_match_data_create_from_pattern(code, nullptr));
    if (!data) throw std::bad_alloc();
    const int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(subject.data()), subject.size(),
                               0, 0, data.get(), FBounded ? LimitedContext() : nullptr);
    if (rc == PCRE2_ERROR_NOMATCH) return false;
    if (rc == PCRE2_ERROR_MATCHLIMIT || rc == PCRE2_ERROR_DEPTHLIMIT || rc == PCRE2_ERROR_HEAPLIMIT)
        throw EReplyUnreadable();
    if (rc < 0) {
        PCRE2_UCHAR message[256];
        pcre2_get_error_message(rc, message, sizeof message);
        throw std::runtime_error(std::string("Reply matching failed: ") +
                                 reinterpret_cast<const char*>(message));
    }
    const std::size_t pairs = pcre2_get_ovector_count(data.get());
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data.get());
    FOffsets.assign(ovector, ovector + 2 * pairs);
    FSubject.assign(subject);
    return true;
}

std::string TReplyMatcher::Group(int n) const {
    const auto pair = static_cast<std::size_t>(n) * 2;
    if (n < 0 || pair + 1 >= FOffsets.size()) return {};
    const std::size_t start = FOffsets[pair];
    const std::size_t end = FOffsets[pair + 1];
    if (start == PCRE2_UNSET || end < start) return {};
    return FSubject.substr(start, end - start);
}
