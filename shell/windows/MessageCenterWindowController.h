#pragma once

#include "shell/ShellDataModels.h"
#include "shell/pages/MenuItemViewController.h"
#include "shell/messages/MessageCenterManager.h"

#include <QHash>
#include <QObject>
#include <vector>

class NotificationCenter;
// What MessageCenterWindowController works with; null ones are the shared instances.
struct MessageCenterWindowControllerServices {
    MessageCenterManager* messageCenterManager = nullptr;
    NotificationCenter* notificationCenter = nullptr;
};

// The message-centre window without its widgets: the active customer's
// stored messages, newest first, at most one row expanded. Expanding a row
// fetches its body, which marks the message read; a body that arrives after
// the user moved to another row is dropped. Main thread only.
class MessageCenterWindowController final : public QObject, public IMessageCenterDetailDelegate {
    Q_OBJECT
public:
    using Services = MessageCenterWindowControllerServices;
    static constexpr double kCollapsedRowHeight = 40.0;
    static constexpr double kExpandedRowHeight = 300.0;
    static constexpr int32_t kActiveAccountChanged = pagenotify::kActiveAccountChanged;
    static constexpr int32_t kMessageCountChanged = pagenotify::kMessageCountChanged;

    explicit MessageCenterWindowController(Services services = Services(), QObject* parent = nullptr);
    ~MessageCenterWindowController() override;

    const std::vector<MessageCenterInfo>& rows() const { return rows_; }
    quint64 lastClickedRow() const { return lastClickedRow_; }
    bool isShown() const { return shown_; }
    // The body shown in a row; empty until it arrived.
    QString bodyOfRow(qsizetype row) const;

    void showWindow() { shown_ = true; }
    double heightOfRow(qsizetype row) const;
    // tableViewItemClicked: -1 (outside every row) does nothing.
    void tableViewItemClicked(qsizetype row);
    // showHideButtonClicked: the row's button and its state after the click.
    void showHideButtonClicked(qsizetype row, bool on);
    // loginAccountChanged, and the first load.
    void loginAccountChanged();
    // windowWillClose: posts type 8 once.
    void windowWillClose();

    void messageCenterDetail(DataModel* request, const QString& requestHandle, const QString& html) override;
    bool messageCenterDetail(DataModel*, const QString&, const CSError&) override { return true; }

signals:
    void reloadData();

private:
    void requestBody(qsizetype row);
    void collapseAllBut(qsizetype row);

    MessageCenterManager* messageCenterManager;
    NotificationCenter* notificationCenter;
    std::vector<MessageCenterInfo> rows_;
    QHash<QString, QString> bodies_; // "pd" "pt" -> HTML
    quint64 lastClickedRow_ = 0;
    AskedFor askedFor_; // the body request of lastClickedRow
    bool shown_ = false;
    bool closed_ = false;
};
