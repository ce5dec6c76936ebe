#include "App/FirstFrame.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <utility>
#include <vector>

namespace Quillaby {

namespace {

class PaintWatch : public QObject {
public:
    // One per application object: it goes with it.
    static PaintWatch& shared() {
        static QPointer<PaintWatch> watch;
        if (!watch) watch = new PaintWatch(QCoreApplication::instance());
        return *watch;
    }

    void add(QObject* context, std::function<void()> work) {
        if (_painted) {
            QTimer::singleShot(0, context, std::move(work));
            return;
        }
        if (_waiting.empty()) QCoreApplication::instance()->installEventFilter(this);
        _waiting.push_back({context, std::move(work)});
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint || !watched->isWidgetType()) return false;
        _painted = true;
        QCoreApplication::instance()->removeEventFilter(this);
        // Posted now, run once the paint and its flush to the screen are done.
        for (auto& [context, work] : std::exchange(_waiting, {}))
            if (context) QTimer::singleShot(0, context.data(), std::move(work));
        return false;
    }

private:
    using QObject::QObject;

    bool _painted = false;
    std::vector<std::pair<QPointer<QObject>, std::function<void()>>> _waiting;
};

} // namespace

void FirstFrame::whenPainted(QObject* context, std::function<void()> work) {
    PaintWatch::shared().add(context, std::move(work));
}

} // namespace Quillaby
