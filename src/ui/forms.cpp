// Creation and destruction of the program's windows, in their fixed order.
#include "ui/forms.h"

#include "ui/aboutbox.h"
#include "ui/analysis/analysis.h"
#include "ui/calculate_form.h"
#include "ui/data.h"
#include "ui/display.h"
#include "ui/mainform.h"
#include "ui/note.h"
#include "ui/params.h"
#include "ui/progress.h"
#include "ui/reloaddlg.h"
#include "ui/scaledlg.h"
#include "ui/seriesform.h"
#include "ui/trouble.h"
// Headers of the other windows go here.

namespace orvane {

TForms CreateForms(TGlobals& g, IDialogService& dialogs, const QString& applicationTitle) {
    // The main window first: its creation gives the shared values their
    // start-up values and fills the catalogue that the other windows use.
    auto* main = new TMainForm(g, dialogs, applicationTitle);
    TForms& f = main->Forms();
    f.MainForm = main;

    // The other windows, in creation order. Each is a top-level window: the
    // main window is disabled during a run, and that must not disable them.
    // TFmCalculate (steady-state window):
    f.FmCalculate = new TFmCalculate(g, dialogs, f);
    // TDlgScale (axis-scale dialog):
    f.DlgScale = new TDlgScale(g, dialogs, f);
    // TDlgReload (reload dialog):
    f.DlgReload = new TDlgReload(g, dialogs, f);
    // TFmParameter (parameter editor):
    f.FmParameter = new TFmParameter(g, dialogs, f);
    // TDataForm (state and process tables):
    f.DataForm = new TDataForm(g, dialogs, f);
    // TFmNote (driver editor):
    f.FmNote = new TFmNote(g, dialogs, f);
    // TFmDisplayData (output display):
    f.FmDisplayData = new TFmDisplayData(g, dialogs, f, main);
    f.FmAbout = new TFmAbout(g, dialogs, f);
    // TFmSeries (series chooser):
    f.FmSeries = new TFmSeries(g, dialogs, f);
    f.FmTrouble = new TFmTrouble(g, dialogs, f);
    f.FmProgress = new TFmProgress(g, dialogs, f);
    // TFmAnalysis (ensembles and sensitivity analyses):
    f.FmAnalysis = new TFmAnalysis(g, dialogs);
    return f;
}

namespace {
template <class T>
void DeleteForm(T*& form) {
    delete form;
    form = nullptr;
}
}  // namespace

void DestroyForms(TForms& forms) {
    if (!forms.MainForm) return;
    // The registry lives in the main window, so it goes last; the others in
    // reverse creation order.
    TForms& f = forms.MainForm->Forms();
    DeleteForm(f.FmAnalysis);
    DeleteForm(f.FmProgress);
    DeleteForm(f.FmTrouble);
    // Delete TFmSeries here:
    DeleteForm(f.FmSeries);
    DeleteForm(f.FmAbout);
    // Delete, in this order, TFmDisplayData, TFmNote, TDataForm, TFmParameter,
    // TDlgReload, TDlgScale and TFmCalculate here:
    DeleteForm(f.FmDisplayData);
    DeleteForm(f.FmNote);
    DeleteForm(f.DlgScale);
    DeleteForm(f.DataForm);
    DeleteForm(f.FmParameter);
    DeleteForm(f.DlgReload);
    DeleteForm(f.FmCalculate);
    TMainForm* main = f.MainForm;
    f.MainForm = nullptr;
    delete main;
    forms = TForms{};
}

}  // namespace orvane
