#include "tools/broker-sim/RiskFunctions.h"

#include "tools/broker-sim/BrokerSimulator.h"
#include "tools/broker-sim/LoginFunctions.h"

#include <QSet>

namespace brokersim {

namespace {

constexpr qint32 kBadAnswers = 2001;
constexpr char kBookName[] = "lumora-risk-book";

RiskQuestion question(const char* key, const QString& text, bool multiple, std::vector<RiskAnswer> answers)
{
    return { QString::fromLatin1(key), text, multiple, std::move(answers) };
}

Reply refuse(const BrokerError& e)
{
    return Reply::error(e.code, e.message);
}

RiskState stateOfData(const Customer& customer)
{
    if (customer.risk.isrisk == QLatin1String("2"))
        return RiskState::NeedsQuestionnaire;
    if (customer.risk.isrisk == QLatin1String("1"))
        return RiskState::Expired;
    return RiskState::Valid;
}

Reply status(const RiskBook& book, const Request& request, BrokerState& state)
{
    BrokerError error;
    const Customer* c = state.broker().authenticate(request.body, &error);
    if (!c)
        return refuse(error);
    const RiskState now = book.state(*c);
    // The data's own texts while the data's state holds; after a change, ours.
    const bool fromData = now == stateOfData(*c);
    QString isrisk = QStringLiteral("0");
    QString tips, title, text;
    if (now != RiskState::Valid) {
        isrisk = now == RiskState::Expired ? QStringLiteral("1") : QStringLiteral("2");
        tips = fromData && !c->risk.tips.isEmpty() ? c->risk.tips
            : now == RiskState::Expired ? QStringLiteral("您的风险承受能力评估已过期，请重新评估。")
                                        : QStringLiteral("您尚未完成风险承受能力评估，请先完成评估。");
        title = fromData && !c->risk.fctipstitle.isEmpty() ? c->risk.fctipstitle : QStringLiteral("风险测评提示");
        text = fromData && !c->risk.fctips.isEmpty() ? c->risk.fctips
                                                     : QStringLiteral("请如实填写风险承受能力评估问卷。");
    }
    return Reply::withTable(Table()
                                .column(QStringLiteral("isrisk"))
                                .column(QStringLiteral("tips"))
                                .column(QStringLiteral("fctipstitle"))
                                .column(QStringLiteral("fctips"))
                                .row({ isrisk, tips, title, text }));
}

Reply questionnaire(const Request& request, BrokerState& state)
{
    BrokerError error;
    if (!state.broker().authenticate(request.body, &error))
        return refuse(error);
    return Reply::withTable(riskQuestionnaireTable());
}

// Checks and scores a submit; the customer's evaluation is valid afterwards.
std::optional<Reply> acceptSubmit(RiskBook& book, const Request& request, BrokerState& state, qint32* score)
{
    BrokerError error;
    const Customer* c = state.broker().authenticate(request.body, &error);
    if (!c)
        return refuse(error);
    bool ok = false;
    const qint64 count = request.valueOr(QStringLiteral("count")).toLongLong(&ok);
    QString why;
    const std::optional<qint32> points = RiskBook::scoreAnswers(request.valueOr(QStringLiteral("survey_sn")),
        ok ? count : -1, request.valueOr(QStringLiteral("survey_cells")),
        request.valueOr(QStringLiteral("survey_cols")), &why);
    if (!points)
        return Reply::error(kBadAnswers, why);
    book.recordScore(c->custid, *points);
    book.setState(c->custid, RiskState::Valid);
    *score = *points;
    return std::nullopt;
}

Reply submit(RiskBook& book, const Request& request, BrokerState& state)
{
    qint32 score = 0;
    if (std::optional<Reply> refused = acceptSubmit(book, request, state, &score))
        return *refused;
    return Reply::withTable(Table().column(QStringLiteral("~msgok")).row({
        QStringLiteral("风险测评提交成功，您的风险等级为%1").arg(riskLevelName(score)) }));
}

Reply submitEx(RiskBook& book, const Request& request, BrokerState& state)
{
    qint32 score = 0;
    if (std::optional<Reply> refused = acceptSubmit(book, request, state, &score))
        return *refused;
    Table t;
    for (const char* name : { "title", "content", "type", "webaddr", "ans", "locktime", "tips", "showtips" })
        t.column(QString::fromLatin1(name));
    t.row({ QStringLiteral("风险承受能力评估结果告知书"),
        QStringLiteral("尊敬的投资者：\n\n    您本次风险承受能力评估得分为%1分，风险等级为%2。"
                       "本公司将根据您的风险等级向您推荐相匹配的产品和服务。")
            .arg(score)
            .arg(riskLevelName(score)),
        QStringLiteral("1"), QString(), QString(), QStringLiteral("0"), QStringLiteral("本人已阅读并知晓评估结果"),
        QString() });
    t.row({ QStringLiteral("投资者风险揭示书"),
        QStringLiteral("证券投资存在市场风险、流动性风险等各类风险，投资者应根据自身的风险承受能力审慎决策。"),
        QStringLiteral("1"), QString(), QString(), QStringLiteral("0"), QStringLiteral("本人已阅读并理解上述风险"),
        QString() });
    return Reply::withTable(t);
}

Reply scoreQuery(const RiskBook& book, const Request& request, BrokerState& state)
{
    BrokerError error;
    const Customer* c = state.broker().authenticate(request.body, &error);
    if (!c)
        return refuse(error);
    const std::optional<qint32> score = book.score(c->custid);
    if (!score || book.state(*c) != RiskState::Valid) {
        return Reply::withTable(Table()
                                    .column(QStringLiteral("isOK"))
                                    .column(QStringLiteral("reason"))
                                    .row({ QStringLiteral("1"), QStringLiteral("尚未完成风险承受能力评估") }));
    }
    return Reply::withTable(Table()
                                .column(QStringLiteral("isOK"))
                                .column(QStringLiteral("survey_score"))
                                .column(QStringLiteral("rating_lvl_name"))
                                .row({ QStringLiteral("0"), QString::number(*score), riskLevelName(*score) }));
}

} // namespace

const RiskQuestionnaire& riskQuestionnaire()
{
    static const RiskQuestionnaire q { QStringLiteral("SN20240601"),
        {
            question("1", QStringLiteral("您的年龄是？"), false,
                { { "A", QStringLiteral("18-30岁"), 4 }, { "B", QStringLiteral("31-50岁"), 3 },
                    { "C", QStringLiteral("51-60岁"), 2 }, { "D", QStringLiteral("60岁以上"), 1 } }),
            question("2", QStringLiteral("您的证券投资经验有多少年？"), false,
                { { "A", QStringLiteral("没有经验"), 1 }, { "B", QStringLiteral("1至3年"), 2 },
                    { "C", QStringLiteral("3至5年"), 3 }, { "D", QStringLiteral("5年以上"), 4 } }),
            question("3", QStringLiteral("您投资过哪些品种？（可多选）"), true,
                { { "A", QStringLiteral("银行存款"), 1 }, { "B", QStringLiteral("债券"), 2 },
                    { "C", QStringLiteral("股票"), 3 }, { "D", QStringLiteral("期货"), 4 } }),
            question("4", QStringLiteral("您能承受的最大投资亏损是？"), false,
                { { "A", QStringLiteral("10%以内"), 1 }, { "B", QStringLiteral("10%至30%"), 2 },
                    { "C", QStringLiteral("30%至50%"), 3 }, { "D", QStringLiteral("50%以上"), 4 } }),
            question("5", QStringLiteral("您计划的投资期限是？"), false,
                { { "A", QStringLiteral("1年以内"), 1 }, { "B", QStringLiteral("1至3年"), 2 },
                    { "C", QStringLiteral("3年以上"), 3 } }),
        } };
    return q;
}

QString riskLevelName(qint32 score)
{
    if (score < 10)
        return QStringLiteral("保守型");
    if (score < 15)
        return QStringLiteral("稳健型");
    if (score < 20)
        return QStringLiteral("积极型");
    return QStringLiteral("激进型");
}

Table riskQuestionnaireTable()
{
    Table t;
    for (const char* name : { "SURVEY_COL", "SURVEY_COL_TEXT", "SURVEY_COL_OPT", "SURVEY_CELL", "SURVEY_CELL_TEXT",
             "SURVEY_SN" })
        t.column(QString::fromLatin1(name));
    const RiskQuestionnaire& q = riskQuestionnaire();
    for (const RiskQuestion& question : q.questions) {
        for (const RiskAnswer& answer : question.answers) {
            t.row({ question.key, question.text, question.multiple ? QStringLiteral("1") : QStringLiteral("0"),
                answer.key, answer.text, q.serial });
        }
    }
    return t;
}

RiskBook::RiskBook(QObject* parent)
    : QObject(parent)
{
    setObjectName(QString::fromLatin1(kBookName));
}

RiskBook* RiskBook::of(BrokerSimulator& simulator)
{
    return simulator.findChild<RiskBook*>(QString::fromLatin1(kBookName), Qt::FindDirectChildrenOnly);
}

RiskState RiskBook::state(const Customer& customer) const
{
    return states_.value(customer.custid, stateOfData(customer));
}

void RiskBook::setState(const QString& custid, RiskState state)
{
    states_.insert(custid, state);
}

std::optional<qint32> RiskBook::score(const QString& custid) const
{
    const auto it = scores_.constFind(custid);
    return it == scores_.cend() ? std::nullopt : std::optional<qint32>(*it);
}

void RiskBook::recordScore(const QString& custid, qint32 score)
{
    scores_.insert(custid, score);
}

void RiskBook::reset()
{
    states_.clear();
    scores_.clear();
}

std::optional<qint32> RiskBook::scoreAnswers(
    const QString& serial, qint64 count, const QString& cells, const QString& cols, QString* why)
{
    const RiskQuestionnaire& q = riskQuestionnaire();
    auto fail = [&](const QString& text) {
        if (why)
            *why = text;
        return std::nullopt;
    };
    if (serial != q.serial)
        return fail(QStringLiteral("问卷编号不符，请重新获取问卷"));
    if (count != qint64(q.questions.size()))
        return fail(QStringLiteral("答题数量不符"));
    // Both lists end in "|": one piece per question, then an empty tail.
    const QStringList cellList = cells.split(u'|');
    const QStringList colList = cols.split(u'|');
    const qsizetype n = qsizetype(q.questions.size());
    if (cellList.size() != n + 1 || colList.size() != n + 1 || !cellList.last().isEmpty()
        || !colList.last().isEmpty())
        return fail(QStringLiteral("问卷答案不完整"));
    qint32 score = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const RiskQuestion& question = q.questions[size_t(i)];
        if (colList[i] != question.key)
            return fail(QStringLiteral("第%1题题号不符").arg(i + 1));
        const QStringList chosen = cellList[i].split(u',');
        if (cellList[i].isEmpty() || (!question.multiple && chosen.size() != 1)
            || QSet<QString>(chosen.begin(), chosen.end()).size() != chosen.size())
            return fail(QStringLiteral("第%1题答案无效").arg(i + 1));
        for (const QString& key : chosen) {
            auto it = std::find_if(question.answers.begin(), question.answers.end(),
                [&](const RiskAnswer& a) { return a.key == key; });
            if (it == question.answers.end())
                return fail(QStringLiteral("第%1题答案无效").arg(i + 1));
            score += it->points;
        }
    }
    return score;
}

void registerRiskFunctions(BrokerSimulator& simulator)
{
    auto* book = new RiskBook(&simulator);
    auto add = [&](Function f, Handler h) { simulator.registerFunction(f.main, f.sub, std::move(h)); };
    add(kRiskStatusFunction, [book](const Request& r, BrokerState& s) { return status(*book, r, s); });
    add(kRiskQuestionnaireFunction, questionnaire);
    add(kRiskSubmitFunction, [book](const Request& r, BrokerState& s) { return submit(*book, r, s); });
    add(kRiskSubmitExFunction, [book](const Request& r, BrokerState& s) { return submitEx(*book, r, s); });
    add(kRiskScoreFunction, [book](const Request& r, BrokerState& s) { return scoreQuery(*book, r, s); });
}

} // namespace brokersim
