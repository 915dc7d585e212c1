#include "job/Job.h"

#include <cmath>

#include "oma/HostPackets.h"
#include "oma/OmaTrace.h"

double ShownValue(double value) {
    return std::round(value * 100.0) / 100.0;
}

TJobFileData TJob::Open(std::string_view text) {
    TJobFileData file = ParseJobFile(text);
    TTraceInfo received;
    received.Radii = file.Radii;
    received.DBL = file.DBL;
    MeasureTrace(received);
    Records.Clear();
    for (const std::string& record : file.Records) Records.Add(record);
    Received = received;
    Working = received;
    FFile = file;
    return file;
}

void TJob::TakeHostJob(TJobData& job) {
    Records.Clear();
    for (std::string& line : job.Records) Records.Add(std::move(line));
    Received.Radii = std::move(job.Radii);
    Received.DBL = job.DBL;
    MeasureTrace(Received);
    Working = Received;
    FFile.reset();
}

void TJob::Change(TShapeChange change, bool lockB, const std::function<double(TShapeValue)>& value,
                  std::optional<double> dbl) {
    // Built aside and taken over whole, so a failure anywhere leaves the
    // working shape as it was.
    TTraceInfo next = Working;
    next.Radii = ChangedRadii(Received.Radii, change, lockB, value);
    if (dbl) next.DBL = *dbl;
    MeasureTrace(next);
    Working = std::move(next);
}

void TJob::Rotate(int steps) {
    Working.Radii = RotatedRadii(std::move(Working.Radii), steps);
    MeasureTrace(Working);
}

void TJob::Reset() {
    Working = Received;
}

bool TJob::ShapeEdited() const {
    if (Working.Radii == Received.Radii) return false;
    if (RadiusCount(Working.Radii) != EditPointCount) return true;
    return Working.Radii != ChangedRadii(Received.Radii, scNone, false, {});
}

std::string TJob::FileText(int format, int count, const std::string& tray, double dbl) const {
    if (Working.Radii.empty()) throw EOmaJobFile("There is no shape to save");
    if (std::string fault = PointCountFault(count, "write"); !fault.empty())
        throw EOmaJobFile(fault);
    if (std::string fault = TrayNumberFault(tray); !tray.empty() && !fault.empty())
        throw EOmaJobFile(fault);
    const bool edited = ShapeEdited();
    // An outline only resampled for the editor goes back as it was received.
    const std::string& outline = edited ? Working.Radii : Received.Radii;
    TJobFileShape shape{ResampledRadii(outline, count), Working.HBox, Working.VBox, Working.Circ,
                        dbl};
    shape.Edited = edited;
    shape.JobDBL = Received.DBL;
    // The file still describes the job while neither its shape nor its records changed.
    if (FFile && FFile->Radii == Received.Radii && FFile->Records == Records.Strings()) {
        TOmaJobFile file = FFile->File;
        if (!tray.empty() && tray != FFile->Tray) file.SetRecord("JOB", "\"" + tray + "\"");
        return RewriteJobFile(std::move(file), shape, format);
    }
    std::vector<std::string> records = Records.Strings();
    if (!tray.empty()) SetJobRecord(records, "JOB", "\"" + tray + "\"");
    return BuildJobFile(records, shape, format);
}
