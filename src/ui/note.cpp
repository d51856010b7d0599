#include "ui/note.h"
#include "ui/qtext.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStringList>
#include <QVBoxLayout>

#include "io/drivertext.h"
#include "io/fileio.h"
#include "io/numfmt.h"
#include "io/textfile.h"
#include "model/errors.h"
#include "ui/mainform.h"
#include "ui/placement.h"

namespace orvane {

namespace {

constexpr std::size_t FieldWidth = 21;


}  // namespace

TFileDialogSpec DlgSaveDriver(const QString& initialName) {
    TFileDialogSpec s;
    s.title = "Save Driver File as";
    s.defaultExt = "drr";
    s.filters = {{"Driver Files (*.drr)", "*.drr"}, {"All Files (*.*)", "*.*"}};
    s.initialName = initialName;
    s.promptOverwrite = true;
    return s;
}

std::string DriverTextField(std::string_view text) {
    if (text.size() < FieldWidth) return PadRight(text, FieldWidth);
    std::string field(text);
    field += ' ';
    return field;
}

std::string DriverValueText(double value) {
    // 15 digits show every value a driver file normally holds; a value typed
    // with more is written with enough digits to keep it exactly.
    for (int digits = 15; digits < 17; ++digits) {
        std::string text = FormatGeneral(value, digits);
        double back = 0;
        if (ParseFileNumber(text, back) && (back == value || (back != back && value != value)))
            return text;
    }
    return FormatGeneral(value, 17);
}

TFmNote::TFmNote(TGlobals& g, IDialogService& dialogs, TForms& forms, QWidget* parent)
    : QDialog(parent), g_(g), dialogs_(dialogs), forms_(forms) {
    setWindowTitle("Driver Variables - No driver file selected");
    resize(696, 480);

    MoDrivers = new QPlainTextEdit(this);
    QFont fixed("Courier New");
    fixed.setStyleHint(QFont::TypeWriter);
    if (!QFontInfo(fixed).fixedPitch()) fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    MoDrivers->setFont(fixed);
    MoDrivers->setLineWrapMode(QPlainTextEdit::NoWrap);
    MoDrivers->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MoDrivers->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    Panel1 = new QWidget(this);
    BtnChooseFile = new QPushButton("C&hoose Driver File", Panel1);
    BtnSaveFile = new QPushButton("&Save File", Panel1);
    BtnClose = new QPushButton("&Close", Panel1);
    // A multi-line text takes Enter itself; no button is the default.
    for (QPushButton* b : {BtnChooseFile, BtnSaveFile, BtnClose}) {
        b->setAutoDefault(false);
        b->setMinimumWidth(110);
    }
    auto* buttons = new QHBoxLayout(Panel1);
    buttons->setContentsMargins(8, 6, 8, 6);
    buttons->addWidget(BtnChooseFile);
    buttons->addStretch(1);
    buttons->addWidget(BtnSaveFile);
    buttons->addWidget(BtnClose);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(MoDrivers, 1);
    layout->addWidget(Panel1);

    connect(BtnChooseFile, &QPushButton::clicked, this, &TFmNote::BtnChooseFileClick);
    connect(BtnSaveFile, &QPushButton::clicked, this, &TFmNote::BtnSaveFileClick);
    connect(BtnClose, &QPushButton::clicked, this, &TFmNote::BtnCloseClick);
}

int TFmNote::ShowModal() { return exec(); }

IMainForm* TFmNote::MainForm() const {
    if (mainForm_) return mainForm_;
    return forms_.MainForm;
}

void TFmNote::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    PlaceOnOwnerScreen(*this);
    RunGuarded(dialogs_, [this] { FormActivate(); });
    MoDrivers->setFocus();
}

void TFmNote::FormActivate() {
    MoDrivers->clear();
    setWindowTitle(g_.DriverFileName.empty()
                       ? QString("Driver Variables - No driver file selected")
                       : "Driver Variables - " + QString::fromStdString(g_.DriverFileName));

    const int numdrive = g_.ModelDef.numdrive;
    std::string names = PadRight("Time", FieldWidth);
    std::string units = PadRight(g_.ModelDef.timeunit, FieldWidth);
    for (int i = 1; i <= numdrive; ++i) {
        names += PadRight(g_.Drivers[i].name, FieldWidth);
        units += PadRight(g_.Drivers[i].units, FieldWidth);
    }
    QStringList lines{Text(names), Text(units)};

    // Whatever happens to the reading, the lines built so far are shown.
    auto showLines = [&] {
        MoDrivers->setPlainText(lines.join('\n'));
        MoDrivers->document()->setModified(false);
    };
    if (!g_.DriverFileName.empty()) {
        // The rows go through the live Drivers, which keep the last row read;
        // every user of the drivers reads them again at its own time first.
        drivearray& row = g_.Drivers;
        try {
            OpenDriverFile(g_, g_.DriverFileName, numdrive, row, false);
            // A missing file has been reported by the reader; there is nothing to list.
            double time = 0;
            while (g_.DriverReader.IsOpen() && ReadDriverRow(g_, time, numdrive, row)) {
                std::string line = DriverTextField(DriverValueText(time));
                for (int i = 1; i <= numdrive; ++i) line += DriverTextField(DriverValueText(row[i].value));
                lines << Text(line);
            }
        } catch (...) {
            CloseDriverFile(g_);
            showLines();
            ReportError(dialogs_, std::current_exception());
            return;
        }
        CloseDriverFile(g_);
    }
    showLines();
}

bool TFmNote::SaveText() {
    QString path = QString::fromStdString(g_.DriverFileName);
    if (!dialogs_.SaveFile(DlgSaveDriver(path), path)) return false;

    QStringList lines;
    const QString text = MoDrivers->toPlainText();
    if (!text.isEmpty()) {
        lines = text.split('\n');
        // A line end after the last line starts no further line.
        if (lines.size() > 1 && lines.last().isEmpty()) lines.removeLast();
    }
    // Written beside the target and moved into place when complete, so a
    // failed save never leaves a half-written driver file.
    TTextWriter out;
    out.CreateReplacing(path.toStdString());
    try {
        for (const QString& line : lines) {
            out.Write(line.toLatin1().toStdString());
            out.Write("\r\n");
        }
        out.Close();
    } catch (...) {
        out.CloseQuietly();
        throw;
    }
    g_.DriverFileName = path.toStdString();
    g_.NewDriverFile = false;
    MoDrivers->document()->setModified(false);
    return true;
}

bool TFmNote::ReadsAsDriverFile() {
    const std::vector<TDriverRowProblem> problems =
        CheckDriverText(MoDrivers->toPlainText().toLatin1().toStdString(), g_.ModelDef.numdrive);
    if (problems.empty()) return true;
    const TDriverRowProblem& first = problems.front();
    QString text = QString("Line %1 cannot be read as a row of drivers: %2.")
                       .arg(first.line)
                       .arg(QString::fromStdString(first.reason));
    if (problems.size() == 2) text += " 1 more line cannot be read either.";
    if (problems.size() > 2)
        text += QString(" %1 more lines cannot be read either.").arg(problems.size() - 1);
    text += "\n\nSave the driver file anyway?";
    return dialogs_.MessageDlg(TMsgKind::Warning, text,
                               static_cast<int>(TMsgButton::Yes) | static_cast<int>(TMsgButton::No)) ==
           TMsgButton::Yes;
}

void TFmNote::BtnSaveFileClick() {
    // Declined: the editor stays open with the text, to be put right.
    if (!ReadsAsDriverFile()) return;
    try {
        SaveText();
    } catch (...) {
        // The edits are still here: stay open so the user can try again.
        ReportError(dialogs_, std::current_exception());
        return;
    }
    accept();
}

void TFmNote::BtnCloseClick() {
    bool saved = false;
    if (MoDrivers->document()->isModified()) {
        const TMsgButton answer = dialogs_.MessageDlg(
            TMsgKind::Warning,
            "The changes you made to the drivers are about to be lost. Do you want to save the "
            "driver file before proceeding?",
            static_cast<int>(TMsgButton::Yes) | static_cast<int>(TMsgButton::No));
        if (answer == TMsgButton::Yes) {
            if (!ReadsAsDriverFile()) return;
            try {
                saved = SaveText();
            } catch (...) {
                ReportError(dialogs_, std::current_exception());
                return;
            }
        }
    }
    // A file written on the way out changes the drivers as much as Save
    // File does, so the main window must hear of it the same way.
    if (saved)
        accept();
    else
        QDialog::reject();
}

void TFmNote::reject() { BtnCloseClick(); }

void TFmNote::BtnChooseFileClick() {
    RunGuarded(dialogs_, [this] {
        if (IMainForm* main = MainForm()) main->ChooseDriverFromEditor();
        FormActivate();
    });
}

}  // namespace orvane
