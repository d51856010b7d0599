// Main-window commands that open the other windows. Each is one small
// function so that the window it opens can take it over on its own.
#include "ui/mainform.h"
#include "ui/calculate_form.h"
#include "ui/data.h"

namespace orvane {

// Output > Chart / Table.
void TMainForm::DisplayOutput(bool tableMode) {
    (void)tableMode;
}

// Edit > Parameters.
void TMainForm::MIEditParamClick() {}

// Edit > State Variables.
void TMainForm::MIEditStatesClick() {
    forms_.DataForm->ShowStates();
    UpdateMainForm();
}

// Files > Driver File > Edit..., and Edit > Drivers.
void TMainForm::MIEditDrvClick() {}

// Calculate > Steady State.
void TMainForm::MICalcSSClick() { forms_.FmCalculate->ShowModalForm(); }

// The Reload button.
void TMainForm::BtnReloadClick() {}

}  // namespace orvane
