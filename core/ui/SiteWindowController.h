#pragma once

#include "core/ServerListController.h"

#include <QDialog>
#include <memory>

class QComboBox;
class QPushButton;
class QTabBar;
class QTableView;
class QCloseEvent;

// The server-list window: the current trade and quote servers, and a speed
// test of one list with a verdict per server. It only shows the state of its
// ServerListController and forwards what the user does.
class SiteWindowController final : public QDialog {
    Q_OBJECT
public:
    // initWithParentWindow: with a parent, the window is its child and is
    // centred over it when shown.
    explicit SiteWindowController(QWidget* parentWindow = nullptr,
        DMServerManager* serverManager = DMServerManager::getInstance(),
        DMNotificationCenter* notificationCenter = nullptr, NotificationCenter* uiCenter = nullptr);
    ~SiteWindowController() override;

    // showWindow: centred over the parent, then shown.
    void showWindow();
    // parentCenter: origin = parent origin + (parent size - window size) / 2.
    void parentCenter();

    ServerListController& controller() { return *controller_; }

    // Outlets.
    QComboBox* currentTradeConnectionButton() const { return tradeButton_; }
    QComboBox* currentQuoteConnectionButton() const { return quoteButton_; }
    QTabBar* testSpeedTypeSegmentedControl() const { return segments_; }
    QPushButton* testSpeedButton() const { return testButton_; }
    QTableView* internetSpeedTableView() const { return table_; }

    // Escape closes the window without a close event: it posts the closing
    // notification (10) all the same.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    class SpeedTableModel;

    void reloadPopUps();
    // Tells the controller once that the window closes.
    void noteClosing();
    void tableItemDoubleClicked();

    std::unique_ptr<ServerListController> controller_;
    QComboBox* tradeButton_ = nullptr;
    QComboBox* quoteButton_ = nullptr;
    QTabBar* segments_ = nullptr;
    QPushButton* testButton_ = nullptr;
    QTableView* table_ = nullptr;
    SpeedTableModel* model_ = nullptr;
    bool closed_ = false;
};
