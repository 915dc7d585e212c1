#include <string>

#include "fuzz/FuzzTarget.h"
#include "oma/JobFile.h"
#include "oma/OmaTrace.h"

// Any bytes as a job file: refused with the reader's own exceptions, or a
// trace of the stated count that, written out again (from the record list,
// and from the file's own lines), reads back the same; unedited, the same bytes.
void FuzzJobFile(std::string_view data) {
    TJobFileData file;
    try {
        file = ParseJobFile(data);
    } catch (const EOmaJobFile&) {
        return;
    } catch (const EOmaFormat&) {
        return;
    }
    FUZZ_CHECK(file.Format >= 1 && file.Format <= 4);
    FUZZ_CHECK(!file.Radii.empty() && file.Radii.size() % 4 == 0);
    FUZZ_CHECK(file.Radii.size() / 4 <= static_cast<std::size_t>(MaxTracePoints));
    FUZZ_CHECK(KeepDigits(file.Radii) == file.Radii);
    for (const std::string& record : file.Records) {
        const std::size_t equals = record.find('=');
        FUZZ_CHECK(equals != std::string::npos && equals > 0);
        FUZZ_CHECK(record.substr(0, equals) != "R" && record.substr(0, equals) != "Z");
    }
    // Saved unedited at its own format, the file comes back byte for byte.
    TJobFileShape unedited{file.Radii, 1, 2, 3, file.DBL};
    unedited.Edited = false;
    unedited.JobDBL = file.DBL;
    FUZZ_CHECK(RewriteJobFile(file.File, unedited, file.Format) == data);
    for (int format : {1, 4}) {
        const std::string text = BuildJobFile(
            file.Records, TJobFileShape{file.Radii, 1, 2, 3, file.DBL}, format, file.Eye);
        const TJobFileData again = ParseJobFile(text);
        FUZZ_CHECK(again.Radii == file.Radii);
        FUZZ_CHECK(again.Format == format);
        FUZZ_CHECK(file.Eye.empty() || again.Eye == file.Eye);

        const TJobFileShape shape{file.Radii, 1, 2, 3, file.DBL};
        const std::string rewritten = RewriteJobFile(file.File, shape, format);
        const TJobFileData reread = ParseJobFile(rewritten);
        FUZZ_CHECK(reread.Radii == file.Radii);
        FUZZ_CHECK(reread.Format == format);
        FUZZ_CHECK(reread.Eye == file.Eye && reread.Type == file.Type);
        FUZZ_CHECK(reread.File.TraceCount() == file.File.TraceCount());
        // What was written once is written again the same.
        FUZZ_CHECK(RewriteJobFile(reread.File, shape, format) == rewritten);
    }
}

TREVALON_FUZZ_ENTRY(FuzzJobFile)
