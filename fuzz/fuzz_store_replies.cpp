#include <optional>
#include <string>

#include "fuzz/ReplyChecks.h"

namespace {

constexpr std::string_view PositiveMissing = "Did not get positive response from host";

// Whether a store step's reader refused the reply as it documents.
bool IsRefusal(const std::runtime_error& e) {
    return e.what() == PositiveMissing || dynamic_cast<const EReplyUnreadable*>(&e) != nullptr;
}

}  // namespace

// The replies of the store conversation: the answer to its initialization
// request, the host's definition, the permission to store (the input's body;
// its head, before a NUL, is the reply naming the format, else the body
// itself as in tracer mode "No Init") and the verdict, which small replies
// also read with its pattern.
void FuzzStoreReplies(std::string_view data) {
    const TFuzzInput input = SplitAtNul(data);
    const std::string_view reply = input.Body;
    const std::string_view formatReply = input.HasHead ? input.Head : input.Body;

    bool positive = true;
    try {
        ReadStoreInitAnswer(reply);
    } catch (const std::runtime_error& e) {
        FUZZ_CHECK(IsRefusal(e));
        positive = false;
    }

    try {
        const std::optional<std::string> def = ReadStoreDefinition(reply);
        if (def) {
            FUZZ_CHECK(!def->empty() && reply.find(*def) != std::string_view::npos);
            for (char c : *def)
                FUZZ_CHECK((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                           (c >= 'a' && c <= 'z'));
        }
    } catch (const std::runtime_error& e) {
        FUZZ_CHECK(IsRefusal(e));
    }

    try {
        const std::optional<TTraceFormat> format = ReadStoreGrant(reply, formatReply);
        FUZZ_CHECK(positive);
        if (format) {
            FUZZ_CHECK(format->Format.size() == 1 && format->Format[0] >= '1' &&
                       format->Format[0] <= '4');
            FUZZ_CHECK(AllDigits(format->PointCount));
        }
    } catch (const std::runtime_error& e) {
        FUZZ_CHECK(IsRefusal(e));
        FUZZ_CHECK(!positive || dynamic_cast<const EReplyUnreadable*>(&e) != nullptr);
    }

    std::string verdict = "ok";
    try {
        ReadStoreVerdict(reply);
    } catch (const std::runtime_error& e) {
        verdict = e.what();
        FUZZ_CHECK(!verdict.empty());
    }
    // The pattern costs the square of a hostile reply: PCRE2's own limits
    // stop it on a few KiB, and then there is nothing to compare with.
    if (reply.size() > 2048) return;
    TReplyMatcher matcher(TReplyMatcher::mbUnbounded);
    bool matched = false;
    try {
        matched = matcher.Match(R"re(STATUS\s*=\s*(\d+)\s*;?\s*"?([^"]*)"?\s*[\n\r])re", reply);
    } catch (const EReplyUnreadable&) {
        return;
    }
    std::string expected = "ok";
    if (!matched || matcher.Group(1) != "0") {
        // The operator's text ends at a NUL byte.
        expected = matcher.Group(2).c_str();
        if (expected.empty()) expected = "Did not store the shape to the host";
    }
    FUZZ_CHECK(verdict == expected);
}

TREVALON_FUZZ_ENTRY(FuzzStoreReplies)
