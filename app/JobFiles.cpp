// Job files and paper: opening an OMA job file into the window, saving the
// working shape as one, printing the shape at true size and saving it as PDF.

#include <QAction>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QPrintDialog>
#include <QPrinter>
#include <QUrl>
#include <filesystem>
#include <stdexcept>

#include "app/ErrorReport.h"
#include "drawing/ShapePrint.h"
#include "app/TrayNumber.h"
#include "app/Unit1.h"
#include "app/ValueEdit.h"
#include "oma/JobFile.h"
#include "shape/Convert.h"
#include "shape/TrceCalc.h"

namespace {

QString Tr(const char* text) {
    return QCoreApplication::translate("TForm1", text);
}

QStringList SaveJobFilters() {
    return {
        Tr(QT_TRANSLATE_NOOP("TForm1", "OMA job file, format 1, received point count (*.oma)")),
        Tr(QT_TRANSLATE_NOOP("TForm1", "OMA job file, format 1, 1024 points (*.oma)")),
        Tr(QT_TRANSLATE_NOOP("TForm1", "OMA job file, format 4, received point count (*.oma)")),
        Tr(QT_TRANSLATE_NOOP("TForm1", "OMA job file, format 4, 1024 points (*.oma)")),
    };
}

std::filesystem::path FilePath(const QString& fileName) {
    return std::filesystem::path(fileName.toStdU16String());
}

QString AskFileName(const THooks& hooks, QWidget* parent, TFileChoice& choice,
                    const QString& suggested) {
    if (hooks.ChooseFile) return hooks.ChooseFile(choice);
    QFileDialog dialog(parent);
    const bool saving = choice.Kind != fcOpenJob;
    dialog.setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setWindowTitle(
        choice.Kind == fcOpenJob   ? Tr(QT_TRANSLATE_NOOP("TForm1", "Open Job File"))
        : choice.Kind == fcSaveJob ? Tr(QT_TRANSLATE_NOOP("TForm1", "Save Job File"))
                                   : Tr(QT_TRANSLATE_NOOP("TForm1", "Save as PDF")));
    dialog.setDefaultSuffix(choice.Kind == fcSavePdf ? QStringLiteral("pdf") : QStringLiteral("oma"));
    dialog.setNameFilters(choice.Filters);
    if (choice.Filter >= 0 && choice.Filter < choice.Filters.size())
        dialog.selectNameFilter(choice.Filters[choice.Filter]);
    if (!suggested.isEmpty()) dialog.selectFile(suggested);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    choice.Filter = static_cast<int>(choice.Filters.indexOf(dialog.selectedNameFilter()));
    return dialog.selectedFiles().constFirst();
}


std::string EyeText(const std::string& eye) {
    if (eye == "R" || eye == "r") return " (right eye)";
    if (eye == "L" || eye == "l") return " (left eye)";
    if (eye == "B" || eye == "b") return " (both eyes)";
    return {};
}

// The first local file of a drag, if it carries one.
QString DraggedFile(const QMimeData* mime) {
    if (mime == nullptr || !mime->hasUrls()) return {};
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile()) return url.toLocalFile();
    return {};
}

}  // namespace

void TForm1::OpenFile1Click() {
    TFileChoice choice{fcOpenJob, {tr("OMA job files (*.oma)"), tr("All files (*)")}, 0};
    const QString fileName = AskFileName(FHooks, this, choice, {});
    if (!fileName.isEmpty()) OpenJobFile(fileName);
}

void TForm1::SaveFile1Click() {
    if (FWorking.Radii.empty()) {
        ReportFileFailure("There is no shape to save");
        return;
    }
    TFileChoice choice{fcSaveJob, SaveJobFilters(), 0};
    const QString tray = TrayEdit->text();
    const QString fileName =
        AskFileName(FHooks, this, choice, tray.isEmpty() ? QString() : tray + ".oma");
    if (fileName.isEmpty()) return;
    const int filter = std::max(0, choice.Filter);
    SaveJobFile(fileName, filter >= 2 ? 4 : 1, filter % 2 == 0);
}

void TForm1::Print1Click() {
    if (FWorking.Radii.empty()) {
        ReportFileFailure("There is no shape to print");
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setDocName(tr("Shape %1").arg(TrayEdit->text()));
    bool print = false;
    if (FHooks.ShowPrintDialog) {
        print = FHooks.ShowPrintDialog(printer);
    } else {
        QPrintDialog dialog(&printer, this);
        print = dialog.exec() == QDialog::Accepted;
    }
    if (!print) return;
    try {
        PrintShapeSheet(printer, PrintSheet());
        ShowStatus("Shape printed", 0);
    } catch (const std::exception& e) {
        ReportFileFailure(e.what());
    }
}

void TForm1::SavePdf1Click() {
    if (FWorking.Radii.empty()) {
        ReportFileFailure("There is no shape to print");
        return;
    }
    TFileChoice choice{fcSavePdf, {tr("PDF files (*.pdf)")}, 0};
    const QString tray = TrayEdit->text();
    const QString fileName =
        AskFileName(FHooks, this, choice, tray.isEmpty() ? QString() : tray + ".pdf");
    if (!fileName.isEmpty()) SaveShapePdf(fileName);
}

bool TForm1::OpenJobFile(const QString& fileName) {
    if (FSession->Talking()) {
        ReportFileFailure("Wait until the conversation with the host has ended");
        return false;
    }
    try {
        const TJobFileData file = FJob.Open(ReadJobFileBytes(FilePath(fileName)));
        FEndMessage.clear();
        FFileFailure.clear();
        FOverlayX = -1;
        FOverlayY = -1;
        if (!file.Tray.empty()) TrayEdit->setText(QString::fromLatin1(file.Tray));
        DrawShape();
        EnableControls(true);
        ShowValues();
        ShowStatus("Opened job file " + QFileInfo(fileName).fileName().toLatin1().toStdString() +
                       EyeText(file.Eye),
                   0);
        return true;
    } catch (const std::exception& e) {
        ReportFileFailure(e.what());
        return false;
    }
}

bool TForm1::SaveJobFile(const QString& fileName, int format, bool receivedCount) {
    try {
        if (FWorking.Radii.empty()) throw EOmaJobFile("There is no shape to save");
        const int count = receivedCount && !FReceived.Radii.empty() ? RadiusCount(FReceived.Radii)
                                                                    : EditPointCount;
        // The DBL as the store sends it: the number the DBL edit shows.
        const QString dblText = DBLEdit->Text();
        const std::optional<double> dbl = TValueEdit::ParseValue(dblText);
        if (!dbl) throw EConvertError::NotFloat(dblText.toLatin1().toStdString());
        // The tray field names the job, as it does for Save Shape.
        WriteJobFileBytes(FilePath(fileName), FJob.FileText(format, count, TrayText(), *dbl));
        ClearFileFailure();
        ShowStatus("Saved job file " + QFileInfo(fileName).fileName().toLatin1().toStdString(), 0);
        return true;
    } catch (const std::exception& e) {
        ReportFileFailure(e.what());
        return false;
    }
}

bool TForm1::SaveShapePdf(const QString& fileName) {
    try {
        if (FWorking.Radii.empty()) throw std::runtime_error("There is no shape to print");
        SaveShapeSheetPdf(fileName, PrintSheet());
        ClearFileFailure();
        ShowStatus("Saved " + QFileInfo(fileName).fileName().toLatin1().toStdString(), 0);
        return true;
    } catch (const std::exception& e) {
        ReportFileFailure(e.what());
        return false;
    }
}

TPrintSheet TForm1::PrintSheet() const {
    TPrintSheet sheet = PrintSheetFor(FWorking, TrayEdit->text());
    if (ShowOrigCheckbox->isChecked()) sheet.ReceivedRadii = FReceived.Radii;
    return sheet;
}

void TForm1::ReportFileFailure(const std::string& message) {
    FEndMessage = message;
    FFileFailure = message;
    DrawShape();
    ShowStatus(message, 0);
}

void TForm1::ClearFileFailure() {
    // Only a file operation's own message goes; a conversation's stays.
    if (FFileFailure.empty() || FEndMessage != FFileFailure) return;
    FEndMessage.clear();
    FFileFailure.clear();
    DrawShape();
}

bool TForm1::FileDragEvent(QEvent* event) {
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (DraggedFile(drag->mimeData()).isEmpty()) return false;
            drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const QString fileName = DraggedFile(drop->mimeData());
            if (fileName.isEmpty()) return false;
            drop->acceptProposedAction();
            Guarded(FHooks, [&] { OpenJobFile(fileName); });
            return true;
        }
        default:
            return false;
    }
}
