// The error-picture window: the about window's layout with a picture and
// the message of the error that stopped a run.
#pragma once

#include "ui/aboutbox.h"

class QPlainTextEdit;

namespace orvane {

class TFmTrouble;

// The picture beside the message; a click on it is the window's small joke.
class TTroublePicture : public QWidget {
public:
    TTroublePicture(TFmTrouble* owner, QWidget* parent);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    TFmTrouble* owner_;
};

class TFmTrouble : public TFmAbout {
    Q_OBJECT

public:
    TFmTrouble(TGlobals& g, IDialogService& dialogs, TForms& forms, QWidget* parent = nullptr);

    // Replaces the shown message by `message` as its only line.
    void SetMessage(const QString& message);
    // A click on the picture.
    void Image1Click();

    TTroublePicture* Image1 = nullptr;
    QLabel* LblTrouble = nullptr;
    QPlainTextEdit* MmError = nullptr;
};

}  // namespace orvane
