#pragma once

// Host replies are read with Perl-style patterns (PCRE2, 8-bit, no UTF):
// '.' matches every byte including CR and LF, quantifiers are greedy unless
// followed by '?', letters match case-sensitively, and the search finds the
// leftmost match anywhere in the subject. "\s" is exactly space, tab, LF, CR
// and form feed (not vertical tab), "\S" its complement.
//
// Use one matcher per reply. A pattern that does not compile is a programming
// error: Match throws std::logic_error with PCRE2's message and offset.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class TReplyMatcher {
public:
    TReplyMatcher() = default;

    // Searches subject for pattern; on success the groups of this match can
    // be read until the next call.
    bool Match(std::string_view pattern, std::string_view subject);

    // Text of group n of the last successful match (0 is the whole match);
    // empty for a group that took no part, a group the pattern does not
    // have, or when the last search failed.
    std::string Group(int n) const;

private:
    std::string FSubject;
    std::vector<std::size_t> FOffsets;  // start, end pairs; unset groups hold npos
};
