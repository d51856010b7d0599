#include "ui/analysis/analysis_worker.h"

#include <exception>

namespace orvane {

TEnsembleWorker::TEnsembleWorker(QObject* parent) : QObject(parent) {}

TEnsembleWorker::~TEnsembleWorker() {
    cancel_.store(true);
    if (thread_.joinable()) thread_.join();
}

void TEnsembleWorker::Start(ensemble::TExperiment e, ensemble::TEnsembleOptions options) {
    if (thread_.joinable()) thread_.join();
    cancel_.store(false);
    lastPost_ = {};
    options.cancel = &cancel_;
    options.progress = this;
    thread_ = std::thread([this, e = std::move(e), options = std::move(options)] {
        TEnsembleEnd end;
        try {
            end.outcome = ensemble::RunEnsemble(e, options);
            end.ok = true;
        } catch (const std::exception& err) {
            end.error = QString::fromStdString(err.what());
        }
        QMetaObject::invokeMethod(this, [this, end] { Ended(end); }, Qt::QueuedConnection);
    });
}

void TEnsembleWorker::Progress(const ensemble::TEngineStatus& status) {
    // A few updates a second are all a progress bar can show.
    const auto now = std::chrono::steady_clock::now();
    if (status.done < status.total && now - lastPost_ < std::chrono::milliseconds(100)) return;
    lastPost_ = now;
    QMetaObject::invokeMethod(this, [this, status] { emit StatusChanged(status); }, Qt::QueuedConnection);
}

void TEnsembleWorker::Ended(TEnsembleEnd end) {
    if (thread_.joinable()) thread_.join();
    emit Finished(end);
}

}  // namespace orvane
