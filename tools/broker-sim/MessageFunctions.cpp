#include "tools/broker-sim/MessageFunctions.h"

#include "tools/broker-sim/BrokerSimulator.h"
#include "tools/broker-sim/LoginErrors.h"

namespace brokersim {

MessageBoard::MessageBoard()
{
    post({ QString(), QStringLiteral("系统升级公告"), QStringLiteral("2024-05-20 09:00:00"),
        QStringLiteral("2099-12-31 23:59:59"), QStringLiteral("20240520"), QStringLiteral("1"),
        QStringLiteral("<h3>系统升级公告</h3><p>尊敬的客户：本公司将于周六 08:00 至 18:00 升级交易系统，"
                       "期间暂停网上交易。</p><p>详情请见<a href=\"https://www.lumora-broker.test/notice/1\">公告全文</a>。</p>") });
    post({ QString(), QStringLiteral("端午节休市安排"), QStringLiteral("2024-06-01 15:30:00"),
        QStringLiteral("2020-06-30 23:59:59"), QStringLiteral("20240601"), QStringLiteral("2"),
        QStringLiteral("<p>端午节期间休市，已过期的通知。</p>") });
    post({ QStringLiteral("0101"), QStringLiteral("营业部讲座邀请"), QStringLiteral("2024-06-03 10:00:00"),
        QStringLiteral("2099-12-31 23:59:59"), QStringLiteral("20240603"), QStringLiteral("3"),
        QStringLiteral("<p>上海世纪大道营业部诚邀您参加投资讲座。</p>"
                       "<p><img src=\"https://www.lumora-broker.test/banner.png\"> "
                       "<a href=\"http://www.lumora-broker.test/seminar?id=3&amp;from=client\">报名</a></p>") });
    post({ QString(), QStringLiteral("风险提示"), QStringLiteral("2024-06-05 08:30:00"),
        QStringLiteral("2099-12-31 23:59:59"), QStringLiteral("20240605"), QStringLiteral("4"),
        QStringLiteral("<p>股市有风险，投资需谨慎。</p><script>alert('server text is data')</script>"
                       "<p><a href=\"javascript:void(0)\">不应打开的链接</a></p>") });
}

QString MessageBoard::updateKeyOf(const BrokerMessage& message)
{
    return QStringLiteral("%1|0").arg(message.sequence);
}

QString MessageBoard::post(BrokerMessage message)
{
    message.sequence = ++lastSequence_;
    messages_.append(message);
    return updateKeyOf(message);
}

std::optional<QList<BrokerMessage>> MessageBoard::newerThan(const QString& updateKey, const QString& orgCode) const
{
    const qsizetype bar = updateKey.indexOf(u'|');
    if (bar < 0)
        return std::nullopt;
    bool ok = false;
    const qint64 after = updateKey.left(bar).toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    QList<BrokerMessage> out;
    for (auto it = messages_.crbegin(); it != messages_.crend(); ++it) {
        if (it->sequence > after && (it->orgCode.isEmpty() || it->orgCode == orgCode))
            out.append(*it);
    }
    return out;
}

const BrokerMessage* MessageBoard::find(const QString& pd, const QString& pt) const
{
    for (const BrokerMessage& m : messages_) {
        if (m.pd == pd && m.pt == pt)
            return &m;
    }
    return nullptr;
}

void registerMessageFunctions(BrokerSimulator& simulator, std::shared_ptr<MessageBoard> board)
{
    if (!board)
        board = std::make_shared<MessageBoard>();
    simulator.registerFunction(
        kMessageListFunction.main, kMessageListFunction.sub, [board](const Request& request, BrokerState&) {
            const std::optional<QList<BrokerMessage>> newer = board->newerThan(
                request.valueOr(QStringLiteral("updatekey")), request.valueOr(QStringLiteral("orgid")));
            if (!newer)
                return Reply::error(errors::kBadRequest, QStringLiteral("请求参数错误：updatekey"));
            Table list;
            list.column(QStringLiteral("title"))
                .column(QStringLiteral("pd"))
                .column(QStringLiteral("pt"))
                .column(QStringLiteral("date"))
                .column(QStringLiteral("enddate"))
                .column(QStringLiteral("updatekey"));
            for (const BrokerMessage& m : *newer)
                list.row({ m.title, m.pd, m.pt, m.date, m.endDate, MessageBoard::updateKeyOf(m) });
            return Reply::withTable(list);
        });
    simulator.registerFunction(
        kMessageDetailFunction.main, kMessageDetailFunction.sub, [board](const Request& request, BrokerState&) {
            const BrokerMessage* message
                = board->find(request.valueOr(QStringLiteral("pd")), request.valueOr(QStringLiteral("pt")));
            if (!message)
                return Reply::error(kUnknownMessageCode, QStringLiteral("消息不存在或已删除"));
            return Reply::withTable(Table().column(QStringLiteral("html")).row({ message->html }));
        });
}

} // namespace brokersim
