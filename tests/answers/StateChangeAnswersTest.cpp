// Every request class in the catalogue whose answer reports a state change
// (an order, a cancel, a transfer, a fund order, a login) says what that
// answer must hold, so a blank answer can never read as a success. A class
// added later that changes state fails here until it states its rule or is
// named below as one whose success needs nothing from the answer.
#include "compliance/ComplianceDataModels.h"
#include "compliance/permissions/PermissionDataModels.h"
#include "connect/requests/HGTDataModels.h"
#include "core/DataModelFactory.h"
#include "core/NetworkFactory.h"
#include "funds/requests/FundDataModels.h"
#include "login/LoginDataModels.h"
#include "shell/ShellDataModels.h"
#include "trading/requests/OrderDataModels.h"
#include "trading/requests/SecurityInfoDataModels.h"
#include "transfer/TransferDataModels.h"

#include <cstring>
#include <gtest/gtest.h>
#include <set>

namespace {

// The request objects made here reach for the shared networks; those go
// before the run loop they were made on.
class StateChangeAnswers : public ::testing::Test {
protected:
    void TearDown() override { NetworkFactory::resetInstance(); }
};

// Classes whose success is the answer itself: the server's message is shown
// as it stands and no number of the answer is reported or reused.
const std::set<QString> kAnswerCarriesNothingNeeded {
    QString::fromLatin1(DMChangeTradePassword::info.identifier),
    QString::fromLatin1(DMChangeFundPassword::info.identifier),
    QString::fromLatin1(DMReservationInfo::info.identifier),
    QString::fromLatin1(DMSubmitRiskAssessmentResult::info.identifier),
    QString::fromLatin1(DMSubmitRiskAssessmentResultEx::info.identifier),
    QString::fromLatin1(DMPermissionSign::info.identifier),
    QString::fromLatin1(DMOpenPermissionAccess::info.identifier),
    // The adjusted cost shows in the positions, which are read again.
    QString::fromLatin1(DMResetStockCostPrice::info.identifier),
};

// Classes whose success stands without its number: an answer with a record
// set is a success, told without the number it lacks.
const std::set<QString> kSuccessWithoutNumber {
    QString::fromLatin1(DMRedeemOpdFund::info.identifier),
    QString::fromLatin1(DMTransformOpdFund::info.identifier),
    QString::fromLatin1(DMOpdFundCancelOrder::info.identifier),
    QString::fromLatin1(DMSubmitOpdBonusSetting::info.identifier),
    QString::fromLatin1(DMHGTMakeOrder::info.identifier),
};

// Requests that change no state on the server but whose answer the session
// is built from.
const std::set<QString> kAlsoJudged { QString::fromLatin1(DMTradeLogin::info.identifier) };

// One row of text fields, each `value`.
VEKTCRS oneRow(const std::vector<const char*>& names, const QString& value)
{
    VEKTCRS set(2);
    for (const char* name : names) {
        TCRSField field {};
        field.type = 9;
        field.coding = 2;
        std::memcpy(field.name, name, std::strlen(name));
        set.addField(field);
    }
    set.appendRecord();
    set.setCurrent(0);
    for (qint32 c = 0; c < qint32(names.size()); ++c)
        set.updateFieldWithString(c, value);
    return set;
}

// The fields the classes report from, so that a blank in the right place is
// what is judged.
const std::vector<const char*> kReportedFields { "sno", "ordersno", "serialno", "serial_no", "outsno", "insno",
    "outserialno", "inserialno", "msgok", "custid", "fundid", "fundeffect", "count", "num", "errcode" };

TEST_F(StateChangeAnswers, EveryClassThatChangesStateRefusesABlankAnswer)
{
    DataModelFactory factory;
    int judged = 0;
    for (const QString& id : DataModelFactory::registeredIdentifiers()) {
        std::unique_ptr<DataModel> model = factory.createDataModel(id);
        ASSERT_TRUE(model) << qPrintable(id);
        if (!(model->changesState() || kAlsoJudged.count(id)) || kAnswerCarriesNothingNeeded.count(id))
            continue;
        ++judged;
        struct {
            const char* what;
            std::vector<VEKTCRS> sets;
        } const answers[] = {
            { "no record set", {} },
            { "blank fields", { oneRow(kReportedFields, QString()) } },
            { "spaces", { oneRow(kReportedFields, QStringLiteral("   ")) } },
            { "other fields only", { oneRow({ "remark" }, QStringLiteral("ok")) } },
            { "a row without rows", { VEKTCRS(2) } },
        };
        for (const auto& answer : answers)
            EXPECT_EQ(model->answerLacks(answer.sets).has_value(),
                answer.sets.empty() || !kSuccessWithoutNumber.count(id))
                << qPrintable(id) << " with " << answer.what;
    }
    // Stock orders and cancels (3), Stock Connect (5), fund orders (7),
    // transfers (3) and the trade login.
    EXPECT_EQ(judged, 19);
}

TEST_F(StateChangeAnswers, AnyNumberThatIsNotBlankIsAnAnswerForTheNumberedOnes)
{
    // The classes that report one number each take it as the server sent it.
    for (const char* number : { "20240603001", "0", "12a", "-1", "1e999", "99999999999999999999" }) {
        const std::vector<VEKTCRS> sent { oneRow(kReportedFields, QString::fromLatin1(number)) };
        for (const char* id : { DMTradeDepute::info.identifier, DMPurchaseNewStock::info.identifier,
                 DMRequestCancelOrder::info.identifier, DMHGTMakeOrder::info.identifier,
                 DMHGTCancelOrder::info.identifier, DMHGTVote::info.identifier, DMOpdFundTrade::info.identifier,
                 DMRedeemOpdFund::info.identifier, DMFundTransfer::info.identifier,
                 DMFundInsideTransfer::info.identifier }) {
            std::unique_ptr<DataModel> model = DataModelFactory().createDataModel(QString::fromLatin1(id));
            ASSERT_TRUE(model) << id;
            EXPECT_FALSE(model->answerLacks(sent).has_value())
                << id << " refuses " << number << ": " << qPrintable(model->answerLacks(sent).value_or(QString()));
        }
    }
}

} // namespace
