#include "shell/RunThread.h"

#include <QMetaObject>
#include <QThread>

namespace bv::shell {

// Takes the run's calls on the run's thread: notes them and lets the window know.
class RunThread::Observer : public conversion::RunObserver {
public:
    explicit Observer(RunThread& owner) : owner_(owner) {}

    void MailboxStarted(int index, int count, const std::string& fileName) override {
        {
            std::lock_guard lock(owner_.mutex_);
            owner_.progress_.mailboxIndex = index;
            owner_.progress_.mailboxCount = count;
            if (!fileName.empty()) owner_.progress_.fileName = QString::fromStdString(fileName);
        }
        owner_.Changed();
    }
    void MessageWritten(int32_t number) override {
        {
            std::lock_guard lock(owner_.mutex_);
            owner_.progress_.saved = number;
        }
        owner_.Changed();
    }
    void BytesRead(uint64_t done, uint64_t total) override {
        {
            std::lock_guard lock(owner_.mutex_);
            owner_.progress_.bytesDone = done;
            owner_.progress_.bytesTotal = total;
        }
        owner_.Changed();
    }
    bool StopRequested() const override { return owner_.stop_; }
    bool WantsItems() const override { return owner_.reportFile_ != nullptr; }
    void ItemDone(const conversion::ItemOutcome& outcome) override { owner_.reportFile_->Write(outcome); }

private:
    RunThread& owner_;
};

RunThread::RunThread(conversion::RunOptions options, QObject* parent)
    : QObject(parent), options_(std::move(options)), observer_(std::make_unique<Observer>(*this)) {}

RunThread::~RunThread() {
    if (!thread_) return;
    stop_ = true;
    thread_->wait();
    delete thread_;
}

void RunThread::Start() {
    if (!reportPath_.empty()) {
        try {
            reportFile_ = std::make_unique<conversion::ItemReportFile>(reportPath_);
        } catch (const std::exception&) {
            // The run goes on without its report.
        }
    }
    thread_ = QThread::create([this] { report_ = conversion::RunConversion(options_, *observer_); });
    // QThread::finished comes on the run's thread; this object lives on the window's,
    // so the slot runs there, after the report is complete.
    connect(thread_, &QThread::finished, this, [this] {
        finished_ = true;
        Q_EMIT done();
    });
    thread_->start();
}

RunThread::Progress RunThread::progress() const {
    std::lock_guard lock(mutex_);
    return progress_;
}

// One delivery waiting at a time: a run writing thousands of messages a second does
// not flood the window's event queue.
void RunThread::Changed() {
    if (signalWaiting_.exchange(true)) return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            signalWaiting_ = false;
            Q_EMIT progressed();
        },
        Qt::QueuedConnection);
}

}  // namespace bv::shell
