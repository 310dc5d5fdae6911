#pragma once

#include "compliance/ComplianceDataModels.h"
#include "compliance/permissions/PermissionDataModels.h"
#include "shell/pages/ActionOutcomeRelay.h"

#include <QString>

// The relays of the actions that change the customer's standing: the
// questionnaire's answers (with the notices that come back, or plain from
// the permission wizard) and the signing of a notice or an agreement. Each
// is sent with its relay as the observer, so its outcome is told once
// whatever became of the page or window that sent it (ActionOutcomeRelay).
LUMORA_OUTCOME_RELAY(RiskSubmitRelay, ISubmitRiskAssessmentResultExDelegate, submitRiskAssessmentResultEx)
LUMORA_OUTCOME_RELAY(RiskResultRelay, ISubmitRiskAssessmentResultDelegate, submitRiskAssessmentResult)
LUMORA_OUTCOME_RELAY(PermissionSignRelay, IPermissionSign, permissionSign)

// What a success tells once no page or window hears it: the server's own
// message when it sent one, else what the action did.
inline QString riskSubmittedText(const QString& message = QString())
{
    return message.isEmpty() ? QStringLiteral("风险测评问卷提交成功。") : message;
}
inline QString contractSignedText(const QString& message)
{
    return message.isEmpty() ? QStringLiteral("协议签署成功。") : message;
}
