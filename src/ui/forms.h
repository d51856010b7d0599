// The program's windows: each is created once at start-up, in a fixed order,
// and lives until the program ends. Windows reach each other through here.
#pragma once

#include <QString>

namespace orvane {

struct TGlobals;
class IDialogService;
class TMainForm;
class TFmCalculate;
class TDlgScale;
class TDlgReload;
class TFmParameter;
class TDataForm;
class TFmNote;
class TFmDisplayData;
class TFmAbout;
class TFmSeries;
class TFmTrouble;
class TFmProgress;
class TFmAnalysis;

struct TForms {
    TMainForm* MainForm = nullptr;
    TFmCalculate* FmCalculate = nullptr;
    TDlgScale* DlgScale = nullptr;
    TDlgReload* DlgReload = nullptr;
    TFmParameter* FmParameter = nullptr;
    TDataForm* DataForm = nullptr;
    TFmNote* FmNote = nullptr;
    TFmDisplayData* FmDisplayData = nullptr;
    TFmAbout* FmAbout = nullptr;
    TFmSeries* FmSeries = nullptr;
    TFmTrouble* FmTrouble = nullptr;
    TFmProgress* FmProgress = nullptr;
    TFmAnalysis* FmAnalysis = nullptr;
};

// Creates the main window (whose creation gives the shared values their
// start-up values and sets the mode flags from `applicationTitle`), then
// every other window in the program's creation order. The caller owns the
// windows through the returned pointers and deletes them with DestroyForms.
TForms CreateForms(TGlobals& g, IDialogService& dialogs, const QString& applicationTitle);
void DestroyForms(TForms& forms);

}  // namespace orvane
