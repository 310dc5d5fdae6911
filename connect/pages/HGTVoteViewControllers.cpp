#include "connect/pages/HGTVoteViewControllers.h"

#include "connect/pages/HGTOutcomeRelays.h"
#include "core/TypedNumber.h"

QString HGTDeclarePage::submittedDeclarationText(const QString& serialNo)
{
    return QString::fromUtf8(kSubmittedFormat).arg(serialNo);
}

void HGTDeclarePage::orderButtonClick()
{
    if (busy_ || !verifyInput())
        return;
    busy_ = true;
    emit changed();
    const Watch alive = MenuItemViewController::watch();
    runConfirmation();
    if (!alive.survived())
        return;
    busy_ = false;
    emit changed();
}

void HGTDeclarePage::takeTyped(QString& field, const QString& text)
{
    field = typednumber::read(text);
    if (field != text)
        emit changed();
}

void HGTDeclarePage::answered(const QString& handle, const QString& serialNo)
{
    // A reply without its serial number arrives as an unknown outcome.
    dialog().requestAnswered(handle);
    lastSerialNo_ = serialNo;
    ActionOutcomeRelay::tell(alerts(), AlertRequest::tip(submittedDeclarationText(serialNo)));
    emit changed();
}

void HGTDeclarePage::failed(const QString& handle, const CSError& error)
{
    dialog().requestAnswered(handle);
    ActionOutcomeRelay::tell(alerts(), AlertRequest::error(DataModel::getNetworkError(error).domain));
    emit changed();
}

void HGTDeclarePage::sent(const QString& handle, const QString& why)
{
    if (!dialog().requestSent(handle))
        alerts()->runAlert(AlertRequest::error(why), {});
}

HGTVoteViewController::HGTVoteViewController(
    BaseNode::Ptr node, HGTTradeViewControllerServices services, MenuItemViewController::Services pageServices)
    : HGTDeclarePage(Kind::Buy, std::move(node), std::move(services), pageServices)
{
}

void HGTVoteViewController::setFieldText(Field field, const QString& text)
{
    if (field == Code) {
        setCodeText(text);
        return;
    }
    takeTyped(fields_[field], text);
}

void HGTVoteViewController::fieldEditEnd(Field field)
{
    if (field == Code) {
        codeEditEnd();
        return;
    }
    responderToNext(field);
    emit changed();
}

void HGTVoteViewController::clearAccountFigures()
{
    // The numbers typed were the previous account's vote, as the order
    // page's quantity was its order: the form starts again empty.
    for (QString& field : fields_)
        field.clear();
    HGTDeclarePage::clearAccountFigures();
}

bool HGTVoteViewController::verifyInput()
{
    if (accountTitles().isEmpty()) {
        alerts()->runAlert(AlertRequest::error(QString::fromUtf8(kNoAccountMessage)), {});
        return false;
    }
    const bool anyQuantity = !fields_[Up].isEmpty() || !fields_[Down].isEmpty() || !fields_[Free].isEmpty();
    if (codeText().isEmpty() || !typednumber::canBeSent(codeText()) || fields_[PublicNo].isEmpty()
        || fields_[BillNo].isEmpty() || !anyQuantity) {
        alerts()->runAlert(AlertRequest::tip(QString::fromUtf8(kMissingInputMessage)), {});
        return false;
    }
    // The quantities go as typed, empty ones empty: the server judges them,
    // once a request can carry them.
    return sendable({ { &fields_[PublicNo], "公告编号" }, { &fields_[BillNo], "议案编号" },
        { &fields_[Up], "赞成数量" }, { &fields_[Down], "反对数量" }, { &fields_[Free], "弃权数量" } });
}

void HGTVoteViewController::runConfirmation()
{
    dialog().runModalForHGTVote(dialogParent(), selectedSecurityId(), codeText(), nameText(), fields_[PublicNo],
        fields_[BillNo], fields_[Up], fields_[Down], fields_[Free]);
}

bool HGTVoteViewController::doConfigOrderForHKVote(int, const OrderParam& p)
{
    QString why;
    // Heard through a relay, so the answer is told also once the page left.
    auto& relay = ActionOutcomeRelay::start<HGTVoteRelay>(
        ActionOutcomeRelay::pageOf(*this), *this, &HGTDeclarePage::submittedDeclarationText);
    const QString handle = requestManager()->requestHGTVote(&relay, p.stockCode(), p.publicNo(), p.billNo(),
        p.upNo(), p.downNo(), p.freeNo(), p.securityId(), &why);
    relay.sent(handle);
    sent(handle, why);
    return true;
}

HGTOtherVoteViewController::HGTOtherVoteViewController(
    BaseNode::Ptr node, HGTTradeViewControllerServices services, MenuItemViewController::Services pageServices)
    : HGTDeclarePage(Kind::Buy, std::move(node), std::move(services), pageServices)
{
}

QStringList HGTOtherVoteViewController::voteTypeTitles()
{
    return { QStringLiteral("公司收购"), QStringLiteral("公开招股"), QStringLiteral("供股行权"),
        QStringLiteral("红利现金选择权") };
}

void HGTOtherVoteViewController::selectVoteType(int index)
{
    if (index >= 0 && index < voteTypeTitles().size())
        voteType_ = index;
    emit changed();
}

void HGTOtherVoteViewController::setFieldText(Field field, const QString& text)
{
    if (field == Code) {
        setCodeText(text);
        return;
    }
    takeTyped(fields_[field], text);
}

void HGTOtherVoteViewController::fieldEditEnd(Field field)
{
    if (field == Code) {
        codeEditEnd();
        return;
    }
    responderToNext(field);
    emit changed();
}

void HGTOtherVoteViewController::clearAccountFigures()
{
    // The previous account's declaration: the form starts again empty.
    for (QString& field : fields_)
        field.clear();
    voteType_ = 0;
    HGTDeclarePage::clearAccountFigures();
}

bool HGTOtherVoteViewController::verifyInput()
{
    if (accountTitles().isEmpty()) {
        alerts()->runAlert(AlertRequest::error(QString::fromUtf8(kNoAccountMessage)), {});
        return false;
    }
    if (codeText().isEmpty() || !typednumber::canBeSent(codeText()) || fields_[OrgNo].isEmpty()
        || fields_[Quantity].isEmpty()) {
        alerts()->runAlert(AlertRequest::tip(QString::fromUtf8(kMissingInputMessage)), {});
        return false;
    }
    // The quantity goes as typed, once a request can carry it: the server
    // judges it.
    return sendable({ { &fields_[OrgNo], "行为代码" }, { &fields_[Quantity], "投票数量" } });
}

void HGTOtherVoteViewController::runConfirmation()
{
    dialog().runModalForHGTOtherVote(dialogParent(), selectedSecurityId(), codeText(), nameText(), voteType_,
        voteTypeTitles().value(voteType_), fields_[Quantity], fields_[OrgNo]);
}

bool HGTOtherVoteViewController::doConfigOrderForHKOtherVote(int, const OrderParam& p)
{
    QString why;
    auto& relay = ActionOutcomeRelay::start<HGTDeclarationRelay>(
        ActionOutcomeRelay::pageOf(*this), *this, &HGTDeclarePage::submittedDeclarationText);
    const QString handle = requestManager()->requestHGTOtherVote(
        &relay, p.stockCode(), qint32(p.voteType()), p.voteQuantity(), p.orgNo(), p.securityId(), &why);
    relay.sent(handle);
    sent(handle, why);
    return true;
}
