// The output display's ways out: printing the chart, saving it as a picture,
// and exporting the table for other programs.
#include <QFileInfo>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSaveFile>

#include "io/numfmt.h"
#include "ui/dialogs.h"
#include "ui/display.h"
#include "ui/display_chart.h"
#include "ui/display_table.h"

namespace orvane {

namespace {

constexpr int kOK = static_cast<int>(TMsgButton::OK);

QByteArray CsvField(const QString& text) {
    QByteArray s = text.toUtf8();
    if (s.contains(',') || s.contains('"') || s.contains('\n') || s.contains('\r')) {
        s.replace("\"", "\"\"");
        s = '"' + s + '"';
    }
    return s;
}

// Asks where to save; empty when cancelled. A name without a suffix gets
// the default one.
QString AskSavePath(IDialogService& dialogs, const QString& title, const QString& defaultExt,
                    const QList<TFileFilter>& filters) {
    TFileDialogSpec dlgSpec;
    dlgSpec.title = title;
    dlgSpec.defaultExt = defaultExt;
    dlgSpec.filters = filters;
    dlgSpec.promptOverwrite = true;
    QString path;
    if (!dialogs.SaveFile(dlgSpec, path) || path.isEmpty()) return {};
    if (QFileInfo(path).suffix().isEmpty()) path += "." + defaultExt;
    return path;
}

}  // namespace

void TFmDisplayData::MIPrintChartClick() {
    const TMsgButton answer = dialogs_.MessageDlg(TMsgKind::Information, MsgPrintChart,
                                                  kOK | static_cast<int>(TMsgButton::Cancel));
    if (answer == TMsgButton::OK) PrintChart();
}

void TFmDisplayData::PrintChart() {
    // Without a printer a print job silently produces nothing; say so instead.
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
        dialogs_.MessageDlg(TMsgKind::Error, MsgNoPrinter, kOK);
        return;
    }
    // Screen resolution keeps the chart's text in proportion when it is
    // scaled up to the page.
    QPrinter printer(info, QPrinter::ScreenResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setDocName(ChOutput->Title());
    if (!ChOutput->PrintOn(printer))
        dialogs_.MessageDlg(TMsgKind::Error,
                            "The chart could not be sent to the printer " + info.printerName() + ".", kOK);
}

void TFmDisplayData::MISaveImageClick() {
    const QString path = AskSavePath(dialogs_, "Save Chart Image", "png",
                                     {{"PNG Images (*.png)", "*.png"}, {"PDF Documents (*.pdf)", "*.pdf"}});
    if (!path.isEmpty()) SaveChartImage(path);
}

bool TFmDisplayData::SaveChartImage(const QString& path) {
    const bool shown = ChOutput->isVisible() && ChOutput->width() > 200 && ChOutput->height() > 150;
    const int w = shown ? ChOutput->width() : 1000;
    const int h = shown ? ChOutput->height() : 700;
    const bool pdf = QFileInfo(path).suffix().compare("pdf", Qt::CaseInsensitive) == 0;
    const bool ok = pdf ? ChOutput->savePdf(path, w, h) : ChOutput->savePng(path, w, h);
    if (!ok) dialogs_.MessageDlg(TMsgKind::Error, "Cannot save the chart to " + path + ".", kOK);
    return ok;
}

void TFmDisplayData::MIExportTableClick() {
    const QString path = AskSavePath(dialogs_, "Export Table", "csv",
                                     {{"CSV Files (*.csv)", "*.csv"}, {"All Files (*.*)", "*.*"}});
    if (!path.isEmpty() && ExportTable(path)) OfferDifferences(path);
}

bool TFmDisplayData::ExportTable(const QString& path) {
    const int cols = OutputTable->Columns();
    QByteArray text;
    text.reserve(static_cast<qsizetype>(OutputTable->DataRowCount() + 2) * cols * 11);
    auto headerRow = [&](auto field) {
        for (int c = 0; c < cols; ++c) {
            if (c > 0) text += ',';
            text += CsvField(field(c));
        }
        text += "\r\n";
    };
    headerRow([this](int c) { return OutputTable->Name(c); });
    headerRow([this](int c) { return OutputTable->Units(c); });
    for (int r = 0; r < OutputTable->DataRowCount(); ++r) {
        for (int c = 0; c < cols; ++c) {
            if (c > 0) text += ',';
            text += FormatG4(OutputTable->Value(r, c)).c_str();
        }
        text += "\r\n";
    }
    // Written beside the target and renamed over it only when complete, so a
    // failed export never leaves half a file in place of a good one.
    QSaveFile file(path);
    const bool ok = file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit();
    if (!ok)
        dialogs_.MessageDlg(TMsgKind::Error, "Cannot export the table to " + path + ": " + file.errorString(),
                            kOK);
    return ok;
}

}  // namespace orvane
