// The driver editor: its text layout, what a save writes, and the Close question.
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>
#include <vector>

#include "io/fileio.h"
#include "io/numfmt.h"
#include "model/catalogue.h"
#include "model/errors.h"
#include "ui/forms.h"
#include "ui/mainform.h"
#include "ui/note.h"
#include "ui/support_dialogs.h"

using namespace orvane;

namespace {

const QString LoseChanges =
    "The changes you made to the drivers are about to be lost. Do you want to save the driver "
    "file before proceeding?";

class TFakeMain : public IMainForm {
public:
    std::function<void()> chooseDriver;
    void UpdateMainForm() override {}
    void ChooseDriverFromEditor() override {
        if (chooseDriver) chooseDriver();
    }
    void MISaveParamClick() override {}
    void MIViewOutFileClick() override {}
    double TimeStepFieldValue() const override { return 1; }
};

using TRow = std::vector<double>;  // time, then the 8 drivers

struct TRig {
    QTemporaryDir dir;
    TGlobals g;
    TScriptedDialogs dialogs;
    TForms forms;
    TFakeMain main;
    std::unique_ptr<TFmNote> note;

    TRig() {
        InitialiseGlobals(g);
        g.Messages = &dialogs;
        note = std::make_unique<TFmNote>(g, dialogs, forms);
        note->SetMainForm(&main);
    }

    QString Path(const char* name) const { return dir.filePath(name); }

    // A driver file as the program writes it.
    QString Write(const char* name, const std::vector<TRow>& rows) {
        const std::string path = Path(name).toStdString();
        drivearray d = g.Drivers;
        OpenDriverFile(g, path, 8, d, true);
        for (const TRow& r : rows) {
            for (int i = 1; i <= 8; ++i) d[i].value = r[i];
            WriteDriverRow(g, r[0], 8, d);
        }
        CloseDriverFile(g);
        return Path(name);
    }

    // A driver file typed by hand, every number with all its digits.
    QString WriteExact(const char* name, const std::vector<TRow>& rows) {
        QFile f(Path(name));
        if (!f.open(QIODevice::WriteOnly)) return {};
        f.write("Time CO2\r\nyear ppmv\r\n");
        for (const TRow& r : rows) {
            for (double v : r) f.write((FormatGeneral(v, 17) + "  ").c_str());
            f.write("\r\n");
        }
        return Path(name);
    }

    // Every data row of a driver file, read the way a run reads it.
    std::vector<TRow> Read(const QString& path) {
        std::vector<TRow> rows;
        drivearray d = g.Drivers;
        OpenDriverFile(g, path.toStdString(), 8, d, false);
        double t = 0;
        while (ReadDriverRow(g, t, 8, d)) {
            TRow r{t};
            for (int i = 1; i <= 8; ++i) r.push_back(d[i].value);
            rows.push_back(r);
        }
        CloseDriverFile(g);
        return rows;
    }

    void Open(const QString& path) {
        g.DriverFileName = path.toStdString();
        note->show();
    }
    QStringList Lines() const { return note->MoDrivers->toPlainText().split('\n'); }
    void Edit(const QString& appended) {
        note->MoDrivers->setFocus();
        note->MoDrivers->moveCursor(QTextCursor::End);
        const QStringList parts = appended.split('\n');
        for (int i = 0; i < parts.size(); ++i) {
            if (i > 0) QTest::keyClick(note->MoDrivers, Qt::Key_Return);
            QTest::keyClicks(note->MoDrivers, parts[i]);
        }
    }
    void Click(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
};

QByteArray Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class TestNote : public QObject {
    Q_OBJECT

private slots:
    void ShowsTheFileIn21CharacterColumns() {
        TRig rig;
        const QString path = rig.Write("a.drr", {{0, 350, 18, 6, 15, 1, 0.3, 150, 150},
                                                 {-1.5, 351.25, -2, 0, 1e-7, 1, 0, 1, 2}});
        rig.Open(path);
        QCOMPARE(rig.note->windowTitle(), "Driver Variables - " + path);
        const QStringList lines = rig.Lines();
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], QString("Time                 CO2                  Daily Air Temp max   "
                                   "Daily Air Temp min   Daily Shortwave Rad. Precipitation        "
                                   "NH4 Deposition       Plant Act Seas Leng  Soil Act Seas Leng   "));
        QVERIFY(lines[1].startsWith("year                 ppmv                 deg C"));
        QCOMPARE(lines[3].left(63), QString("-1.5                 351.25               -2                   "));
        QCOMPARE(lines[3].mid(84, 21), QString("1E-7                 "));
        for (const QString& line : lines) QCOMPARE(line.size(), 9 * 21);
        QVERIFY(!rig.note->MoDrivers->document()->isModified());

        // Opening again without edits shows the same text.
        const QString first = rig.note->MoDrivers->toPlainText();
        rig.note->hide();
        rig.note->show();
        QCOMPARE(rig.note->MoDrivers->toPlainText(), first);
        // The rows were read through the live drivers: the last row stays
        // in them, names and units untouched.
        QCOMPARE(rig.g.Drivers[1].value, 351.25);
        QCOMPARE(rig.g.Drivers[2].value, -2.0);
        QCOMPARE(rig.g.Drivers[1].name, std::string_view("CO2"));
    }

    void LongDriverNamesAreCutToTheirColumn() {
        TRig rig;
        rig.g.Drivers[1].name = "Atmospheric CO2 concentration";  // 29 characters
        rig.g.Drivers[2].name = "Exactly twenty-one ch";            // 21 characters
        rig.Open("");
        QCOMPARE(rig.note->windowTitle(), QString("Driver Variables - No driver file selected"));
        QCOMPARE(rig.Lines().size(), 2);
        QVERIFY(rig.Lines()[0].startsWith("Time                 Atmospheric CO2 conceExactly twenty-one chDaily Air Temp min"));
    }

    void AnAllZeroRowEndsTheListingAndTheSavedFile() {
        TRig rig;
        const QString path = rig.Write("z.drr", {{0, 1, 1, 1, 1, 1, 1, 1, 1},
                                                 {1, 2, 2, 2, 2, 2, 2, 2, 2},
                                                 {0, 0, 0, 0, 0, 0, 0, 0, 0},
                                                 {2, 3, 3, 3, 3, 3, 3, 3, 3}});
        rig.Open(path);
        QCOMPARE(rig.Lines().size(), 4);
        rig.dialogs.fileAnswers = {rig.Path("out.drr")};
        rig.Click(rig.note->BtnSaveFile);
        const QList<QByteArray> written = Bytes(rig.Path("out.drr")).split('\n');
        QCOMPARE(written.size(), 5);  // four lines, each ended by CR LF
        QVERIFY(written[3].endsWith('\r'));
        QCOMPARE(rig.Read(rig.Path("out.drr")).size(), std::size_t(2));
    }

    void SavingAnUneditedFileKeepsEveryValue() {
        TRig rig;
        // Values whose 15-digit form is longer than a column or not exact.
        const std::vector<TRow> rows{
            {0, -1.23456789012345e-123, 0.1 + 0.2, 1e300, 2.5, -0.000123456789012345, 1.0 / 3, 7, 8},
            {-0.25, 123456789012345678.0, -2.2250738585072014e-308, 1, 2, 3, 4, 5, 6}};
        const QString path = rig.WriteExact("r.drr", rows);
        rig.Open(path);
        // A number too long for its column keeps a blank before the next one.
        QVERIFY(rig.Lines()[3].contains("-2.2250738585072014E-308 1                    2 "));
        rig.dialogs.fileAnswers = {rig.Path("copy.drr")};
        rig.Click(rig.note->BtnSaveFile);
        const std::vector<TRow> back = rig.Read(rig.Path("copy.drr"));
        QCOMPARE(back.size(), rows.size());
        for (std::size_t r = 0; r < rows.size(); ++r)
            for (std::size_t i = 0; i < rows[r].size(); ++i) QCOMPARE(back[r][i], rows[r][i]);
        QCOMPARE(rig.g.DriverFileName, rig.Path("copy.drr").toStdString());
    }

    void SaveUsesTheDriverSaveDialog() {
        TRig rig;
        rig.g.NewDriverFile = true;
        const QString path = rig.Write("s.drr", {{0, 1, 2, 3, 4, 5, 6, 7, 8}});
        const QByteArray before = Bytes(path);
        rig.Open(path);
        rig.Edit("\n1 2 3 4 5 6 7 8 9");
        rig.Click(rig.note->BtnSaveFile);  // the dialog is cancelled
        QCOMPARE(rig.note->result(), int(QDialog::Accepted));
        QCOMPARE(Bytes(path), before);
        QVERIFY(rig.g.NewDriverFile);
        QCOMPARE(rig.dialogs.fileDialogs.size(), 1);
        const TRecordedFileDialog& d = rig.dialogs.fileDialogs[0];
        QVERIFY(d.save);
        QCOMPARE(d.dlgSpec.title, QString("Save Driver File as"));
        QCOMPARE(d.dlgSpec.defaultExt, QString("drr"));
        QCOMPARE(d.dlgSpec.filters.size(), 2);
        QCOMPARE(d.dlgSpec.filters[0].label, QString("Driver Files (*.drr)"));
        QCOMPARE(d.dlgSpec.filters[1].label, QString("All Files (*.*)"));
        QCOMPARE(d.dlgSpec.initialName, path);
        QVERIFY(d.dlgSpec.promptOverwrite);

        rig.Open(path);
        rig.Edit("\n1 2 3 4 5 6 7 8 9");
        rig.dialogs.fileAnswers = {path};
        rig.Click(rig.note->BtnSaveFile);
        QVERIFY(Bytes(path).endsWith("\r\n1 2 3 4 5 6 7 8 9\r\n"));
        QVERIFY(!rig.g.NewDriverFile);
    }

    void RowsTheReaderCannotTakeAreNamedBeforeSaving() {
        TRig rig;
        const QString path = rig.Write("bad.drr", {{0, 1, 2, 3, 4, 5, 6, 7, 8}});
        const QByteArray before = Bytes(path);
        rig.Open(path);
        rig.Edit("\n1 2 3\n2 two 3 4 5 6 7 8 9");
        const QString question =
            "Line 4 cannot be read as a row of drivers: it holds 3 numbers, but a row holds 9 "
            "numbers (the time and 8 drivers). 1 more line cannot be read either.\n\nSave the "
            "driver file anyway?";

        // No: nothing written, and the editor stays open on the text.
        rig.dialogs.messageAnswers = {TMsgButton::No};
        rig.Click(rig.note->BtnSaveFile);
        QCOMPARE(rig.dialogs.MessageTexts(), QStringList{question});
        QCOMPARE(rig.dialogs.messages[0].kind, TMsgKind::Warning);
        QVERIFY(rig.dialogs.fileDialogs.isEmpty());
        QVERIFY(rig.note->isVisible());
        QCOMPARE(Bytes(path), before);

        // Close, Yes to saving, No to saving anyway: still open.
        rig.dialogs.Clear();
        rig.dialogs.messageAnswers = {TMsgButton::Yes, TMsgButton::No};
        rig.Click(rig.note->BtnClose);
        QCOMPARE(rig.dialogs.MessageTexts(), QStringList({LoseChanges, question}));
        QVERIFY(rig.note->isVisible());

        // Saved anyway, when the user says so.
        rig.dialogs.Clear();
        rig.dialogs.messageAnswers = {TMsgButton::Yes};
        rig.dialogs.fileAnswers = {path};
        rig.Click(rig.note->BtnSaveFile);
        QVERIFY(!rig.note->isVisible());
        QVERIFY(Bytes(path).endsWith("2 two 3 4 5 6 7 8 9\r\n"));
    }

    void CloseAsksBeforeDroppingEdits() {
        TRig rig;
        const QString path = rig.Write("c.drr", {{0, 1, 2, 3, 4, 5, 6, 7, 8}});
        const QByteArray before = Bytes(path);

        // Unedited: no question.
        rig.Open(path);
        rig.Click(rig.note->BtnClose);
        QVERIFY(rig.dialogs.messages.isEmpty());
        QCOMPARE(rig.note->result(), int(QDialog::Rejected));

        rig.Open(path);
        rig.Edit("\n1 2 3 4 5 6 7 8 9");
        rig.dialogs.messageAnswers = {TMsgButton::No};
        rig.Click(rig.note->BtnClose);
        QCOMPARE(rig.dialogs.MessageTexts(), QStringList({LoseChanges}));
        QCOMPARE(rig.dialogs.messages[0].buttons,
                 int(TMsgButton::Yes) | int(TMsgButton::No));
        QCOMPARE(rig.note->result(), int(QDialog::Rejected));
        QVERIFY(!rig.note->isVisible());
        QCOMPARE(Bytes(path), before);

        // Yes and the same name: the edited text is written, and the caller
        // hears of it as of any save.
        rig.Open(path);
        rig.Edit("\n1 2 3 4 5 6 7 8 9");
        rig.dialogs.messageAnswers = {TMsgButton::Yes};
        rig.dialogs.fileAnswers = {path};
        rig.Click(rig.note->BtnClose);
        QCOMPARE(rig.note->result(), int(QDialog::Accepted));
        QCOMPARE(rig.Read(path).size(), std::size_t(2));

        // Escape asks the same question.
        rig.Open(path);
        rig.Edit("y");
        rig.dialogs.Clear();
        QTest::keyClick(rig.note->MoDrivers, Qt::Key_Escape);
        QCOMPARE(rig.dialogs.MessageTexts(), QStringList({LoseChanges}));
    }

    void ChooseDriverFileReplacesEditsWithoutAsking() {
        TRig rig;
        const QString a = rig.Write("a.drr", {{0, 1, 1, 1, 1, 1, 1, 1, 1}});
        const QString b = rig.Write("b.drr", {{0, 2, 2, 2, 2, 2, 2, 2, 2}, {5, 3, 3, 3, 3, 3, 3, 3, 3}});
        rig.main.chooseDriver = [&] { rig.g.DriverFileName = b.toStdString(); };
        rig.Open(a);
        rig.Edit("edited");
        rig.Click(rig.note->BtnChooseFile);
        QVERIFY(rig.dialogs.messages.isEmpty());
        QCOMPARE(rig.Lines().size(), 4);
        QVERIFY(rig.Lines()[3].startsWith("5                    3 "));
        QCOMPARE(rig.note->windowTitle(), "Driver Variables - " + b);
        QVERIFY(!rig.note->MoDrivers->document()->isModified());
        QVERIFY(rig.note->isVisible());
    }

    void AnUnreadableFileShowsWhatWasReadAndTheError() {
        TRig rig;
        rig.Open(rig.Path("missing.drr"));
        QCOMPARE(rig.dialogs.MessageTexts(), QStringList({MsgDriverFileMissing}));
        QCOMPARE(rig.Lines().size(), 2);

        const QString bad = rig.Write("bad.drr", {{0, 1, 1, 1, 1, 1, 1, 1, 1}});
        QFile f(bad);
        QVERIFY(f.open(QIODevice::Append));
        f.write("1 2 x 4 5 6 7 8 9\r\n");
        f.close();
        rig.dialogs.Clear();
        rig.note->hide();
        rig.Open(bad);
        QCOMPARE(rig.dialogs.MessageTexts(), QStringList({MsgInvalidNumericInput}));
        QCOMPARE(rig.Lines().size(), 3);
        QVERIFY(!rig.g.DriverReader.IsOpen());

        // A folder in place of a file is reported, not fatal.
        rig.dialogs.Clear();
        rig.note->hide();
        rig.Open(rig.dir.path());
        QCOMPARE(rig.dialogs.messages.size(), 1);
        QCOMPARE(rig.Lines().size(), 2);
    }

    void TheMainWindowHearsOfSavesOnly() {
        TRig rig;
        const QString path = rig.Write("m.drr", {{0, 1, 2, 3, 4, 5, 6, 7, 8}});
        TGlobals g;
        TScriptedDialogs dialogs;
        TForms forms = CreateForms(g, dialogs, "orvane");
        g.DriverFileName = path.toStdString();
        g.OutputCurrent = true;
        g.RunEnabled = true;
        TFmNote& note = *forms.FmNote;

        // Pressed once the modal window is up and waiting.
        QTimer::singleShot(0, note.BtnClose, &QPushButton::click);
        forms.MainForm->MIEditDrvClick();
        QVERIFY(g.OutputCurrent);
        QVERIFY(g.RunEnabled);

        dialogs.fileAnswers = {rig.Path("saved.drr")};
        // Pressed once the modal window is up and waiting.
        QTimer::singleShot(0, note.BtnSaveFile, &QPushButton::click);
        forms.MainForm->MIEditDrvClick();
        QVERIFY(!g.OutputCurrent);
        QVERIFY(!g.RunEnabled);
        QCOMPARE(g.DriverFileName, rig.Path("saved.drr").toStdString());
        QCOMPARE(forms.MainForm->DriverBox->text(), rig.Path("saved.drr"));
        DestroyForms(forms);
    }
};

QTEST_MAIN(TestNote)
#include "test_note.moc"
