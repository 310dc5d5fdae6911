#pragma once

#include "shell/ui/Window.h"

// The cover: a nearly transparent window laid over its parent so that the
// parent takes no input, leaving 20 points of it uncovered at top and bottom.
class LockScreenWindow final : public ui::Window {
    Q_OBJECT
public:
    explicit LockScreenWindow(QWidget* parentWindow = nullptr);
    // showWindow: covers the parent (or just shows without one).
    void showOverParent();
    // parentCenter: the cover's frame over the parent's.
    void parentCenter();

protected:
    void paintEvent(QPaintEvent* event) override;
};
