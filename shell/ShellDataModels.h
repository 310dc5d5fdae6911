#pragma once

#include "core/DataModelFactory.h"
#include "core/DataModelClass.h"
#include "core/TradeDataModel.h"
#include "shell/menu/RDOMenuManager.h"
#include "shell/messages/RDOMessageInfo.h"

#include <memory>
#include <vector>

// The request classes of the menu and the message centre. All go to the
// trade server and carry no account prefix. Their handles cover every field
// of their records, kept apart so that two fields run together cannot make
// two different requests look equal.

LUMORA_DATA_MODEL_PROTOCOL(IQueryMenuInfoDelegate, queryMenuInfo, std::shared_ptr<RDOMenuManager>)
LUMORA_DATA_MODEL_PROTOCOL(IMessageCenterListDelegate, messageCenterList, std::vector<RDOMessageInfo>)
LUMORA_DATA_MODEL_PROTOCOL(IMessageCenterDetailDelegate, messageCenterDetail, QString)

// The menu: 1000 / 3, one node per row of the first record set. The handle
// begins with the terminal id.
class DMQueryMenuInfo final
    : public DataModelClass<DMQueryMenuInfo, TradeDataModel, tagQueryMenuInfoParam, IQueryMenuInfoDelegate> {
public:
    static constexpr DataModelInfo info { "89120453-5EF7-9986-C99E-A04850316634", 1000, 3 };
    using DataModelClass::DataModelClass;
    static void body(const tagQueryMenuInfoParam& p, RequestBody& b);
    static Result reply(const std::vector<VEKTCRS>& sets);
};

// The broker's messages newer than an update key: 550 / 12.
class DMMessageCenterList final : public DataModelClass<DMMessageCenterList, TradeDataModel,
                                      tagMessageCenterListParam, IMessageCenterListDelegate> {
public:
    static constexpr DataModelInfo info { "527EC411-23D3-993E-C3DF-C02CA6696AA0", 550, 12 };
    using DataModelClass::DataModelClass;
    static void body(const tagMessageCenterListParam& p, RequestBody& b);
    static Result reply(const std::vector<VEKTCRS>& sets);
};

// One message's body ("html", kept as data: nothing in it is run or
// loaded here): 550 / 11.
class DMMessageCenterDetail final : public DataModelClass<DMMessageCenterDetail, TradeDataModel,
                                        tagMessageCenterDetailParam, IMessageCenterDetailDelegate> {
public:
    static constexpr DataModelInfo info { "FACA1EA3-5B51-8666-C52B-E97CA4F1D35C", 550, 11 };
    using DataModelClass::DataModelClass;
    static void body(const tagMessageCenterDetailParam& p, RequestBody& b);
    static Result reply(const std::vector<VEKTCRS>& sets);
    // A reply without a row brought no body: its observers hear an error, so
    // nothing marks the message read.
    std::optional<QString> answerLacks(const std::vector<VEKTCRS>& sets) const override;

protected:
    void completeWithRecordSets(const QString& handle, const tagRequestParam& param,
        const std::vector<VEKTCRS>& sets, const DataModel::ObserverList& observers) override;
};

// Enters the shell's request classes in the request catalogue.
void registerShellDataModels();
LUMORA_REGISTER_DATA_MODELS(registerShellDataModels)
