#pragma once

#include <QPointer>
#include <QWidget>

namespace Quillaby {

// The content of the About window: the product's symbol, name, version, tagline and a link to the
// home page, in a fixed 360 x 420 column.
class AboutView : public QWidget {
    Q_OBJECT

public:
    explicit AboutView(QWidget* parent = nullptr);
};

// The single About window, reached from the application menu. Made on first use and kept: closing it
// only hides it, and showing it again brings back the same window where the user left it (it is
// centred once, when made).
class AboutWindowController {
public:
    static AboutWindowController& shared();

    QWidget* window() const { return _window; }
    // Shows the window, makes it the key window and brings it to the front.
    void showWindow();

    AboutWindowController(const AboutWindowController&) = delete;
    AboutWindowController& operator=(const AboutWindowController&) = delete;

private:
    AboutWindowController();

    QPointer<QWidget> _window;
};

} // namespace Quillaby
