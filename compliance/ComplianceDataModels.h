#pragma once

#include "compliance/RDOOpdAppropriateness.h"
#include "compliance/RiskAssessmentRecords.h"
#include "core/DataModelFactory.h"
#include "core/DataModelClass.h"
#include "core/TradeDataModel.h"

#include <vector>

// The request classes of the risk questionnaire. All go to the trade server
// and begin with the active account's common prefix.

LUMORA_DATA_MODEL_PROTOCOL(IQueryRiskAssessmentInfoDelegate, queryRiskAssessmentInfo, RDORiskAssessment)
LUMORA_DATA_MODEL_PROTOCOL(ISubmitRiskAssessmentResultDelegate, submitRiskAssessmentResult, QString)
LUMORA_DATA_MODEL_PROTOCOL(ISubmitRiskAssessmentResultExDelegate, submitRiskAssessmentResultEx,
    std::vector<RDOOpdAppropriateness>)
LUMORA_DATA_MODEL_PROTOCOL(
    IQueryRiskAssessmentMatchDelegate, queryRiskAssessmentMatch, RDORiskAssessmentMatch)

// The questionnaire: 500 / 160, the prefix alone.
class DMQueryRiskAssessmentInfo final : public DataModelClass<DMQueryRiskAssessmentInfo, TradeDataModel,
                                            tagRiskAssessmentInfoParam, IQueryRiskAssessmentInfoDelegate> {
public:
    static constexpr DataModelInfo info { "CD208616-9AE7-5C33-6107-BFCABE945515", 500, 160 };
    using DataModelClass::DataModelClass;
    static void body(const tagRiskAssessmentInfoParam& p, RequestBody& b) { b.prefix(p.commonUrl); }
    static Result reply(const std::vector<VEKTCRS>& sets) { return RDORiskAssessment(sets.front()); }
};

// The body of both submits: "survey_sn", "count", then the encoded answers,
// whose "&survey_cols=" part travels as a pair of its own. Answers are sent
// as the questionnaire gave them; any other "&" or "=" refuses the body.
void riskAssessmentResultBody(const tagRiskAssessmentResultParam& p, RequestBody& b);

// Plain submit: 500 / 161, the reply's "~msgok". Changes the customer's risk
// level; an equal submit still waiting takes the caller in.
class DMSubmitRiskAssessmentResult final
    : public DataModelClass<DMSubmitRiskAssessmentResult, TradeDataModel, tagRiskAssessmentResultParam,
          ISubmitRiskAssessmentResultDelegate> {
public:
    static constexpr DataModelInfo info { "FA062B80-D451-2FCF-E54B-88A1E75368A3", 500, 161,
        HandleRule::Fields, RequestEffect::Changes };
    using DataModelClass::DataModelClass;
    static void body(const tagRiskAssessmentResultParam& p, RequestBody& b) { riskAssessmentResultBody(p, b); }
    static Result reply(const std::vector<VEKTCRS>& sets);
};

// Extended submit: 500 / 2166, the notices to accept (possibly none).
class DMSubmitRiskAssessmentResultEx final
    : public DataModelClass<DMSubmitRiskAssessmentResultEx, TradeDataModel, tagRiskAssessmentResultParam,
          ISubmitRiskAssessmentResultExDelegate> {
public:
    static constexpr DataModelInfo info { "a59f63c3-5194-4654-bee7-a03d704d8ced", 500, 2166,
        HandleRule::Fields, RequestEffect::Changes };
    using DataModelClass::DataModelClass;
    static void body(const tagRiskAssessmentResultParam& p, RequestBody& b) { riskAssessmentResultBody(p, b); }
    static Result reply(const std::vector<VEKTCRS>& sets)
    {
        return RDOOpdAppropriateness::parseResultsets(sets, 0).value_or(Result());
    }
};

// Score and level: 500 / 175.
class DMQueryRiskAssessmentMatch final
    : public DataModelClass<DMQueryRiskAssessmentMatch, TradeDataModel, tagRiskAssessmentMatchParam,
          IQueryRiskAssessmentMatchDelegate> {
public:
    static constexpr DataModelInfo info { "C0978270-DE07-D840-82A0-481EC61E1321", 500, 175 };
    using DataModelClass::DataModelClass;
    static void body(const tagRiskAssessmentMatchParam& p, RequestBody& b)
    {
        b.prefix(p.commonUrl)
            .add("trdacct_excls", p.trdacctExcls)
            .add("survey_sn", p.surveySn)
            .add("stkbd", "00")
            .add("cust_agmt_type", "L");
    }
    static Result reply(const std::vector<VEKTCRS>& sets);
};

// Registers the classes above in the catalogue.
void registerComplianceDataModels();
LUMORA_REGISTER_DATA_MODELS(registerComplianceDataModels)
