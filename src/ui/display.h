// The output display: an output file as a table of every variable at every
// output time, or as a point chart of up to 10 chosen variables against a
// chosen independent variable.
#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <memory>

class QAction;
class QButtonGroup;
class QGroupBox;
class QLabel;
class QListWidget;
class QMenu;
class QMenuBar;
class QPushButton;
class QRadioButton;

namespace orvane {

struct TGlobals;
struct TRunTable;
struct TForms;
class IDialogService;
class IMainForm;
class TFitTable;
class TOutputChart;
struct TDisplayComparison;
class TOutputTableModel;
class TOutputTableView;

// Names of the dependent series, 1..10 (slot 0 unused).
using plotarray = std::array<QString, 11>;

inline constexpr int MaxPlotSeries = 10;
inline constexpr const char* MsgTooManySeries = "Cannot display series. Maximum is 10 series.";
inline constexpr const char* MsgInvalidSeries = "Cannot update chart. Invalid series.";
inline constexpr const char* MsgCutOffRowLeftOut = "It is left out: only the rows before it are shown.";
inline constexpr const char* MsgPrintChart = "Print chart to the default printer?";
inline constexpr const char* MsgNoPrinter =
    "No default printer is set up on this computer. The chart was not printed.";

class TFmDisplayData : public QDialog {
    Q_OBJECT
public:
    enum TValueType { ActualValues = 0, RelativeChange = 1, CumulativeChange = 2 };

    // `mainForm` runs New File (the main window's From File command); it may be null.
    TFmDisplayData(TGlobals& g, IDialogService& dialogs, TForms& forms, IMainForm* mainForm,
                   QWidget* parent = nullptr);
    ~TFmDisplayData() override;

    // Opens maximised and modally, in the mode TableMode asks for.
    int ShowModal();

    // Fields.
    QString XSeries = "Time";
    plotarray YSeries;
    int YCount = 0;
    bool DefiningX = false;

    // Controls.
    TOutputTableView* SgModelOutput = nullptr;
    TOutputTableModel* OutputTable = nullptr;
    TOutputChart* ChOutput = nullptr;
    QWidget* PnBottom = nullptr;
    QWidget* PnBottomLeft = nullptr;
    QWidget* PnBottomRight = nullptr;
    QLabel* LbDirections = nullptr;
    QListWidget* LbxSeries = nullptr;
    QGroupBox* RgValueType = nullptr;
    QPushButton* BtnUpdateChart = nullptr;
    QPushButton* BtnClearSeries = nullptr;
    QPushButton* BtnCloseDisplay = nullptr;
    QMenuBar* DisplayMenu = nullptr;
    QMenu* MIWindow = nullptr;
    QAction* MINewFile = nullptr;
    QAction* MIExportTable = nullptr;
    QAction* MICloseDisplay = nullptr;
    QMenu* MIChart = nullptr;
    QMenu* MIXaxis = nullptr;
    QAction* MIDefineX = nullptr;
    QAction* MIScaleX = nullptr;
    QMenu* MIYaxis = nullptr;
    QAction* MIDefineY = nullptr;
    QAction* MIScaleY = nullptr;
    QAction* MIUpdateChart = nullptr;
    QAction* MIPrintChart = nullptr;
    QAction* MISaveImage = nullptr;
    // Observations and a second run drawn with the series.
    QAction* MIObservations = nullptr;
    QAction* MIClearObservations = nullptr;
    QAction* MICompareRun = nullptr;
    QAction* MIClearCompareRun = nullptr;
    QWidget* PnFit = nullptr;
    TFitTable* TblFit = nullptr;
    QLabel* LblFitNotes = nullptr;

    // "Plot as": 0 actual values, 1 relative change, 2 cumulative change.
    int ValueType() const;
    void SetValueType(int index);

    // Handlers.
    void FormCreate();
    void FormShow();
    void FormResize();
    void BtnUpdateChartClick();
    void BtnClearSeriesClick();
    void BtnCloseDisplayClick();
    void ChooseSeries(QObject* sender);
    void ScaleClick(QObject* sender);
    void MINewFileClick();
    void MIPrintChartClick();
    void MISaveImageClick();
    void MIExportTableClick();
    void FillListBox(QListWidget* list);
    void MIObservationsClick();
    void MIClearObservationsClick();
    void MICompareRunClick();
    void MIClearCompareRunClick();

    // Operations.
    void LoadOutput();
    void ClearTable();
    void UpdateChart();
    void CollectYSeries();
    int FindColumn(const QString& name) const;
    void SetAxisScale(bool isX, bool automatic, double minimum = 0, double maximum = 0,
                      double increment = 0);
    void SetAxisLog(bool isX, bool logarithmic);
    void FitListColumns(QListWidget* list);

    // The table as comma-separated values: a row of names, a row of units,
    // then the rows with every digit of the file. False (with a message) on
    // failure.
    bool ExportTable(const QString& path);
    // The chart as a PNG picture, or as PDF when the name ends in ".pdf".
    bool SaveChartImage(const QString& path);

    // Observations and the compared run; false (with a message) when the
    // file cannot be read, and then what was loaded before stays.
    bool LoadObservations(const QString& path);
    bool LoadComparedRun(const QString& path);
    void ClearObservations();
    void ClearComparedRun();
    bool HasObservations() const;
    bool HasComparedRun() const;
    // The compared run minus the shown one at the shown run's times, every
    // variable at full precision, as CSV. False (with a message) on failure.
    bool ExportDifferences(const QString& path);
    // After the table has been exported to tablePath, with a run compared:
    // asks whether to write the differences beside it, as NAME-differences.csv.
    void OfferDifferences(const QString& tablePath);

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildControls();
    void BuildMenu();
    void PrintChart();
    void BuildComparisonControls();
    void DrawOverlays();
    void UpdateFitTable();
    void UpdateComparisonMenu();
    void ShownRunChanged();
    // The shown file at full precision, read when first needed; null (after
    // a message) when it cannot be read.
    const TRunTable* ShownRun();

    TGlobals& g_;
    IDialogService& dialogs_;
    TForms& forms_;
    IMainForm* mainForm_;
    QButtonGroup* valueTypes_ = nullptr;
    std::unique_ptr<TDisplayComparison> comparison_;
};

}  // namespace orvane
