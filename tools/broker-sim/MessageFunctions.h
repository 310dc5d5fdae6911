#pragma once

#include "tools/broker-sim/Request.h"

#include <QList>
#include <QString>
#include <memory>
#include <optional>

namespace brokersim {

class BrokerSimulator;

// The message centre: the list of messages newer than an update key
// (550 / 12, body "updatekey" and "orgid") and one message's HTML body
// (550 / 11, body "pd" and "pt").
inline constexpr Function kMessageListFunction { 550, 12 };
inline constexpr Function kMessageDetailFunction { 550, 11 };
inline constexpr qint32 kUnknownMessageCode = 1020;

struct BrokerMessage {
    QString orgCode; // empty: for every branch
    QString title;
    QString date; // "yyyy-MM-dd HH:mm:ss"
    QString endDate; // "yyyy-MM-dd HH:mm:ss"
    QString pd;
    QString pt;
    QString html;
    qint64 sequence = 0; // given by the board; the update key is "<sequence>|0"
};

// The broker's messages. Each posted message gets the next sequence number;
// a list request answers, newest first, the messages of the branch (and those
// for every branch) with a sequence above the one in its update key.
class MessageBoard {
public:
    // The built-in messages: notices with HTML bodies and links, one for a
    // single branch, one already expired.
    MessageBoard();
    struct Empty { };
    explicit MessageBoard(Empty) { }

    // Posts a message; answers its update key.
    QString post(BrokerMessage message);
    const QList<BrokerMessage>& messages() const { return messages_; }
    // The messages newer than the update key for the branch, newest first;
    // nullopt when the key is not "<number>|<anything>".
    std::optional<QList<BrokerMessage>> newerThan(const QString& updateKey, const QString& orgCode) const;
    const BrokerMessage* find(const QString& pd, const QString& pt) const;

    static QString updateKeyOf(const BrokerMessage& message);

private:
    QList<BrokerMessage> messages_;
    qint64 lastSequence_ = 0;
};

// Registers both functions, answering from `board` (the built-in messages
// when none).
void registerMessageFunctions(BrokerSimulator& simulator, std::shared_ptr<MessageBoard> board = nullptr);

} // namespace brokersim
