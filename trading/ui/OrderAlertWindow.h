#pragma once

#include "trading/confirm/OrderAlertWindowController.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

// The confirmation dialog's window: shows the controller and forwards the two
// buttons. Enter confirms, Esc cancels (both dead while busy).
class OrderAlertWindow : public QWidget {
    Q_OBJECT
public:
    explicit OrderAlertWindow(OrderAlertWindowController& controller);

    void refresh();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    OrderAlertWindowController& controller_;
    QLabel* titleText_;
    QLabel* contentText_;
    QLabel* tipText_;
    QLabel* warningText_;
    QProgressBar* orderProgress_;
    QPushButton* cancelButton_;
    QPushButton* confirmButton_;
};

// Makes every confirmation dialog show this window; called once at start-up.
void registerOrderAlertWindow();
