#pragma once

#include "funds/requests/FundDataModels.h"
#include "shell/pages/ActionOutcomeRelay.h"

// The relays of the fund actions, one per answer protocol: each hears the
// answers of one action for as long as they take, so its outcome is told
// once whatever became of the form or page that sent it. Subscriptions and
// purchases share the trade protocol; the cancels of fund orders and of
// plans go as runs.
LUMORA_OUTCOME_RELAY(FundTradeOutcomeRelay, IOpdFundTradeDelegate, openFundTrade)
LUMORA_OUTCOME_RELAY(FundRedeemOutcomeRelay, IRedeemOpdFundDelegate, redeemOpdFund)
LUMORA_OUTCOME_RELAY(FundTransformOutcomeRelay, ITransformOpdFundDelegate, transformOpdFund)
LUMORA_OUTCOME_RELAY(FundBonusOutcomeRelay, ISubmitOpdFundBonusSettingDelegate, submitOpdFundBonusSetting)
LUMORA_OUTCOME_RELAY(FundPlanOutcomeRelay, IOpdFundInvestOntimeDelegate, openFundInvestOntime)
LUMORA_OUTCOME_RELAY(FundCancelOutcomeRelay, IOpdFundCancelOrderDelegate, openFundCancelOrder)
LUMORA_OUTCOME_RELAY(FundPlanCancelOutcomeRelay, IInvestOntimeCancelOrderDelegate, investOntimeCancelOrder)
