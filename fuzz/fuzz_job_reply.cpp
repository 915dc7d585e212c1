#include <string>

#include "fuzz/ReplyChecks.h"

// The job reply of the request conversation. The input's head (before a NUL)
// gives the host's DEF label (its digits before the first ";", as the host's
// definition yields only digits) and the point count agreed before (the rest,
// as the settings hold it); without a head they are "7" and "512".
void FuzzJobReply(std::string_view data) {
    const TFuzzInput input = SplitAtNul(data);
    std::string hostDef = "7";
    std::string pointCount = "512";
    if (input.HasHead) {
        const std::size_t semicolon = input.Head.find(';');
        hostDef.clear();
        for (char c : input.Head.substr(0, semicolon))
            if (c >= '0' && c <= '9') hostDef += c;
        pointCount = semicolon == std::string_view::npos
                         ? std::string()
                         : std::string(input.Head.substr(semicolon + 1));
    }
    try {
        const TJobData job = ReadJobReply(input.Body, hostDef, pointCount);
        CheckJobData(job);
    } catch (const EJobNotFound& e) {
        FUZZ_CHECK(*e.what() != '\0');
    } catch (const EReplyNotUnderstood& e) {
        FUZZ_CHECK(std::string_view(e.what()) == "Did not understand response from host");
    } catch (const std::runtime_error& e) {
        FUZZ_CHECK(IsJobDataError(e));
    }
}

TREVALON_FUZZ_ENTRY(FuzzJobReply)
