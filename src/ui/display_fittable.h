// The table of fit statistics under the output display's chart: one row per
// observed variable (and per run, when a second run is compared). Cells show
// 6 significant digits; copying gives every digit, tab-separated, so that it
// pastes into a spreadsheet as the numbers themselves.
#pragma once

#include <QTableWidget>
#include <vector>

#include "obs/fit.h"

namespace orvane {

class TFitTable : public QTableWidget {
    Q_OBJECT
public:
    explicit TFitTable(QWidget* parent = nullptr);

    struct TRunFitRows {
        QString run;  // the file's name, shown in a first column when several runs are fitted
        TRunFit fit;
    };
    void SetFits(const std::vector<TRunFitRows>& fits);

    // The selected cells (every cell when none is selected) with their
    // header, tab-separated, at full precision.
    QString CopyText() const;
    void CopyToClipboard() const;

    // The height that shows every row without scrolling, up to `limit`.
    int WantedHeight(int limit) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace orvane
