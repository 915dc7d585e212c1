// The main window's file commands: opening, saving, printing, PDF, their
// keys, the tray field's menu and dropping a file on the window. The window
// has no settings file here, so it opens no port.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPixmap>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <memory>
#include <cstdio>
#include <string>

#include "app/StatusBar.h"
#include "app/Unit1.h"
#include "app/ValueEdit.h"
#include "oma/JobFile.h"
#include "tests/files/FileApp.h"
#include "tests/files/FileTestData.h"
#include "tests/app/EditorKeys.h"
#include "tests/support/GoldenEdits.h"

namespace {

class TWindowFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureGuiApplication();
        ASSERT_TRUE(FDir.isValid());
        THooks hooks;
        hooks.ReportError = [this](const QString& message) { FErrors << message; };
        hooks.MessageBox = [this](QWidget*, const TMessageBoxInfo& box) {
            FErrors << QString::fromLatin1(box.Text);
            return QMessageBox::Ok;
        };
        hooks.ProgramFile = FDir.filePath(QStringLiteral("trevalon")).toStdString();
        hooks.TempPath = FDir.path();
        hooks.TranscriptPath = FDir.filePath(QStringLiteral("transcripts"));
        hooks.ChooseFile = [this](TFileChoice& choice) {
            FChoices.push_back(choice);
            choice.Filter = FChosenFilter;
            return FChosenName;
        };
        hooks.ShowPrintDialog = [this](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(Path("printed.pdf"));
            return true;
        };
        FForm = std::make_unique<TForm1>(std::move(hooks));
        QCoreApplication::processEvents();
    }

    void TearDown() override {
        FForm.reset();
        EXPECT_TRUE(FErrors.isEmpty()) << FErrors.join('\n').toStdString();
    }

    QString Path(const char* name) const { return FDir.filePath(QString::fromLatin1(name)); }
    static QString Sample(const char* name) {
        return QString::fromStdString(SamplePath(name).string());
    }
    QString Panel0() const { return FForm->StatusBar1->PanelText(0); }

    struct TShown {
        QString A, B, Circ, DBL, Tray;
        bool operator==(const TShown&) const = default;
    };
    TShown Shown() const {
        return {FForm->BoxAEdit->Text(), FForm->BoxBEdit->Text(), FForm->CircEdit->Text(),
                FForm->DBLEdit->Text(), FForm->TrayEdit->text()};
    }
    static QString Value(double v) { return TValueEdit::FormatValue(v); }

    // Red message pixels in the picture's top left corner.
    int MessagePixels() const {
        const QImage image = FForm->Image1->pixmap().toImage();
        int n = 0;
        for (int y = 0; y < 30 && y < image.height(); ++y)
            for (int x = 0; x < 300 && x < image.width(); ++x)
                n += image.pixel(x, y) == qRgb(255, 0, 0) ? 1 : 0;
        return n;
    }

    QTemporaryDir FDir;
    std::unique_ptr<TForm1> FForm;
    std::vector<TFileChoice> FChoices;
    QStringList FErrors;  // reports and message boxes
    QString FChosenName;
    int FChosenFilter = 0;
};

TEST_F(TWindowFileTest, ASampleOpensWithItsStatedValuesAndTrayNumber) {
    ASSERT_TRUE(FForm->OpenJobFile(Sample("R360_3.oma")));
    const TShown expected{Value(51.00), Value(44.01), Value(150.76), Value(20.00),
                          QStringLiteral("L424775600")};
    EXPECT_EQ(Shown(), expected);
    EXPECT_EQ(FForm->ChgALabel->text(), QStringLiteral("0.00"));
    EXPECT_TRUE(FForm->SaveButton->isEnabled());
    EXPECT_TRUE(FForm->ReqButton->isEnabled());
    EXPECT_EQ(Panel0(), QStringLiteral("Opened job file R360_3.oma (right eye)"));
    EXPECT_EQ(MessagePixels(), 0);
}

TEST_F(TWindowFileTest, ALeftEyeFileSaysSoAndIsSavedForTheLeftEyeWithEverythingElse) {
    std::string text = "JOB=88\nHBOX=40.00;41.00\nDRILLE=B;C;1\nDRILLE=B;C;2\nTEXT_1= ;\n"
                       "TRCFMT=1;108;E;L;P\n";
    for (int i = 0; i < 108; i += 9) {
        text += "R=";
        for (int j = i; j < i + 9; ++j) text += (j > i ? ";" : "") + std::to_string(1900 + 10 * j);
        text += "\n";
    }
    text += "STHKFMT=1;2;E;L\nR=2000;2001\nT=0100;0101\nDBL=17\n";
    WriteWholeFile(Path("left.oma").toStdString(), text);
    ASSERT_TRUE(FForm->OpenJobFile(Path("left.oma")));
    EXPECT_EQ(Panel0(), QStringLiteral("Opened job file left.oma (left eye)"));

    ASSERT_TRUE(FForm->SaveJobFile(Path("saved.oma"), 1, true)) << Panel0().toStdString();
    const std::string saved = ReadWholeFile(Path("saved.oma").toStdString());
    const TJobFileData file = ParseJobFile(saved);
    EXPECT_EQ(file.Eye, "L");
    EXPECT_EQ(file.Type, "P");
    EXPECT_EQ(file.Radii, ParseJobFile(text).Radii);
    // Nothing was edited: the file comes back byte for byte.
    EXPECT_EQ(saved, text);

    // A preset replaces the file's shape: its lines no longer describe it.
    FForm->Circle1->trigger();
    ASSERT_TRUE(FForm->SaveJobFile(Path("circle.oma"), 1, true)) << Panel0().toStdString();
    const std::string circle = ReadWholeFile(Path("circle.oma").toStdString());
    EXPECT_EQ(circle.find("R=1900;"), std::string::npos) << circle;
    EXPECT_EQ(ParseJobFile(circle).Radii.size(), FForm->ReceivedShape().Radii.size());
}

TEST_F(TWindowFileTest, AFileThatCannotBeUsedLeavesTheShapesWithItsMessage) {
    ASSERT_TRUE(FForm->OpenJobFile(Sample("STHKFMT.oma")));
    const TShown before = Shown();
    struct TBad {
        QString File;
        QString Message;
    };
    WriteWholeFile(Path("short.oma").toStdString(), "TRCFMT=1;4;E;R;F\nR=2500;2500;2500\n");
    WriteWholeFile(Path("big.oma").toStdString(), std::string(MaxJobFileSize + 1, 'R'));
    const TBad bad[] = {
        {Sample("TRCFMT6.oma"), QStringLiteral("Trace type 6 is unsupported")},
        {Path("short.oma"), QStringLiteral("Trace contains 3 points, but number of points is 4")},
        {Path("big.oma"), QStringLiteral("The file is too large for a job file (1024 KiB, at most "
                                         "1024 KiB)")},
        {Path("none.oma"), QStringLiteral("Cannot read the job file: No such file or directory")},
    };
    for (const TBad& file : bad) {
        EXPECT_FALSE(FForm->OpenJobFile(file.File));
        EXPECT_EQ(Panel0(), file.Message);
        EXPECT_EQ(Shown(), before) << file.File.toStdString();
        EXPECT_GT(MessagePixels(), 20) << "no message on the picture";
    }
    // A good file takes the message away.
    ASSERT_TRUE(FForm->OpenJobFile(Sample("R360_3.oma")));
    EXPECT_EQ(MessagePixels(), 0);
}

struct TSaveCase {
    int Format;
    bool ReceivedCount;
    int Points;  // in the file
};

void PrintTo(const TSaveCase& save, std::ostream* out) {
    *out << "format " << save.Format << (save.ReceivedCount ? ", received count" : ", 1024 points");
}

class TWindowSaveTest : public TWindowFileTest, public ::testing::WithParamInterface<TSaveCase> {};

TEST_P(TWindowSaveTest, SavedAndOpenedAgainGivesTheSameShapeAndValues) {
    const TSaveCase& save = GetParam();
    ASSERT_TRUE(FForm->OpenJobFile(Sample("R360_3.oma")));
    FForm->TrayEdit->setText(QStringLiteral("T 42"));
    FForm->LockBCheckbox->click();  // unlocks A
    FForm->BoxAEdit->SetText(Value(53.00));
    const TShown edited = Shown();
    ASSERT_EQ(edited.A, Value(53.00));

    ASSERT_TRUE(FForm->SaveJobFile(Path("first.oma"), save.Format, save.ReceivedCount))
        << Panel0().toStdString();
    EXPECT_EQ(Panel0(), QStringLiteral("Saved job file first.oma"));
    const TJobFileData file = ParseJobFile(ReadWholeFile(Path("first.oma").toStdString()));
    EXPECT_EQ(file.Format, save.Format);
    EXPECT_EQ(static_cast<int>(file.Radii.size() / 4), save.Points);
    EXPECT_EQ(file.Tray, "T 42");
    // The job's other records stay; the conversation's own do not.
    const auto has = [&](const std::string& record) {
        return std::find(file.Records.begin(), file.Records.end(), record) != file.Records.end();
    };
    EXPECT_TRUE(has("OMAV=03.10"));
    EXPECT_TRUE(has("HBOX=53.00;51.00"));  // the right eye edited, the left as stated
    EXPECT_TRUE(has("DBL=20.00"));

    FForm->TrayEdit->clear();
    ASSERT_TRUE(FForm->OpenJobFile(Path("first.oma")));
    const TShown reopened = Shown();
    EXPECT_EQ(reopened.Tray, QStringLiteral("T 42"));
    if (save.Points == 1024) {
        // The working shape itself was written: every value comes back.
        EXPECT_EQ(reopened, edited);
    } else {
        // Resampled to the received count: box A within the polygon's change.
        EXPECT_NEAR(TValueEdit::ParseValue(reopened.A).value(), 53.00, 0.05);
    }
    // The file opened again and saved the same way gives the same trace; with
    // no resampling in between the values are the same too, so the same file.
    ASSERT_TRUE(FForm->SaveJobFile(Path("second.oma"), save.Format, true));
    const std::string first = ReadWholeFile(Path("first.oma").toStdString());
    const std::string second = ReadWholeFile(Path("second.oma").toStdString());
    EXPECT_EQ(ParseJobFile(second).Radii, file.Radii);
    if (save.Points == 1024) {
        EXPECT_EQ(second, first);
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, TWindowSaveTest,
                         ::testing::Values(TSaveCase{1, false, 1024}, TSaveCase{4, false, 1024},
                                           TSaveCase{1, true, 360}, TSaveCase{4, true, 360}),
                         [](const auto& row) {
                             return "Format" + std::to_string(row.param.Format) +
                                    (row.param.ReceivedCount ? "Received" : "Editor");
                         });

TEST_F(TWindowFileTest, SavingKeepsThePreviousFileAndReportsFailures) {
    ASSERT_TRUE(FForm->OpenJobFile(Sample("R360_1.oma")));
    ASSERT_TRUE(FForm->SaveJobFile(Path("job.oma"), 1, true));
    const std::string first = ReadWholeFile(Path("job.oma").toStdString());
    FForm->TrayEdit->setText(QStringLiteral("other"));
    ASSERT_TRUE(FForm->SaveJobFile(Path("job.oma"), 1, true));
    EXPECT_EQ(ReadWholeFile(Path("job.oma.bak").toStdString()), first);

    FForm->TrayEdit->setText(QStringLiteral("a\"b"));
    EXPECT_FALSE(FForm->SaveJobFile(Path("job.oma"), 1, true));
    EXPECT_EQ(Panel0(), QStringLiteral("Tray number may not contain a double quote (\")"));
    EXPECT_GT(MessagePixels(), 20);
    FForm->TrayEdit->setText(QStringLiteral("x"));
    EXPECT_FALSE(FForm->SaveJobFile(Path("missing/job.oma"), 1, true));
    EXPECT_TRUE(Panel0().startsWith(QStringLiteral("Cannot write the job file: ")))
        << Panel0().toStdString();
    // A later success takes the file message off the picture.
    ASSERT_TRUE(FForm->SaveJobFile(Path("job.oma"), 4, true));
    EXPECT_EQ(MessagePixels(), 0);
}

TEST_F(TWindowFileTest, WithoutAShapeNothingIsSavedOrPrinted) {
    FChosenName = Path("nothing.oma");
    FForm->SaveFile1Click();
    EXPECT_EQ(Panel0(), QStringLiteral("There is no shape to save"));
    FForm->Print1Click();
    EXPECT_EQ(Panel0(), QStringLiteral("There is no shape to print"));
    EXPECT_TRUE(FChoices.empty());
    EXPECT_FALSE(QFileInfo::exists(FChosenName));
}

TEST_F(TWindowFileTest, TypedValuesGiveTheGoldenFigures) {
    const auto figure = [](double value) {
        char text[32];
        std::snprintf(text, sizeof text, "%.2f", value);
        return std::string(text);
    };
    const auto type = [](TValueEdit* edit, const std::string& text) {
        edit->setFocus();
        edit->selectAll();
        EditorKeys::KeyClicks(edit, QString::fromStdString(text));
    };
    const std::vector<TGoldenEdit> edits = GoldenEdits();
    ASSERT_FALSE(edits.empty());
    for (const TGoldenEdit& edit : edits) {
        SCOPED_TRACE(edit.Sample + (edit.Circ ? " circ " + edit.CircValue : " A " + edit.A + " B " + edit.B) +
                     (edit.LockB ? " lock B" : ""));
        // Out of the edits first: the one being typed in keeps its text.
        FForm->TrayEdit->setFocus();
        ASSERT_TRUE(FForm->OpenJobFile(Sample(edit.Sample.c_str())));
        if (FForm->LockBCheckbox->isChecked() != edit.LockB) FForm->LockBCheckbox->click();
        if (edit.Circ) type(FForm->CircEdit, edit.CircValue);
        if (!edit.A.empty()) type(FForm->BoxAEdit, edit.A);
        if (!edit.B.empty()) type(FForm->BoxBEdit, edit.B);
        const TTraceInfo& shown = FForm->WorkingShape();
        EXPECT_EQ(figure(shown.HBox), edit.BoxA);
        EXPECT_EQ(figure(shown.VBox), edit.BoxB);
        EXPECT_EQ(figure(shown.Circ), edit.Circumference);
    }
}

TEST_F(TWindowFileTest, AShapeOfTooFewPointsIsNeitherWrittenNorStored) {
    WriteWholeFile(Path("few.oma").toStdString(), "JOB=\"5\"\nTRCFMT=1;50;E;R;F\n" + Fmt1Records(TestRadii(50)));
    ASSERT_TRUE(FForm->OpenJobFile(Path("few.oma")));
    EXPECT_FALSE(FForm->SaveJobFile(Path("few-saved.oma"), 1, true));
    EXPECT_EQ(Panel0(), QStringLiteral("Cannot write a trace of 50 points (100 to 4096)"));
    EXPECT_FALSE(QFileInfo::exists(Path("few-saved.oma")));
    // Save Shape says why before anything would go to the host.
    FForm->SaveButton->click();
    EXPECT_EQ(Panel0(), QStringLiteral("Cannot store a trace of 50 points (100 to 4096)"));
    EXPECT_FALSE(FForm->Talking());
    // At the editor's 1024 points it is written.
    EXPECT_TRUE(FForm->SaveJobFile(Path("few-1024.oma"), 1, false)) << Panel0().toStdString();
}

TEST_F(TWindowFileTest, TheTrayMenuHoldsTheFileCommandsAfterThePresets) {
    QStringList captions;
    for (const QAction* action : FForm->TrayNoPopupMenu->actions())
        captions << (action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(captions, QStringList({"Circle", "Square", "Diamond", "Flower Pot", "-",
                                     "Open Job File...", "Save Job File...", "Print Shape...",
                                     "Save as PDF..."}));
    EXPECT_EQ(FForm->OpenFile1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(FForm->SaveFile1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    EXPECT_EQ(FForm->Print1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
}

TEST_F(TWindowFileTest, CtrlOCtrlSAndCtrlPRunTheFileCommands) {
    FForm->show();
    FForm->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(FForm.get()));
    FForm->TrayEdit->setFocus();

    FChosenName = Sample("R360_3.oma");
    QTest::keyClick(FForm->TrayEdit, Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(FChoices.size(), 1u);
    EXPECT_EQ(FChoices[0].Kind, fcOpenJob);
    EXPECT_EQ(FChoices[0].Filters,
              QStringList({"OMA job files (*.oma)", "All files (*)"}));
    EXPECT_EQ(FForm->TrayEdit->text(), QStringLiteral("L424775600"));
    EXPECT_EQ(FForm->BoxAEdit->Text(), Value(51.00));

    FChosenName = Path("keyed.oma");
    FChosenFilter = 3;  // format 4, 1024 points
    QTest::keyClick(FForm->TrayEdit, Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(FChoices.size(), 2u);
    EXPECT_EQ(FChoices[1].Kind, fcSaveJob);
    EXPECT_EQ(FChoices[1].Filter, 0) << "format 1 at the received count comes first";
    const TJobFileData saved = ParseJobFile(ReadWholeFile(FChosenName.toStdString()));
    EXPECT_EQ(saved.Format, 4);
    EXPECT_EQ(saved.Radii.size(), 4u * 1024);

    QTest::keyClick(FForm->TrayEdit, Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(Panel0(), QStringLiteral("Shape printed"));
    const std::string printed = ReadWholeFile(Path("printed.pdf").toStdString());
    EXPECT_EQ(printed.rfind("%PDF", 0), 0u);
    EXPECT_EQ(FChoices.size(), 2u) << "printing asks for no file name";

    FChosenName = Path("menu.pdf");
    FForm->SavePdf1->trigger();
    ASSERT_EQ(FChoices.size(), 3u);
    EXPECT_EQ(FChoices[2].Kind, fcSavePdf);
    EXPECT_EQ(ReadWholeFile(FChosenName.toStdString()).rfind("%PDF", 0), 0u);
}

TEST_F(TWindowFileTest, AFileDroppedOnThePictureOrTheTrayFieldOpens) {
    for (QWidget* target : {static_cast<QWidget*>(FForm->Image1),
                            static_cast<QWidget*>(FForm->TrayEdit)}) {
        FForm->TrayEdit->clear();
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(Sample("R360_1.oma"))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &drop);
        EXPECT_TRUE(drop.isAccepted());
        EXPECT_EQ(FForm->TrayEdit->text(), QStringLiteral("L419413101"));
        EXPECT_EQ(Panel0(), QStringLiteral("Opened job file R360_1.oma (right eye)"));
    }
    // Text without a file is not taken by the window.
    QMimeData text;
    text.setText(QStringLiteral("123"));
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    enter.ignore();
    QCoreApplication::sendEvent(FForm->Image1, &enter);
    EXPECT_FALSE(enter.isAccepted());
}

}  // namespace
