// An ensemble on a thread of its own (the engine's worker threads below
// it), so that the window stays responsive. Progress and the end come back
// to the interface thread as queued calls; the worker touches no widget
// and none of the program's shared values.
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <chrono>
#include <thread>

#include "ensemble/ensemble_run.h"
#include "ensemble/experiment.h"

namespace orvane {

struct TEnsembleEnd {
    bool ok = false;            // false: the ensemble could not run (error says why)
    QString error;
    ensemble::TEnsembleOutcome outcome;
};

class TEnsembleWorker : public QObject, private ensemble::IEngineProgress {
    Q_OBJECT
public:
    explicit TEnsembleWorker(QObject* parent = nullptr);
    // Cancels a run still going and waits for its members in flight.
    ~TEnsembleWorker() override;

    // Starts the ensemble; `options.cancel` and `options.progress` are the
    // worker's own.
    void Start(ensemble::TExperiment e, ensemble::TEnsembleOptions options);
    // Hands out no more members; those in flight finish and are kept.
    void Cancel() { cancel_.store(true); }
    bool Running() const { return thread_.joinable(); }

signals:
    void StatusChanged(const ensemble::TEngineStatus& status);
    void Finished(const TEnsembleEnd& end);

private:
    void Progress(const ensemble::TEngineStatus& status) override;  // on a worker thread
    void Ended(TEnsembleEnd end);

    std::thread thread_;
    std::atomic<bool> cancel_{false};
    std::chrono::steady_clock::time_point lastPost_;
};

}  // namespace orvane
