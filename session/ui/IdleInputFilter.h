#pragma once

#include <QObject>
#include <functional>

// Watches every input event of the application (installed on the
// application object) and reports it; the events go on unchanged.
class IdleInputFilter final : public QObject {
    Q_OBJECT
public:
    explicit IdleInputFilter(std::function<void()> input, QObject* parent = nullptr);
    static bool isInput(int eventType);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> input_;
};
