#include <string>

#include "fuzz/ReplyChecks.h"

// The replies of the request conversation's first steps: the host search,
// the answer to the initialization request and the host's definition. Small
// replies are also read with the reply patterns themselves, which the
// readers' scanners must agree with.
void FuzzRequestInit(std::string_view reply) {
    const bool answer = IsHostAnswer(reply);
    FUZZ_CHECK(!answer || (reply.find("ANS") != std::string_view::npos &&
                           reply.find("INI") != std::string_view::npos));

    bool initOk = true;
    try {
        ReadInitAnswer(reply);
    } catch (const std::runtime_error& e) {
        FUZZ_CHECK(std::string_view(e.what()) == "Did not receive status 0 on init");
        initOk = false;
    }

    std::string def;
    try {
        const THostDefinition definition = ReadHostDefinition(reply);
        FUZZ_CHECK(AllDigits(definition.HostDef));
        FUZZ_CHECK(reply.find(definition.HostDef) != std::string_view::npos);
        FUZZ_CHECK(definition.Trace.Format.size() == 1 && definition.Trace.Format[0] >= '1' &&
                   definition.Trace.Format[0] <= '4');
        FUZZ_CHECK(AllDigits(definition.Trace.PointCount));
        def = definition.HostDef;
    } catch (const EReplyUnreadable&) {
        // The format's pattern runs through the bounded matcher.
    } catch (const std::runtime_error& e) {
        const std::string_view text = e.what();
        FUZZ_CHECK(text == "Did not receive DEF from host (init 2)" ||
                   text == "Did not receive TRCFMT from host (init 2)");
        if (text == "Did not receive DEF from host (init 2)") def = "<none>";
    }

    if (reply.size() > 512) return;
    TReplyMatcher matcher;
    try {
        FUZZ_CHECK(initOk == matcher.Match(R"(ANS.*=.*INI.*STATUS.*=.*0\D)", reply));
    } catch (const EReplyUnreadable&) {
    }
    if (!def.empty()) {
        const bool found = matcher.Match(R"(DEF\s*=\D*(\d+)\D)", reply);
        FUZZ_CHECK(found ? matcher.Group(1) == def : def == "<none>");
    }
}

TREVALON_FUZZ_ENTRY(FuzzRequestInit)
