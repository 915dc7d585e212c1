#pragma once

// TJob: a job as the operator works on it. The received shape (from the host,
// a job file or a preset), the working shape being edited, the job's records
// and the job file it was opened from, with the editor's rules and the
// writing of job files. The window and trevalon-cli both drive it, so the
// same operation gives the same figures in both and in the file.
//
// What a saved file states: an edited shape's HBOX, VBOX and CIRC are the
// working shape's values as the window shows them (measured at the editor's
// 1024 points), the same values a store sends the host. The trace is written
// at the file's point count, so it measures within a small resampling error
// of them (MaxStatedBoxError, MaxStatedCircError).

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/NameValueList.h"
#include "oma/HostReplies.h"
#include "oma/JobFile.h"
#include "shape/ShapeEdit.h"
#include "shape/TrceCalc.h"

// How far a saved trace may measure from the values its file states after an
// edit (millimetres): the error of resampling the 1024-point working shape to
// the file's count, at 100 points or more.
inline constexpr double MaxStatedBoxError = 0.05;
inline constexpr double MaxStatedCircError = 0.15;

// Value as the value edits show it: rounded to hundredths.
double ShownValue(double value);

class TJob {
public:
    TTraceInfo Received;
    TTraceInfo Working;
    TNameValueList Records;

    // Takes a job file's text: its first trace becomes the received and the
    // working shape, measured, with the file's DBL; its records the job's.
    // Throws as ParseJobFile, leaving the job as it was; returns what was read.
    TJobFileData Open(std::string_view text);

    // Takes the host's job: its trace the received and the working shape,
    // measured, with its DBL; its records the job's.
    void TakeHostJob(TJobData& job);

    // Changes the working shape as typing in a value edit does. Change names
    // the edit (scNone: the DBL edit); Value gives the value of an edit when
    // the change needs it; DBL is the DBL edit's number, when it is one. Every
    // change starts again from the received shape at 1024 points. Throws the
    // refusals ("Box B Too small" ...) or what Value throws, leaving the
    // working shape as it was.
    void Change(TShapeChange change, bool lockB, const std::function<double(TShapeValue)>& value,
                std::optional<double> dbl);
    // Turns the working shape by Steps points (positive: to the right).
    void Rotate(int steps);
    // The working shape back to the received one.
    void Reset();
    // Whether the working shape's outline differs from the received one by
    // more than the editor's resampling (a DBL change alone edits no outline).
    bool ShapeEdited() const;

    // The job file of the working shape in Format (1 to 4) at Count points,
    // with DBL; a non-empty Tray names the job. A job opened from a file goes
    // back into that file: every line as read but what changed, so an
    // unedited job at its own format and count gives back the file's bytes.
    // Throws EOmaJobFile ("There is no shape to save", a point count out of
    // range, a tray that would break the file).
    std::string FileText(int format, int count, const std::string& tray, double dbl) const;

private:
    std::optional<TJobFileData> FFile;  // the file the job was opened from, as read
};
