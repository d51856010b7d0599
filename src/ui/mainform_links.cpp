// Main-window commands that open the other windows. Each is one small
// function so that the window it opens can take it over on its own.
#include "ui/mainform.h"
#include "ui/analysis/analysis.h"
#include "ui/calculate_form.h"
#include "ui/data.h"
#include "ui/display.h"
#include "ui/note.h"
#include "ui/params.h"
#include "ui/reloaddlg.h"

namespace orvane {

// Output > Chart / Table.
void TMainForm::DisplayOutput(bool tableMode) {
    g_.TableMode = tableMode;
    forms_.FmDisplayData->ShowModal();
}

// Edit > Parameters.
void TMainForm::MIEditParamClick() {
    if (forms_.FmParameter->ShowModal() != QDialog::Accepted) return;
    g_.OutputCurrent = false;
    UpdateMainForm();
}

// Edit > State Variables.
void TMainForm::MIEditStatesClick() {
    forms_.DataForm->ShowStates();
    UpdateMainForm();
}

// Files > Driver File > Edit..., and Edit > Drivers.
void TMainForm::MIEditDrvClick() {
    if (forms_.FmNote->ShowModal() != QDialog::Accepted) return;
    g_.OutputCurrent = false;
    g_.RunEnabled = false;
    UpdateMainForm();
}

// Calculate > Steady State.
void TMainForm::MICalcSSClick() { forms_.FmCalculate->ShowModalForm(); }

// Analysis > Ensemble...
void TMainForm::MIEnsembleClick() { forms_.FmAnalysis->ShowFromMain(); }

// The Reload button.
void TMainForm::BtnReloadClick() {
    if (g_.ParamFileName.empty()) {
        dialogs_.MessageDlg(TMsgKind::Warning, "Invalid parameter file. No values reloaded.",
                            static_cast<int>(TMsgButton::OK));
        return;
    }
    if (forms_.DlgReload->ShowModal() != QDialog::Accepted) return;
    g_.OutputCurrent = false;
    UpdateMainForm();
}

}  // namespace orvane
