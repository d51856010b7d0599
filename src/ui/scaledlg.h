// The axis dialog: sets one axis of the output chart to automatic or fixed
// limits, and to a linear or logarithmic scale.
#pragma once

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace orvane {

struct TGlobals;
struct TForms;
class IDialogService;

class TDlgScale : public QDialog {
    Q_OBJECT
public:
    TDlgScale(TGlobals& g, IDialogService& dialogs, TForms& forms, QWidget* parent = nullptr);

    QGroupBox* RGAxisType = nullptr;
    QRadioButton* RbLinear = nullptr;
    QRadioButton* RbLogarithmic = nullptr;
    QLabel* LblScale = nullptr;
    QLineEdit* EdMinValue = nullptr;
    QLineEdit* EdMaxValue = nullptr;
    QLineEdit* EdIncrem = nullptr;  // never shown: hands the label step back unchanged
    QCheckBox* CBAuto = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

    void FormShow();
    void OKBtnClick();
    void EditExit(QLineEdit* edit);
    void RGAxisTypeExit();

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool inAxisType_ = false;  // the axis-type group was the last control used

    IDialogService& dialogs_;
    TForms& forms_;
};

}  // namespace orvane
