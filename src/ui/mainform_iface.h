// What the other windows call on the main window.
#pragma once

namespace orvane {

class IMainForm {
public:
    virtual ~IMainForm() = default;
    // Re-evaluates menus, buttons and fields from the shared state.
    virtual void UpdateMainForm() = 0;
    // ChooseDriver with the driver editor as source (the open-driver dialog).
    virtual void ChooseDriverFromEditor() = 0;
    // Saves States and Params to ParamFileName.
    virtual void MISaveParamClick() = 0;
    // Output > From File.
    virtual void MIViewOutFileClick() = 0;
    // The text of the time-step field (the run resets TimeStep from it).
    virtual double TimeStepFieldValue() const = 0;
};

}  // namespace orvane
