#pragma once

#include "connect/requests/HGTDataModels.h"
#include "shell/pages/ActionOutcomeRelay.h"

// The Stock Connect actions' relays: each action is sent with its relay as
// the observer, so its outcome is told once whatever became of its page
// (ActionOutcomeRelay), in the words the page itself uses.
LUMORA_OUTCOME_RELAY(HGTOrderRelay, IHGTMakeOrder, hgtMakeOrder)
LUMORA_OUTCOME_RELAY(HGTCancelRelay, IHGTCancelOrder, hgtCancelOrder)
LUMORA_OUTCOME_RELAY(HGTVoteRelay, IHGTVote, hgtVote)
LUMORA_OUTCOME_RELAY(HGTDeclarationRelay, IHGTOtherVote, hgtOtherVote)
LUMORA_OUTCOME_RELAY(HGTWithdrawalRelay, IHGTCancelOtherVote, hgtCancelOtherVote)
