#include "wizard/wait_box.h"

#include <QKeyEvent>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace restorix::wizard {

WaitBox::WaitBox(UiQueue& ui, std::chrono::milliseconds minimum, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), ui_(ui), minimum_(minimum) {
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(kPleaseWait, this));
    setFixedSize(sizeHint().expandedTo(QSize(180, 60)));
}

WaitBox::~WaitBox() {
    if (worker_.joinable()) worker_.join();
}

void WaitBox::run(Job job, Done done) {
    if (worker_.joinable()) worker_.join();
    done_ = std::move(done);
    running_ = true;
    shown_.start();
    show();
    worker_ = std::thread([this, job = std::move(job)] {
        PreviewList result;
        std::exception_ptr failure;
        try {
            result = job();
        } catch (...) {
            // Handed on to the window, which tells it: a list left empty would look like a table without rows.
            failure = std::current_exception();
        }
        ui_.post([this, result = std::move(result), failure]() mutable { jobEnded(std::move(result), failure); });
    });
}

void WaitBox::jobEnded(PreviewList result, std::exception_ptr failure) {
    const auto remaining = minimum_.count() - shown_.elapsed();
    if (remaining > 0) {
        QTimer::singleShot(static_cast<int>(remaining), this, [this, result = std::move(result), failure]() mutable {
            jobEnded(std::move(result), failure);
        });
        return;
    }
    if (worker_.joinable()) worker_.join();
    running_ = false;
    hide();
    if (done_) std::exchange(done_, nullptr)(std::move(result), failure);
}

void WaitBox::keyPressEvent(QKeyEvent* event) {
    event->ignore();  // nothing dismisses the box while the job runs
}

}  // namespace restorix::wizard
