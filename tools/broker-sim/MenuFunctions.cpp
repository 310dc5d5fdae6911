#include "tools/broker-sim/MenuFunctions.h"

#include "tools/broker-sim/Broker.h"
#include "tools/broker-sim/BrokerSimulator.h"
#include "tools/broker-sim/MessageFunctions.h"

namespace brokersim {

namespace {

// Built-in menu rows: id, parent, name, link, image. The order is the
// server's: some children come before their parents.
const MenuNode kBuiltInMenu[] = {
    // Stock trading, listed before the trading root and its group.
    { "511", "510", "买入", "buysale?MMLB=0", "" },
    { "512", "510", "卖出", "buysale?MMLB=1", "" },
    { "513", "510", "科创板盘后买入", "kcbbuysale?MMLB=3m", "" },
    { "514", "510", "科创板盘后卖出", "kcbbuysale?MMLB=3n", "" },
    { "515", "510", "撤单",
        "wtcd?tc_mfuncno=500&tc_sfuncno=121&sign=~bsflag&position=poststr&unlist=|market|orderstatus|", "" },
    { "516", "510", "新股申购", "xgsg?tc_mfuncno=500&tc_sfuncno=6", "" },
    { "517", "510", "权证行权", "qzxq?", "" },
    { "510", "500", "股票交易", "", "menu_stock.png" },
    { "100", "-1", "指数行情", "zshqpmd?tc_mfuncno=1100&tc_sfuncno=16&code=000001.2,399001.1,399006.1",
        "" },
    { "200", "-1", "资讯中心", "", "menu_news.png" },
    { "201", "200", "券商公告", "https://www.lumora-broker.test/notice", "" },
    { "202", "200", "帮助中心", "http://www.lumora-broker.test/help?from=client&topic=menu", "" },
    { "300", "-1", "网上开户", "https://open.lumora-broker.test/", "" },
    { "400", "-1", "客户服务", "", "menu_service.png" },
    { "401", "400", "在线客服", "https://www.lumora-broker.test/service", "" },
    { "500", "-1", "网上交易", "trademenu", "menu_trade.png" },
    { "520", "500", "查询", "", "menu_query.png" },
    { "521", "520", "资金查询", "tradequery?tc_mfuncno=500&tc_sfuncno=2", "" },
    { "522", "520", "资产查询", "zccx?tc_mfuncno=500&tc_sfuncno=2", "" },
    { "523", "520", "持仓查询",
        "tradequery?tc_mfuncno=500&tc_sfuncno=3&sign=proincome&position=poststr&unlist=|market|hq_market|",
        "" },
    { "524", "520", "当日委托",
        "tradequery?tc_mfuncno=500&tc_sfuncno=8&sign=~bsflag&position=poststr&unlist=|market|", "" },
    { "525", "520", "当日成交", "tradequery?tc_mfuncno=500&tc_sfuncno=9&sign=~bsflag&position=poststr", "" },
    { "526", "520", "股东账户", "tradequery?tc_mfuncno=500&tc_sfuncno=100&unlist=|market|~secuidtype|", "" },
    { "527", "520", "历史委托", "hisquery?tc_mfuncno=500&tc_sfuncno=125&position=poststr", "" },
    { "528", "520", "历史成交", "hisquery?tc_mfuncno=500&tc_sfuncno=10&position=poststr", "" },
    { "529", "520", "资金流水", "hisquery?tc_mfuncno=500&tc_sfuncno=54&position=poststr", "" },
    { "530", "520", "交割单", "hisquery?tc_mfuncno=500&tc_sfuncno=126&position=poststr", "" },
    { "531", "520", "配号查询", "hisquery?tc_mfuncno=500&tc_sfuncno=23&unlist=|market|", "" },
    { "532", "520", "中签查询", "hisquery?tc_mfuncno=500&tc_sfuncno=25&position=poststr", "" },
    { "533", "520", "成交汇总",
        "tradehisquery?tc_mfuncno=500&tc_sfuncno=9&position=poststr:tc_mfuncno=500&tc_sfuncno=10&position=poststr", "" },
    { "540", "500", "开放式基金", "", "menu_fund.png" },
    { "541", "540", "基金认购", "of_jjrg?tc_mfuncno=500&tc_sfuncno=34", "" },
    { "542", "540", "基金申购", "of_jjsg?tc_mfuncno=500&tc_sfuncno=35", "" },
    { "543", "540", "基金赎回", "of_jjsh?tc_mfuncno=500&tc_sfuncno=36", "" },
    { "544", "540", "基金撤单", "of_wtcd?tc_mfuncno=500&tc_sfuncno=55&unlist=|orderdate|", "" },
    { "545", "540", "基金转换", "of_jjzh?tc_mfuncno=500&tc_sfuncno=38", "" },
    { "546", "540", "分红设置", "of_fhsz?tc_mfuncno=500&tc_sfuncno=39", "" },
    { "547", "540", "基金定投", "jjdt?", "" },
    { "548", "540", "定投撤单", "jjdtcd?tc_mfuncno=500&tc_sfuncno=60&unlist=|~overkind|overkind|actionmode|",
        "" },
    { "549", "540", "基金份额", "tradequery?tc_mfuncno=500&tc_sfuncno=41&unlist=|tacode|", "" },
    { "550", "540", "基金交易查询", "tradequery?tc_mfuncno=500&tc_sfuncno=55&unlist=|jj_orderstatus|tacode|", "" },
    { "551", "540", "历史基金委托", "hisquery?tc_mfuncno=500&tc_sfuncno=40", "" },
    { "552", "540", "历史基金成交", "hisquery?tc_mfuncno=500&tc_sfuncno=42", "" },
    { "553", "540", "基金行情",
        "ofhqquery?tc_mfuncno=500&tc_sfuncno=50&unlist=|~shareclass|ofstatus|tacode|ecflag|", "" },
    { "554", "540", "基金账户", "tradequery?tc_mfuncno=500&tc_sfuncno=43&unlist=|tacode|", "" },
    { "555", "540", "基金风险测评", "jjfxcp?tc_mfuncno=500&tc_sfuncno=160", "" },
    { "556", "540", "分红方式查询", "tradequery?tc_mfuncno=500&tc_sfuncno=162&unlist=|dividmethod|", "" },
    { "560", "500", "银证转账", "", "menu_bank.png" },
    { "561", "560", "银行转证券", "banktransfer", "" },
    { "562", "560", "证券转银行", "stocktransfer", "" },
    { "563", "560", "转账查询", "tradequery?tc_mfuncno=500&tc_sfuncno=22&unlist=|moneytype|", "" },
    { "564", "560", "银行余额", "bankbalance?tc_mfuncno=500&tc_sfuncno=67", "" },
    { "565", "560", "资金内转", "mlt_intransfer?tc_mfuncno=500&tc_sfuncno=114", "" },
    { "566", "560", "资金归集", "mlt_alltransfer?tc_mfuncno=500&tc_sfuncno=115", "" },
    { "51877", "500", "沪港通", "", "menu_hgt.png" },
    { "51878", "51877", "港股通买入", "hgtmr?", "" },
    { "51879", "51877", "整手卖出", "hgtzsmc?", "" },
    { "51880", "51877", "零股卖出", "hgtlgmc?", "" },
    { "51881", "51877", "港股通撤单", "hgtcd?", "" },
    { "51882", "51877", "标的证券查询", "hgtbdcx?", "" },
    { "51883", "51877", "投票申报", "hgttpsb?", "" },
    { "51884", "51877", "其他行为申报", "hgtqtxwsb?", "" },
    { "51885", "51877", "公司行为申报查询", "hgtgsxwsbcx?", "" },
    { "51886", "51877", "通知信息查询", "hgttzxxcx?", "" },
    { "51887", "51877", "交易权限设置", "hgtjyqxsz?", "" },
    { "570", "500", "账户设置", "", "menu_settings.png" },
    { "571", "570", "修改密码", "xgmm?tc_mfuncno=500&tc_sfuncno=12", "" },
    { "572", "570", "权限设置", "qxsz?", "" },
    { "573", "570", "预留信息修改", "ylxxxg?", "" },
    // The one entry whose page this client lacks: it answers the not-supported message.
    { "574", "570", "适当性审核", "sdzdspsj?", "" },
    { "580", "500", "退出交易", "tradeexit", "" },
};

} // namespace

MenuBoard::MenuBoard()
    : nodes_(std::begin(kBuiltInMenu), std::end(kBuiltInMenu))
{
}

void registerMenuFunctions(BrokerSimulator& simulator, std::shared_ptr<MenuBoard> board)
{
    if (!board)
        board = std::make_shared<MenuBoard>();
    simulator.registerFunction(
        kMenuFunction.main, kMenuFunction.sub, [board](const Request& request, BrokerState& state) {
            const QString utid = request.valueOr(QStringLiteral("utid"));
            if (utid.isEmpty() || !state.knowsTerminalId(utid))
                return Reply::error(
                    errors::kTerminalIdUnknown, brokerError(errors::kTerminalIdUnknown).message);
            if (request.valueOr(QStringLiteral("cont_id")) != state.broker().data().contId)
                return Reply::error(errors::kBadRequest, QStringLiteral("请求参数错误：cont_id"));
            Table menu;
            menu.column(QStringLiteral("cm_menu_id"))
                .column(QStringLiteral("cm_menu_pid"))
                .column(QStringLiteral("cm_menu_name"))
                .column(QStringLiteral("cm_menu_link"))
                .column(QStringLiteral("cm_menu_image"));
            for (const MenuNode& node : board->nodes())
                menu.row({ node.id, node.parentId, node.name, node.link, node.image });
            return Reply::withTable(menu);
        });
}

void registerShellFunctions(BrokerSimulator& simulator)
{
    registerMenuFunctions(simulator);
    registerMessageFunctions(simulator);
}

} // namespace brokersim
