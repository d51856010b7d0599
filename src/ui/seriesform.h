// The series chooser: picks the variable of the chart's independent axis, or
// the variables of its dependent axis.
#pragma once

#include <QDialog>

class QListWidget;
class QPushButton;

namespace orvane {

struct TGlobals;
struct TForms;
class IDialogService;

class TFmSeries : public QDialog {
    Q_OBJECT
public:
    TFmSeries(TGlobals& g, IDialogService& dialogs, TForms& forms, QWidget* parent = nullptr);

    QListWidget* LbxChooseSeries = nullptr;
    QPushButton* BtnClearSelection = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

    void FormShow();
    void OKBtnClick();
    void BtnClearSelectionClick();
    void FormResize();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    TGlobals& g_;
    TForms& forms_;
};

}  // namespace orvane
