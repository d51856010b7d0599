// The ensemble engine: members run on a pool of worker threads, one model
// per worker, handed out in small chunks; results reach the sink in member
// order whatever order they finish in.
//
// What a member is stays behind a plain interface: factor values in,
// outputs [variable x time] or a failure out. The model of a site is one
// implementation (TSiteMember); tests put analytic functions in its place.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "ensemble/design.h"

namespace orvane::ensemble {

// Why a member failed. The numbers are stored in result files: never reuse one.
enum class TFailKind : uint8_t {
    None = 0,
    SteadyState = 1,   // the steady-state calculation failed or gave no steady state
    Math = 2,          // a floating-point fault of the model
    StepTooSmall = 3,  // the integrator's step became too small
    TooManySteps = 4,  // the integrator needed too many steps
    NonFinite = 5,     // an output is not a finite number
    Run = 6,           // another error of the run
    Other = 7,         // anything else
};
inline constexpr int FailKindCount = 8;

// "steady_state", "math", ... ("ok" for None).
const char* FailKindName(TFailKind kind);

struct TMemberOutcome {
    TFailKind kind = TFailKind::None;
    std::string message;
    bool Ok() const { return kind == TFailKind::None; }
};

// The size of what a member gives: outputs hold variables x times values,
// variable-major: outputs[v * times + t].
struct TMemberShape {
    int factors = 0;
    int variables = 0;
    int times = 0;
    std::size_t Outputs() const {
        return static_cast<std::size_t>(variables) * static_cast<std::size_t>(times);
    }
};

// One member's evaluation. An instance belongs to one worker at a time and
// keeps whatever state it needs between members; it must not share anything
// mutable with other instances.
class IMemberModel {
public:
    virtual ~IMemberModel() = default;
    // Never throws: a failure is returned with its kind and message. The
    // outputs of a failed member are not used.
    virtual TMemberOutcome Run(std::span<const double> factors, std::span<double> outputs) = 0;
};

// Makes one model per worker; called on the caller's thread before any
// worker starts.
using TModelFactory = std::function<std::unique_ptr<IMemberModel>()>;

// A finished member, as the sink receives it.
struct TMemberRecord {
    std::size_t member = 0;
    TMemberOutcome outcome;
    std::vector<double> factors;
    std::vector<double> outputs;  // empty for a failed member
};

// Receives members in member order, from one thread at a time.
class IMemberSink {
public:
    virtual ~IMemberSink() = default;
    virtual void Append(const TMemberRecord& record) = 0;
    // After each batch of appended members: make them durable.
    virtual void Flush() = 0;
};

struct TEngineStatus {
    std::size_t resumed = 0; // members finished before this run (kept from a journal)
    std::size_t resumedFailed = 0;  // of those, the ones that failed
    std::size_t done = 0;    // members finished in this run (failed included)
    std::size_t failed = 0;
    std::size_t total = 0;   // members this run was asked for
    double seconds = 0;      // since the start
    double rate = 0;         // members per second
    double remaining = 0;    // seconds, estimated
};

class IEngineProgress {
public:
    virtual ~IEngineProgress() = default;
    // Called after each batch reaches the sink, on the thread that wrote it.
    virtual void Progress(const TEngineStatus& status) = 0;
};

struct TEngineOptions {
    int threads = 0;                          // 0: one per core
    std::size_t chunk = 0;                    // members per chunk; 0: chosen from the size
    const std::atomic<bool>* cancel = nullptr;  // set: hand out nothing more
    IEngineProgress* progress = nullptr;
};

struct TEngineResult {
    std::size_t done = 0;  // members that reached the sink, in order from `first`
    std::size_t failed = 0;
    bool cancelled = false;
};

// Runs members first..last-1 of the design. The chunks are whole groups of
// the design. After a cancel, members in flight finish and the unbroken run
// of finished members from `first` reaches the sink; later ones are dropped.
// An error of the sink stops everything and is raised here once the workers
// have ended.
TEngineResult RunMembers(const IDesign& design, const TMemberShape& shape,
                         const TModelFactory& factory, std::size_t first, std::size_t last,
                         IMemberSink& sink, const TEngineOptions& options);

}  // namespace orvane::ensemble
