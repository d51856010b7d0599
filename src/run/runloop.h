// The run's step loop on its own, apart from where its drivers come from and
// where its rows go: the single run reads the driver file and writes the
// output file; an analysis steps a driver table in memory and keeps what it
// needs of each row.
#pragma once

#include "io/drivertable.h"
#include "model/globals.h"
#include "run/run.h"

namespace orvane {

// Where the drivers come from: the values in force at a time, for times that
// never decrease within one run.
class IDriverSource {
public:
    virtual ~IDriverSource() = default;
    virtual void Get(drivearray& target, double t) = 0;
};

// Where the rows go: one call per output row, with g.Drivers, g.States and
// g.Processes as they are in memory when the row is due.
class IRowSink {
public:
    virtual ~IRowSink() = default;
    virtual void Row(double time, const TGlobals& g) = 0;
};

// The shared driver-file reader of g (the file must be open, the pass begun).
class TFileDriverSource final : public IDriverSource {
public:
    explicit TFileDriverSource(TGlobals& g) : g_(g) {}
    void Get(drivearray& target, double t) override;

private:
    TGlobals& g_;
};

// A driver table, through a cursor of the caller's (restarted by the caller).
class TTableDriverSource final : public IDriverSource {
public:
    explicit TTableDriverSource(TDriverCursor& cursor) : cursor_(cursor) {}
    void Get(drivearray& target, double t) override { cursor_.Get(target, t); }

private:
    TDriverCursor& cursor_;
};

// The output file: created with its header by Open, one row per call. The
// file is closed by the caller (CloseOutputFile), whatever way the run ends.
class TOutputFileSink final : public IRowSink {
public:
    explicit TOutputFileSink(TGlobals& g) : g_(g) {}
    void Open();
    void Row(double time, const TGlobals& g) override;
    int Rows() const { return rows_; }

private:
    TGlobals& g_;
    int rows_ = 0;
};

// What a variable of a row is: a driver, a state or a process and its index.
enum class TRowPart : unsigned char { Driver, State, Process };
struct TRowVariable {
    TRowPart part = TRowPart::State;
    int index = 0;
};

// Keeps chosen variables at chosen rows in a caller's buffer laid out
// [variable][kept row]: out[v * keptRows + j]. `keep[r]` says whether row r
// (0 = the start row) is kept; rows past the end of `keep` are dropped.
// Values are copied exactly as they are in memory.
class TMemorySink final : public IRowSink {
public:
    TMemorySink(const TRowVariable* vars, int numVars, const char* keep, int numRows, double* out,
                int keptRows)
        : vars_(vars), numVars_(numVars), keep_(keep), numRows_(numRows), out_(out),
          keptRows_(keptRows) {}
    void Row(double time, const TGlobals& g) override;
    int RowsSeen() const { return row_; }
    int RowsKept() const { return kept_; }

private:
    const TRowVariable* vars_;
    int numVars_;
    const char* keep_;
    int numRows_;
    double* out_;
    int keptRows_;
    int row_ = 0;
    int kept_ = 0;
};

// The run sequence after its files are open: from g.StartTime in whole steps
// of g.TimeStep up to g.StopTime, the drivers of each step from `drivers`,
// the start row and one row every OutputStep / TimeStep steps to `rows`.
// g.States, g.Drivers, g.Processes and g.CurrentTime change as the run goes;
// afterwards (normally or by an error) they hold the end of the last
// completed step. Errors pass on; EUserCancel from `progress` ends the run
// after a complete step.
void RunSteps(TGlobals& g, IDriverSource& drivers, IRowSink& rows, IRunProgress* progress);

}  // namespace orvane
