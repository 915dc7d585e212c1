#include <string>

#include "fuzz/ReplyChecks.h"

// Job data as a job reply or a job file holds it; the input's head (before a
// NUL) is the point count agreed before, "512" without one.
void FuzzJobData(std::string_view data) {
    const TFuzzInput input = SplitAtNul(data);
    const std::string_view pointCount = input.HasHead ? input.Head : std::string_view("512");
    try {
        const TJobData job = ReadJobData(input.Body, pointCount);
        CheckJobData(job);
        if (job.PointCount != pointCount)
            FUZZ_CHECK(input.Body.find("TRCFMT") != std::string_view::npos);
    } catch (const std::runtime_error& e) {
        FUZZ_CHECK(IsJobDataError(e));
    }
}

TREVALON_FUZZ_ENTRY(FuzzJobData)
