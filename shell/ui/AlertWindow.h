#pragma once

#include "shell/ui/Window.h"

class QLabel;

// The client's own modal alert window: a message with "确认" and "取消",
// centred over its parent. It closes itself when the screen locks (type 3).
class AlertWindow final : public ui::Window {
    Q_OBJECT
public:
    explicit AlertWindow(QWidget* parentWindow = nullptr);
    ~AlertWindow() override;

    // 1 from "确认", 0 from "取消", from closing and from a lock.
    static int runModalForParentWindow(QWidget* parentWindow, const QString& title, const QString& content);

    QLabel* contentText() const { return contentText_; }

private:
    QLabel* contentText_ = nullptr;
};
