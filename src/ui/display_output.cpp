// The output display's ways out: printing the chart, saving it as a picture,
// and exporting the table for other programs.
#include <QFileInfo>
#include <QPrinter>
#include <QPrinterInfo>

#include "io/outputtable.h"
#include "ui/dialogs.h"
#include "ui/display.h"
#include "ui/display_chart.h"
#include "ui/display_table.h"

namespace orvane {

namespace {

constexpr int kOK = static_cast<int>(TMsgButton::OK);

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
    try {
        WriteOutputTableCsv(path.toStdString(), OutputTable->Data());
        return true;
    } catch (const std::exception& e) {
        dialogs_.MessageDlg(TMsgKind::Error, "Cannot export the table to " + path + ": " + e.what(), kOK);
        return false;
    }
}

}  // namespace orvane
