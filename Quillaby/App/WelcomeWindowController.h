#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

namespace Quillaby {

struct WelcomeCard {
    QString symbol;
    QString title;
    QString body;

    static const QList<WelcomeCard>& cards();
};

// Three pages shown once, on the first launch; finishing them runs onFinish.
class WelcomeView : public QWidget {
    Q_OBJECT
public:
    WelcomeView(std::function<void()> onFinish, QWidget* parent = nullptr);
    int index() const { return _index; }
    void showPage(int index);
    QPushButton* backButton() const { return _back; }
    QPushButton* primaryButton() const { return _primary; }
    QLabel* titleLabel() const { return _title; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void primaryPressed();

    std::function<void()> _onFinish;
    int _index = 0;
    QLabel* _symbol = nullptr;
    QLabel* _title = nullptr;
    QLabel* _body = nullptr;
    QList<QWidget*> _dots;
    QPushButton* _back = nullptr;
    QPushButton* _primary = nullptr;
};

class WelcomeWindowController : public QObject {
    Q_OBJECT
public:
    static constexpr QSize contentSize{460, 380};

    explicit WelcomeWindowController(std::function<void()> onFinish);
    ~WelcomeWindowController() override;
    QWidget* window() const { return _window; }
    WelcomeView* view() const { return _view; }
    void showWindow();

private:
    QPointer<QWidget> _window;
    WelcomeView* _view = nullptr;
};

} // namespace Quillaby
