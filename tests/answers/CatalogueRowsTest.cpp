// The request catalogue, row by row: each identifier makes its own class,
// which sends on its connection with its function numbers. Rows whose
// numbers come from the menu link carry none of their own.
#include "compliance/ComplianceDataModels.h"
#include "compliance/permissions/PermissionDataModels.h"
#include "connect/requests/HGTDataModels.h"
#include "core/DataModelFactory.h"
#include "core/NetworkFactory.h"
#include "funds/requests/FundDataModels.h"
#include "login/LoginDataModels.h"
#include "quotes/requests/QuoteDataModels.h"
#include "shell/ShellDataModels.h"
#include "trading/requests/CommonQueryDataModels.h"
#include "trading/requests/OrderDataModels.h"
#include "trading/requests/SecurityInfoDataModels.h"
#include "trading/requests/TradeQueryDataModels.h"
#include "transfer/TransferDataModels.h"

#include <gtest/gtest.h>
#include <set>

namespace {

constexpr int kQuote = 0;
constexpr int kTrade = 1;

struct Row {
    const char* identifier;
    const char* className;
    bool (*isItsClass)(const DataModel*);
    int serverKind;
    quint64 mFunc, sFunc;
    quint64 classMFunc, classSFunc;
    const char* classIdentifier;
};

// The class's own numbers and identifier are read from the class, the
// expected ones are the catalogue's.
template <class T> Row row(const char* identifier, int serverKind, quint64 mFunc, quint64 sFunc)
{
    return { identifier, typeid(T).name(),
        [](const DataModel* m) { return dynamic_cast<const T*>(m) != nullptr; }, serverKind, mFunc, sFunc,
        T::info.mFunc, T::info.sFunc, T::info.identifier };
}

class CatalogueRows : public ::testing::Test {
protected:
    void TearDown() override { NetworkFactory::resetInstance(); }
};

} // namespace

TEST_F(CatalogueRows, EveryIdentifierMakesItsClassWithItsFunctionNumbers)
{
    const Row rows[] = {
        row<DMUtid>("263AA7CD-AA70-A3B4-6621-005031E49E14", kTrade, 1000, 1),
        row<DMAppLogin>("56D3255F-8E67-03F3-70A5-BF5131D5AC03", kTrade, 1000, 2),
        row<DMTradeLogin>("5F2E0D57-4FD1-49C4-7C1B-80D64B51FC4B", kTrade, 501, 500),
        row<DMStockTimesharingInfo>("24C71AE9-7311-BD4B-8AED-2899FA151600", kQuote, 1100, 24),
        row<DMOrganizationInfo>("7CDCB912-E3FA-BEDE-5A42-1D88CD95E818", kTrade, 550, 7),
        row<DMQuote5Level>("28C93E8C-3CD3-B2AE-BFEF-AC984A09552A", kQuote, 1000, 1),
        row<DMQuote5LevelEx>("EAB93FD6-2390-5602-5864-5841CF64DA06", kQuote, 1100, 1),
        row<DMPositionInfo>("8991AF46-8BD5-8CD1-BACB-DC53B31E4EBA", kTrade, 500, 3),
        row<DMQueryMoney>("3B3BFDC7-1A11-3971-D73F-7A520AB546CF", kTrade, 500, 2),
        row<DMQueryMaxQuantityInfo>("DDBA0765-0175-7B02-B698-6DD79F034058", kTrade, 500, 4),
        row<DMTradeDepute>("91939600-F0BD-5956-F8AD-8B3B80F1CA0E", kTrade, 500, 6),
        row<DMQueryOrdersOfToday>("4B4EB873-6CB8-68FF-383C-84F705E18122", kTrade, 500, 121),
        row<DMRequestCancelOrder>("EDAB9F73-F007-2DB5-957E-8C4005217279", kTrade, 500, 7),
        row<DMQueryPurchaseNewStock>("21342617-3CDD-A548-B390-8AC402ACA889", kTrade, 550, 8),
        row<DMQueryNewStockInfo>("382D6C7F-BB10-DEF4-A9CC-00B102839356", kTrade, 500, 4),
        row<DMPurchaseNewStock>("353E7618-C779-102A-3344-83B81C3A8F5E", kTrade, 500, 6),
        row<DMQueryDistribution>("5BD0075C-A419-A2C5-EBDF-8657B44C0934", kTrade, 500, 23),
        row<DMQueryChosen>("E7169E7E-669A-F9F1-5E11-5BB9C7674844", kTrade, 500, 25),
        row<DMQueryOpdFundList>("B1B6F67D-7CF5-20E4-D16B-DF934539F435", kTrade, 500, 1001),
        row<DMQueryOpdFund>("79D96B7A-D5D3-F5D5-F8BE-C14B0518D4D6", kTrade, 500, 1640),
        row<DMOpdFundTrade>("BA38217A-B2A9-C69C-79B9-4F33F511B9D9", kTrade, 500, 1642),
        row<DMUserRiskLevelMatch>("32C61163-9408-9A25-BC7E-0CD95DA3712D", kTrade, 500, 128),
        row<DMQueryFundHistoricNet>("299E7E2D-5B3A-30D3-DEE1-B0C62005E0CF", kTrade, 551, 1),
        row<DMQueryOpdFundPositionList>("F1639CDB-76DA-174C-B04B-2A74E12CBC0E", kTrade, 500, 41),
        row<DMQueryOpdFundPosition>("A816D446-C1E5-F6A4-9469-BE301024D3CC", kTrade, 500, 41),
        row<DMRedeemOpdFund>("CEB7B50E-6242-1903-A1DD-2CFAFE8A4883", kTrade, 500, 36),
        row<DMTransformOpdFund>("62381855-8DCB-F55C-5D9D-931DD6AEDB81", kTrade, 500, 1644),
        row<DMSubmitOpdBonusSetting>("FC7B6098-64BF-AFD9-CC74-B95E8528FF76", kTrade, 500, 39),
        row<DMQueryFundInfo>("B3FB987D-A4CF-2273-1E5F-610388D6E606", kTrade, 500, 113),
        row<DMChangeTradePassword>("59ED04F6-C2DB-2EB7-C248-FC3C0F84F37B", kTrade, 500, 12),
        row<DMChangeFundPassword>("6937A799-8B4C-5774-D5EB-E254E3F3946B", kTrade, 500, 13),
        row<DMQueryBonusSetting>("38BDE7EB-5E5C-7B2A-3A7B-A39E4711379D", kTrade, 500, 127),
        row<DMOpdFundInvestOntime>("0B9CFC93-B1E4-A21A-852E-C732FAF02DE8", kTrade, 500, 1645),
        row<DMQueryOpdFundCurrentOrders>("8A004A47-2C80-CDCC-A724-246F2D37C70F", kTrade, 500, 55),
        row<DMOpdFundCancelOrder>("CE8F3929-E2AD-5A54-1D81-DAD540D8922E", kTrade, 500, 37),
        row<DMQueryInvestOntimeOrderList>("A4CF9B50-824E-02A9-F1E6-565300921E2B", kTrade, 500, 60),
        row<DMInvestOntimeCancelOrder>("BC35EB83-3DA9-D9D8-9396-310193366C81", kTrade, 500, 61),
        row<DMQueryFundTransferInfo>("56C1B613-0B2A-8E3C-0210-FD46DD9C08BB", kTrade, 500, 20),
        row<DMFundTransfer>("91936E2E-D024-DB9A-B331-07DA1EC0D8AC", kTrade, 500, 21),
        row<DMQueryBankBalance>("A9EDE809-0FC7-0BCC-D9B4-0BEE9AC39FA7", kTrade, 500, 116),
        row<DMQueryPermissionInfo>("E64D7241-3594-13A4-AF9B-8A9F29F2BC57", kTrade, 500, 209),
        row<DMQueryPermissionContract>("9AA0DE8C-DCC3-27A8-E5D7-4570F1AA5254", kTrade, 0, 0),
        row<DMOpenPermissionAccess>("CF42A82C-7FE9-BAEC-EAE1-231BD5D5D32E", kTrade, 0, 0),
        row<DMQueryRiskAssessmentInfo>("CD208616-9AE7-5C33-6107-BFCABE945515", kTrade, 500, 160),
        row<DMSubmitRiskAssessmentResult>("FA062B80-D451-2FCF-E54B-88A1E75368A3", kTrade, 500, 161),
        row<DMQueryRiskAssessmentMatch>("C0978270-DE07-D840-82A0-481EC61E1321", kTrade, 500, 175),
        row<DMFundInsideTransfer>("39316B6D-9E68-00A6-89B4-537B4DEB2A75", kTrade, 500, 114),
        row<DMFundCollection>("9985F294-67C7-DB59-EA6C-3AACDC7DC874", kTrade, 500, 115),
        row<DMReservationInfo>("0241E5F3-FFA2-9660-90F0-674FBD4D33CA", kTrade, 500, 704),
        row<DMQueryWarrantInfo>("B5A5935E-E1BA-6646-82D2-A85D2E2E203F", kTrade, 500, 205),
        row<DMQueryMenuInfo>("89120453-5EF7-9986-C99E-A04850316634", kTrade, 1000, 3),
        row<DMCommonQuery>("384AA84B-6D11-5190-E6BF-7478E792C4F1", kTrade, 0, 0),
        row<DMCommonHistoricQuery>("5ADAC1E8-54C2-1C89-4AE7-EE67F4968DDF", kTrade, 0, 0),
        row<DMCommonHistoricQueryEx>("218D3D52-A954-1996-113F-E2E5CE018669", kTrade, 0, 0),
        row<DMQueryStockIndexInfo>("166B86AA-F4E0-34F1-FE37-F6F66C2E0458", kQuote, 0, 0),
        row<DMIdentifyingCode>("B599F15B-6751-D7D3-FC3C-8C33F3BB09B2", kTrade, 1001, 1),
        row<DMQuerySTStockList>("2F69454A-6743-7810-4F49-4BB8B826D6ED", kTrade, 500, 280),
        row<DMFundInfoList>("EB1B0312-553D-4C78-171F-CFA7B5918588", kTrade, 500, 2),
        row<DMResetStockCostPrice>("9534F1D5-ED3A-4392-F820-2D2C3264955D", kTrade, 500, 124),
        row<DMMessageCenterList>("527EC411-23D3-993E-C3DF-C02CA6696AA0", kTrade, 550, 12),
        row<DMMessageCenterDetail>("FACA1EA3-5B51-8666-C52B-E97CA4F1D35C", kTrade, 550, 11),
        row<DMQueryBSTransfer>("94CE7778-3AC2-DD8D-6BD0-18899E5735B3", kTrade, 500, 22),
        row<DMIdentifyLogin>("5B676C98-221D-DFC2-9AED-F4C964F65F63", kTrade, 500, 1),
        row<DMQuerySystemMessage>("612D9A90-7C07-0B56-E54E-15BA0C5630E3", kTrade, 550, 13),
        row<DMHGTMakeOrder>("FD27457E-AA48-C905-9765-F3701FD03F25", kTrade, 500, 510),
        row<DMHGTQueryPrice5Info>("4102390D-9897-B10D-C958-1A1442C3DB2D", kQuote, 31000, 1003),
        row<DMHGTVote>("7B5C6A9F-76AB-0843-6324-F10F00FA72AE", kTrade, 500, 3002),
        row<DMHGTOtherVote>("48D1BA54-2A7E-5C03-C4B9-6437B5237A7A", kTrade, 500, 3003),
        row<DMHGTCancelOrder>("BD6C32DF-142C-9057-5C88-CBA00C68A603", kTrade, 500, 511),
        row<DMHGTQueryOrdersOfToday>("381FA13F-9D01-C60A-36C6-F0352D6F3D9A", kTrade, 500, 512),
        row<DMHGTQueryOtherVote>("C473EE59-1E44-62B2-17C1-E8BCB4914B3E", kTrade, 500, 3005),
        row<DMHGTCancelOtherVote>("C6EDBFFE-05EE-D35C-829D-447DE951A5F4", kTrade, 500, 3003),
        row<DMHGTQueryStockTarget>("F6143E68-1781-6282-BCCD-DB1588677941", kTrade, 500, 517),
        row<DMHGTQueryNotification>("5272A84D-3FC2-DA79-AC79-4B42B2676960", kTrade, 500, 3006),
        row<DMHGTQueryExchangeRate>("765F5811-AF18-6619-5155-0CEB229026EF", kTrade, 500, 509),
        row<DMHGTQueryCombInfo>("0D41ED5C-45E3-FCE0-5462-BC7740DC2226", kTrade, 500, 507),
        row<DMHGTQueryQuantityOfUnit>("44A25D4D-46D7-F664-8F13-28BF4FCD9D34", kTrade, 500, 508),
        row<DMHGTQueryPermissionInfo>("089D76CC-A678-116C-6D47-AAB7E6A5D14D", kTrade, 500, 259),
        row<DMPermissionSign>("3212D734-93B4-E9C2-6F96-B0DD34E1CB7E", kTrade, 0, 0),
        row<DMOpdQueryAppropriateness>("237b93a5-b74d-4c76-9359-ef91e13bf7b6", kTrade, 500, 1639),
        row<DMOpdQuerySignNumber>("68bbe28f-d5c1-45c1-8c28-63f2c19f5b3f", kTrade, 500, 1646),
        row<DMQueryRiskEvaluationStatus>("f08e9d68-abd6-482f-aa83-3286f9990d8b", kTrade, 500, 2162),
        row<DMSubmitRiskAssessmentResultEx>("a59f63c3-5194-4654-bee7-a03d704d8ced", kTrade, 500, 2166),
    };
    DataModelFactory factory;
    std::set<QString> identifiers;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.identifier);
        const QString id = QString::fromLatin1(r.identifier);
        identifiers.insert(id);
        std::unique_ptr<DataModel> made = factory.createDataModel(id);
        ASSERT_TRUE(made) << "no class for the identifier";
        EXPECT_TRUE(r.isItsClass(made.get())) << "not a " << r.className;
        EXPECT_EQ(made->identifier(), id);
        EXPECT_EQ(QLatin1String(r.classIdentifier), id);
        EXPECT_EQ(made->serverKind(), r.serverKind);
        EXPECT_EQ(r.classMFunc, r.mFunc);
        EXPECT_EQ(r.classSFunc, r.sFunc);
    }
    EXPECT_EQ(identifiers.size(), 83u);
    const QStringList registered = DataModelFactory::registeredIdentifiers();
    EXPECT_EQ(registered.size(), 83);
    for (const QString& id : registered)
        EXPECT_TRUE(identifiers.count(id)) << qPrintable(id) << " is in no row";
}

// The chosen-list request sends the caller's text as its whole body.
TEST_F(CatalogueRows, TheChosenListSendsTheCallersTextAlone)
{
    tagQueryChosenParam p;
    p.commonUrl = "fundid=1&custid=2";
    const std::optional<CSPacket> packet = DMQueryChosen::makePacket(p);
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->mFunc(), 500u);
    EXPECT_EQ(packet->sFunc(), 25u);
    EXPECT_EQ(packet->data(), "fundid=1&custid=2");
}
