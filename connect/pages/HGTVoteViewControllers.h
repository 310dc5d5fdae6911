#pragma once

#include "connect/pages/HGTTradeViewController.h"

#include <QStringList>

// The Stock Connect pages that declare rather than order. Both keep the buy
// page's set-up (accounts, code entry, quote panel with its refresh,
// positions, rates) and replace its form, check and confirmation; a quote
// never writes into them. The fields keep their values after the answer.
class HGTDeclarePage : public HGTTradeViewController {
    Q_OBJECT
public:
    static constexpr char kSubmittedFormat[] = "委托已提交,委托序号为%1";
    // What a vote, a declaration or a withdrawal the server took tells,
    // whoever tells it.
    static QString submittedDeclarationText(const QString& serialNo);

    void updatePrice(const QString&) override { }
    const QString& lastSerialNo() const { return lastSerialNo_; }
    void orderButtonClick() override;

protected:
    using HGTTradeViewController::HGTTradeViewController;
    // The positions alone: a declaration shows no maximum.
    QStringList figuresShown() const override { return { owedfigure::kPositions }; }
    // Opens the page's confirmation; the dialog's confirm sends.
    virtual void runConfirmation() = 0;
    // The request the dialog's confirm sent under `handle`; none went out
    // when it is empty: the dialog closes and says why.
    void sent(const QString& handle, const QString& why);
    // What is typed into a field of the form, read as typed numbers are;
    // the field then shows what was read.
    void takeTyped(QString& field, const QString& text);
    // The answer of that request.
    void answered(const QString& handle, const QString& serialNo);
    void failed(const QString& handle, const CSError& error);

private:
    QString lastSerialNo_;
};

// A shareholder-meeting vote (link id 90005): announcement and motion
// numbers and the shares voting for, against and abstaining.
class HGTVoteViewController : public HGTDeclarePage, public IHGTVote {
    Q_OBJECT
public:
    static constexpr char kPageClass[] = "HGTVoteViewController";
    static constexpr char kMissingInputMessage[] = "请确认已经输入证券代码、公告编号、议案编号和投票数量。";
    enum Field { Code, PublicNo, BillNo, Up, Down, Free };

    explicit HGTVoteViewController(BaseNode::Ptr node = nullptr, HGTTradeViewControllerServices services = {},
        MenuItemViewController::Services pageServices = {});

    void setFieldText(Field field, const QString& text);
    // ControlEditEnd: of a field; the focus moves on.
    void fieldEditEnd(Field field);
    const QString& fieldText(Field field) const { return fields_[field]; }

    bool doConfigOrderForHKVote(int type, const OrderParam& orderParam) override;
    void hgtVote(DataModel*, const QString& handle, const QString& serialNo) override
    {
        answered(handle, serialNo);
    }
    bool hgtVote(DataModel*, const QString& handle, const CSError& error) override
    {
        failed(handle, error);
        return true;
    }

protected:
    int controlCount() const override { return 6; }
    void clearAccountFigures() override;
    bool verifyInput() override;
    void runConfirmation() override;

private:
    QString fields_[6];
};

// A corporate-action declaration (link id 90006): the type, the action code
// and the quantity.
class HGTOtherVoteViewController : public HGTDeclarePage, public IHGTOtherVote {
    Q_OBJECT
public:
    static constexpr char kPageClass[] = "HGTOtherVoteViewController";
    static constexpr char kMissingInputMessage[] = "请确认已经输入证券代码、行为代码和投票数量。";
    enum Field { Code, OrgNo, Quantity };

    explicit HGTOtherVoteViewController(BaseNode::Ptr node = nullptr, HGTTradeViewControllerServices services = {},
        MenuItemViewController::Services pageServices = {});

    // The type titles in type order (0 to 3): the selected index is the type.
    static QStringList voteTypeTitles();
    void selectVoteType(int index);
    int selectedVoteType() const { return voteType_; }
    void setFieldText(Field field, const QString& text);
    void fieldEditEnd(Field field);
    const QString& fieldText(Field field) const { return fields_[field]; }

    bool doConfigOrderForHKOtherVote(int type, const OrderParam& orderParam) override;
    void hgtOtherVote(DataModel*, const QString& handle, const QString& serialNo) override
    {
        answered(handle, serialNo);
    }
    bool hgtOtherVote(DataModel*, const QString& handle, const CSError& error) override
    {
        failed(handle, error);
        return true;
    }

protected:
    int controlCount() const override { return 3; }
    void clearAccountFigures() override;
    bool verifyInput() override;
    void runConfirmation() override;

private:
    QString fields_[3];
    int voteType_ = 0;
};
