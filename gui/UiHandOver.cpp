#include "UiHandOver.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace quillon::gui {
namespace {

const QEvent::Type kCallEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

// What a waiting thread and the GUI thread share for one call.
struct CallState {
    std::mutex mutex;
    std::condition_variable doneChanged;
    bool done = false;
    bool ran = false;
};

class CallEvent : public QEvent {
  public:
    CallEvent(std::function<void()> call, std::shared_ptr<CallState> state)
        : QEvent(kCallEvent), m_call(std::move(call)), m_state(std::move(state)) {}

    // An event dropped unrun (object gone, application quit) still releases
    // its waiter.
    ~CallEvent() override { finish(false); }

    void run() {
        m_call();
        finish(true);
    }

  private:
    void finish(bool ran) {
        if (!m_state)
            return;
        {
            std::lock_guard lock(m_state->mutex);
            m_state->done = true;
            m_state->ran = ran;
        }
        m_state->doneChanged.notify_all();
        m_state.reset();
    }

    std::function<void()> m_call;
    std::shared_ptr<CallState> m_state;
};

} // namespace

UiHandOver::UiHandOver(QObject* parent) : QObject(parent) {}

UiHandOver::~UiHandOver() {
    shutDown();
}

bool UiHandOver::runAndWait(std::function<void()> call) {
    if (m_shutDown.load())
        return false;
    if (QThread::currentThread() == thread()) {
        call();
        return true;
    }
    auto state = std::make_shared<CallState>();
    QCoreApplication::postEvent(this, new CallEvent(std::move(call), state));
    std::unique_lock lock(state->mutex);
    // Woken by the call's end; checked again every 50 ms for a shutdown.
    while (!state->done) {
        if (m_shutDown.load())
            return false;
        state->doneChanged.wait_for(lock, std::chrono::milliseconds(50));
    }
    return state->ran;
}

void UiHandOver::post(std::function<void()> call) {
    if (m_shutDown.load())
        return;
    QCoreApplication::postEvent(this, new CallEvent(std::move(call), nullptr));
}

void UiHandOver::shutDown() {
    m_shutDown.store(true);
}

void UiHandOver::customEvent(QEvent* event) {
    if (event->type() != kCallEvent)
        return;
    if (!m_shutDown.load())
        static_cast<CallEvent*>(event)->run();
}

} // namespace quillon::gui
