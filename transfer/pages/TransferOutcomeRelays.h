#pragma once

#include "shell/pages/ActionOutcomeRelay.h"
#include "transfer/TransferDataModels.h"

// The answers of the requests that move money (a bank transfer either way,
// an inside transfer, a collection), heard by their page while it awaits
// them and told with the page's own texts once it does not.
LUMORA_OUTCOME_RELAY(FundTransferRelay, IFundTransferDelegate, fundTransfer)
LUMORA_OUTCOME_RELAY(FundInsideTransferRelay, IFundInsideTransferDelegate, fundInsideTransfer)
LUMORA_OUTCOME_RELAY(FundCollectionRelay, IFundCollectionDelegate, fundCollection)
