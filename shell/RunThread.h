// The conversion run on a thread of its own. The window starts it and follows it
// through queued signals: the run never waits for the window, so a box left open
// or a slow repaint does not hold up the conversion.
#pragma once
#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "conversion/ConversionRun.h"
#include "conversion/ItemReport.h"

class QThread;

namespace bv::shell {

class RunThread : public QObject {
    Q_OBJECT

public:
    // What the run has told so far.
    struct Progress {
        int mailboxIndex = -1;  // from 0; -1 before the first mailbox
        int mailboxCount = 0;
        QString fileName;       // of the last mailbox that had one
        int32_t saved = 0;      // the last message handed to its output
        uint64_t bytesDone = 0;
        uint64_t bytesTotal = 0;
    };

    explicit RunThread(conversion::RunOptions options, QObject* parent = nullptr);
    // A run still under way is asked to stop and waited for.
    ~RunThread() override;

    // Before Start: the run's report (ItemReportFile) is written to `path` as it goes.
    void ReportTo(std::string path) { reportPath_ = std::move(path); }
    void Start();
    // The run ends after the message in hand; open stores and files are finished.
    void RequestStop() { stop_ = true; }
    bool stopRequested() const { return stop_; }
    bool finished() const { return finished_; }

    Progress progress() const;
    // The run's report; complete once finished() is true.
    const conversion::RunReport& report() const { return report_; }

Q_SIGNALS:
    // The progress changed. Delivered on the window's thread; while one is waiting
    // to be delivered, later changes ride on it.
    void progressed();
    // The run has ended and its report is complete.
    void done();

private:
    class Observer;
    void Changed();

    const conversion::RunOptions options_;
    std::unique_ptr<Observer> observer_;
    QThread* thread_ = nullptr;
    conversion::RunReport report_;
    std::string reportPath_;
    std::unique_ptr<conversion::ItemReportFile> reportFile_;
    mutable std::mutex mutex_;
    Progress progress_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> signalWaiting_{false};
    bool finished_ = false;
};

}  // namespace bv::shell
