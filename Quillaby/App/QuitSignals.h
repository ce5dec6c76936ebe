#pragma once

#include <QObject>

class QSocketNotifier;

namespace Quillaby {

// SIGTERM and SIGINT end the application through its event loop, so quitting saves and ends the shells
// as the Quit action does. The handler only writes a byte to a pipe.
class QuitSignals : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

signals:
    void quitRequested(int signal);

private:
    QSocketNotifier* _notifier = nullptr;
};

} // namespace Quillaby
