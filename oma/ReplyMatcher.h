#pragma once

// Host replies are read with Perl-style patterns (PCRE2, 8-bit, no UTF):
// '.' matches every byte including CR and LF, quantifiers are greedy unless
// followed by '?', letters match case-sensitively, and the search finds the
// leftmost match anywhere in the subject. "\s" is exactly space, tab, LF, CR
// and form feed (not vertical tab), "\S" its complement.
//
// Use one matcher per reply. A pattern that does not compile is a programming
// error: Match throws std::logic_error with PCRE2's message and offset.
//
// The work of one search is bounded (PCRE2 match, depth and heap limits), so
// a hostile reply cannot hold the window thread: a search that reaches a
// limit throws EReplyUnreadable.

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A reply too costly to read; what() is the operator's text.
class EReplyUnreadable : public std::runtime_error {
public:
    EReplyUnreadable() : std::runtime_error("Reply from host is too complex to read") {}
};

class TReplyMatcher {
public:
    // Unbounded is for reference readings in tests, never for a reply.
    enum TBounds { mbBounded, mbUnbounded };
    explicit TReplyMatcher(TBounds bounds = mbBounded) : FBounded(bounds == mbBounded) {}

    // Searches subject for pattern; on success the groups of this match can
    // be read until the next call.
    bool Match(std::string_view pattern, std::string_view subject);

    // Text of group n of the last successful match (0 is the whole match);
    // empty for a group that took no part, a group the pattern does not
    // have, or when the last search failed.
    std::string Group(int n) const;

private:
    bool FBounded = true;
    std::string FSubject;
    std::vector<std::size_t> FOffsets;  // start, end pairs; unset groups hold npos
};
