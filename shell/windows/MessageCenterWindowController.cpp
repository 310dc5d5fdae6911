#include "shell/windows/MessageCenterWindowController.h"

#include "core/NotificationCenter.h"

namespace {

QString keyOf(const MessageCenterInfo& m)
{
    return m.pd + QLatin1Char('\n') + m.pt;
}

// The body of the last clicked row, filed under its message and its request
// handle: a body is shown only in the row of the message it was asked for.
const QString kBodyChannel = QStringLiteral("body");

QString bodySubject(const MessageCenterInfo& m, const QString& requestHandle)
{
    return keyOf(m) + QLatin1Char('\n') + requestHandle;
}

} // namespace

MessageCenterWindowController::MessageCenterWindowController(Services services, QObject* parent)
    : QObject(parent)
    , messageCenterManager(
          services.messageCenterManager ? services.messageCenterManager : MessageCenterManager::getInstance())
    , notificationCenter(
          services.notificationCenter ? services.notificationCenter : NotificationCenter::getInstance())
{
    loginAccountChanged();
    notificationCenter->addObserver(
        this, &MessageCenterWindowController::loginAccountChanged, kActiveAccountChanged);
}

MessageCenterWindowController::~MessageCenterWindowController()
{
    notificationCenter->removeObserver(this);
}

QString MessageCenterWindowController::bodyOfRow(qsizetype row) const
{
    return row >= 0 && size_t(row) < rows_.size() ? bodies_.value(keyOf(rows_[size_t(row)])) : QString();
}

double MessageCenterWindowController::heightOfRow(qsizetype row) const
{
    const bool expanded = row >= 0 && size_t(row) < rows_.size() && rows_[size_t(row)].showHideFlag == 1;
    return expanded ? kExpandedRowHeight : kCollapsedRowHeight;
}

void MessageCenterWindowController::loginAccountChanged()
{
    rows_.clear();
    bodies_.clear();
    askedFor_.forgetAll();
    lastClickedRow_ = 0;
    rows_ = messageCenterManager->getMessageInfoObjects();
    if (!rows_.empty()) {
        rows_.front().setShowHideFlag(1);
        requestBody(0);
    }
    emit reloadData();
}

void MessageCenterWindowController::requestBody(qsizetype row)
{
    lastClickedRow_ = quint64(row);
    const MessageCenterInfo& m = rows_[size_t(row)];
    const QString handle = messageCenterManager->requestMessageInfoDetail(this, m.pd, m.pt);
    if (handle.isEmpty())
        askedFor_.settle(kBodyChannel);
    else
        askedFor_.ask(kBodyChannel, bodySubject(m, handle));
}

void MessageCenterWindowController::collapseAllBut(qsizetype row)
{
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (qsizetype(i) != row)
            rows_[i].setShowHideFlag(0);
    }
}

void MessageCenterWindowController::tableViewItemClicked(qsizetype row)
{
    if (row < 0 || size_t(row) >= rows_.size())
        return;
    MessageCenterInfo& m = rows_[size_t(row)];
    if (m.showHideFlag == 1) {
        lastClickedRow_ = quint64(row);
        m.setShowHideFlag(0);
    } else {
        m.setShowHideFlag(1);
        requestBody(row);
    }
    collapseAllBut(row);
    emit reloadData();
}

void MessageCenterWindowController::showHideButtonClicked(qsizetype row, bool on)
{
    if (row < 0 || size_t(row) >= rows_.size())
        return;
    rows_[size_t(row)].setShowHideFlag(on ? 1 : 0);
    if (on) {
        requestBody(row);
        collapseAllBut(row);
    }
    emit reloadData();
}

void MessageCenterWindowController::messageCenterDetail(
    DataModel*, const QString& requestHandle, const QString& html)
{
    if (lastClickedRow_ >= rows_.size())
        return;
    MessageCenterInfo& m = rows_[lastClickedRow_];
    if (!askedFor_.take(kBodyChannel, bodySubject(m, requestHandle)))
        return;
    m.setReadFlag(true);
    messageCenterManager->updateReadFlagToRead(m.pd, m.pt);
    bodies_.insert(keyOf(m), html);
    emit reloadData();
}

void MessageCenterWindowController::windowWillClose()
{
    shown_ = false;
    if (closed_)
        return;
    closed_ = true;
    notificationCenter->removeObserver(this);
    notificationCenter->postNotification(kMessageCountChanged);
}
