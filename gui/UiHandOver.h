#pragma once

#include <QObject>
#include <atomic>
#include <functional>

namespace quillon::gui {

// Carries calls of worker and reader threads over to the GUI thread. A
// blocking hand-over returns only once the call has run there, so a log line
// or a list row is on screen when the worker goes on; on the GUI thread
// itself the call runs at once. After shutDown() nothing is carried over any
// more and waiting threads are released, so a window that is going away never
// deadlocks against a worker that waits for it.
class UiHandOver : public QObject {
    Q_OBJECT

  public:
    explicit UiHandOver(QObject* parent = nullptr);
    ~UiHandOver() override;

    // Runs `call` on the GUI thread and waits for it; false when it did not
    // run because the hand-over was shut down.
    bool runAndWait(std::function<void()> call);

    // Queues `call` for the GUI thread without waiting.
    void post(std::function<void()> call);

    // Final: pending and later calls are dropped, waiting threads released.
    void shutDown();
    bool isShutDown() const { return m_shutDown.load(); }

  protected:
    void customEvent(QEvent* event) override;

  private:
    std::atomic<bool> m_shutDown{false};
};

} // namespace quillon::gui
