// The main window's fields and what a user sees of them: edits taken before
// any command, refused entries put back, the time a run has reached.
#include <QLineEdit>
#include <QScopedValueRollback>

#include "io/numfmt.h"
#include "run/run.h"
#include "ui/mainform.h"

namespace orvane {

void TMainForm::TakeFieldEdits() {
    const QScopedValueRollback<bool> busy(ignoreLeave_, true);
    for (QLineEdit* field : {ParamBox, DriverBox, OutputBox, MEStartTime, MEStopTime, METimeStep})
        if (edited_.contains(field)) FieldLeft(field);
}

void TMainForm::AcceptTimeText(QLineEdit* field) { inUse_[field] = field->text(); }

void TMainForm::ShowValueInUse(QLineEdit* field) {
    // The text that was accepted, rather than the number formatted again: a
    // step such as 1e-4 has no general form that fits the field's 5 places.
    field->setText(inUse_.value(field));
}

void TMainForm::ShowRunTime(double time) {
    PresentBox->setText(QString::fromStdString(FormatGeneral(time, 5)));
}

void TMainForm::ReportCancelledRun(const TRunResult& result) {
    const QString rows = result.rowsWritten == 1 ? QString("1 row")
                                                 : QString("%1 rows").arg(result.rowsWritten);
    dialogs_.MessageDlg(TMsgKind::Information,
                        "Run cancelled at time " + QString::fromStdString(FormatGeneral(g_.CurrentTime)) +
                            ". The output file " + QString::fromStdString(g_.OutputFileName) +
                            " holds the " + rows + " written so far.",
                        static_cast<int>(TMsgButton::OK));
}

}  // namespace orvane
