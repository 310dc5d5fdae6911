#include "ShellTestRig.h"
#include "comm/crypto/AesEncryption.h"
#include "platform/PropertyList.h"
#include "shell/menu/BaseNode.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdint>
#include <map>
#include <random>

using namespace shelltest;

namespace {

// Five roots, the fifth the trading root with a group, a leaf and the Stock
// Connect group; listed children first when `childrenFirst`.
std::vector<RDOMenuInfo::Ptr> sampleMenu(bool childrenFirst)
{
    std::vector<RDOMenuInfo::Ptr> roots {
        node("1", "-1", "行情", "zshqpmd?code=1"),
        node("2", "-1", "资讯"),
        node("3", "-1", "开户", "https://open.example.test/"),
        node("4", "-1", "服务"),
        node("5", "-1", "网上交易", "trademenu"),
    };
    std::vector<RDOMenuInfo::Ptr> children {
        node("11", "51", "买入", "buysale?MMLB=0"),
        node("12", "51", "卖出", "buysale?MMLB=1"),
        node("51", "5", "股票交易"),
        node("52", "5", "资金查询", "tradequery?tc_mfuncno=500&tc_sfuncno=2"),
        node("61", "51877", "港股通买入", "hgtmr?"),
        node("51877", "5", "沪港通"),
        node("21", "2", "公告", "https://www.example.test/notice"),
        node("99", "0", "无父节点"),
        node("98", "", "空父节点"),
    };
    std::vector<RDOMenuInfo::Ptr> all = childrenFirst ? children : roots;
    const auto& rest = childrenFirst ? roots : children;
    all.insert(all.end(), rest.begin(), rest.end());
    return all;
}

// The tree as text: "id(children...)" for every root, in order.
QString shape(const RDOMenuManager& menu)
{
    QStringList out;
    std::function<QString(const RDOMenuInfo&)> one = [&](const RDOMenuInfo& n) {
        QStringList kids;
        for (const auto& c : n.childArray)
            kids.append(one(*c));
        return kids.isEmpty() ? n.menuId : n.menuId + u'(' + kids.join(u',') + u')';
    };
    for (const auto& root : menu.rootMenuItemArray())
        out.append(one(*root));
    return out.join(u' ');
}

class MenuModelTest : public ShellHomeFixture { };

// How far apart on the stack the nodes of a tree are freed. Each node's
// deleter notes its own frame: a teardown that recurses frees the deepest node
// one frame per level further down, one that works in a loop frees every node
// at about the same depth, whatever the build type or the stack's size.
struct FreeDepths {
    std::uintptr_t lowest = UINTPTR_MAX;
    std::uintptr_t highest = 0;
    int freed = 0;
    void note()
    {
        const auto here = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
        lowest = std::min(lowest, here);
        highest = std::max(highest, here);
        ++freed;
    }
    std::uintptr_t spread() const { return highest - lowest; }
};

template <class T> std::shared_ptr<T> watched(T* node, FreeDepths& depths)
{
    return std::shared_ptr<T>(node, [&depths](T* gone) {
        depths.note();
        delete gone;
    });
}

// The linking read plainly, one call per node: every root in list order,
// and under a node every entry of the list, in order, whose parent id is its
// id. A node on the path down is left out (it would close a cycle); a node
// linked before comes under a further parent without its children linked
// again. A node listed twice is one node.
using Links = std::map<const RDOMenuInfo*, std::vector<const RDOMenuInfo*>>;
Links plainLinks(const std::vector<RDOMenuInfo::Ptr>& all)
{
    enum class Linking { NotYet, OnPath, Done };
    std::map<const RDOMenuInfo*, Linking> state;
    Links children;
    std::function<void(const RDOMenuInfo*)> initChild = [&](const RDOMenuInfo* parent) {
        state[parent] = Linking::OnPath;
        for (const RDOMenuInfo::Ptr& child : all) {
            if (child->parentId != parent->menuId || state[child.get()] == Linking::OnPath)
                continue;
            children[parent].push_back(child.get());
            if (state[child.get()] == Linking::NotYet)
                initChild(child.get());
        }
        state[parent] = Linking::Done;
    };
    for (const RDOMenuInfo::Ptr& node : all) {
        if (node->isRoot() && state[node.get()] == Linking::NotYet)
            initChild(node.get());
    }
    return children;
}

// Up to 14 entries with ids from a handful, so ids repeat, parents form
// cycles and nodes name themselves; some parents are roots' "-1", some match
// no id, and some entries list a node again.
std::vector<RDOMenuInfo::Ptr> randomMenu(std::uint32_t seed)
{
    static const char* const ids[] = { "1", "2", "3", "4", "5", "-1" };
    static const char* const parents[] = { "-1", "-1", "1", "2", "3", "4", "5", "0", "" };
    std::mt19937 random(seed);
    std::vector<RDOMenuInfo::Ptr> nodes(1 + random() % 14);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (i > 0 && random() % 5 == 0) {
            nodes[i] = nodes[random() % i];
            continue;
        }
        const bool rootsId = random() % 8 == 0;
        const char* id = ids[random() % (rootsId ? 6 : 5)];
        nodes[i] = node(id, parents[random() % std::size(parents)], "");
    }
    return nodes;
}

} // namespace

TEST_F(MenuModelTest, TreeFromAFlatListInAnyOrder)
{
    const RDOMenuManager parentsFirst(sampleMenu(false));
    const RDOMenuManager childrenFirst(sampleMenu(true));
    const QString expected = QStringLiteral("1 2(21) 3 4 5(51(11,12),52,51877(61))");
    EXPECT_EQ(shape(parentsFirst), expected);
    EXPECT_EQ(shape(childrenFirst), expected);
    // Nodes without a parent in the list stay in the list only.
    EXPECT_EQ(childrenFirst.allMenuItemsArray().size(), 14u);
    EXPECT_EQ(childrenFirst.rootMenuItemArray().size(), 5u);
    EXPECT_EQ(childrenFirst.allMenuItemsArray()[2]->menuLinkId, 0);
}

TEST_F(MenuModelTest, BrokenRepliesAreSurvived)
{
    struct Case {
        const char* name;
        std::vector<RDOMenuInfo::Ptr> nodes;
        const char* shape;
    };
    std::vector<Case> cases;
    // Two nodes that are each other's parent, and one that is its own.
    cases.push_back({ "cycle",
        { node("r", "-1", "R"), node("a", "b", "A"), node("b", "a", "B"), node("s", "s", "S") }, "r" });
    // A child whose id is also its root's: it would bring the root's children back under itself.
    cases.push_back(
        { "back to root", { node("r", "-1", "R"), node("c", "r", "C"), node("r", "c", "R2") }, "r(c(r))" });
    // Two groups with one id: the child goes under both, with its own
    // children once.
    cases.push_back({ "duplicate ids",
        { node("r", "-1", "R"), node("g", "r", "G1"), node("g", "r", "G2"), node("x", "g", "X"),
            node("y", "x", "Y") },
        "r(g(x(y)),g(x(y)))" });
    // Two roots with one id: the child under each.
    cases.push_back({ "duplicate roots", { node("r", "-1", "R"), node("r", "-1", "R"), node("x", "r", "X") },
        "r(x) r(x)" });
    // A group whose id is also a deeper group's: its children under both,
    // but not itself under its own descendant.
    cases.push_back({ "duplicate id below",
        { node("r", "-1", "R"), node("g", "r", "G"), node("h", "g", "H"), node("g", "h", "G2"),
            node("x", "g", "X") },
        "r(g(h(g(x)),x))" });
    // Groups of one id each naming that id as parent: a chain, each group
    // also under the groups above it once linked below.
    cases.push_back({ "own id as parent",
        { node("r", "-1", "R"), node("a", "r", "A1"), node("a", "a", "A2"), node("a", "a", "A3") },
        "r(a(a(a),a))" });
    // Parent ids sent as decimals: -1 by their integer value is a root.
    cases.push_back({ "decimal root ids",
        { node("r", "-1.0", "R"), node("x", "r", "X"), node("s", "-1.000", "S"), node("t", "-0.5", "T") },
        "r(x) s" });
    for (const Case& c : cases)
        EXPECT_EQ(shape(RDOMenuManager(c.nodes)), QString::fromLatin1(c.shape)) << c.name;

    // Many groups of one id sharing many children: links to children placed
    // before stop at the budget.
    std::vector<RDOMenuInfo::Ptr> sharing { node("r", "-1", "R") };
    for (int i = 0; i < 800; ++i)
        sharing.push_back(i < 400 ? node("g", "r", "G") : node("x", "g", "X"));
    const RDOMenuManager shared(sharing);
    std::size_t links = 0;
    for (const auto& n : shared.allMenuItemsArray())
        links += n->childArray.size();
    EXPECT_EQ(links, 400 + 400 + kMenuPlacementBudget);

    // A chain far deeper than any call stack would take.
    std::vector<RDOMenuInfo::Ptr> chain { node("0", "-1", "root") };
    for (int i = 1; i < 50000; ++i)
        chain.push_back(RDOMenuInfo::fromFields(
            QString::number(i), QString::number(i - 1), QString(), QString(), QString()));
    chain.push_back(RDOMenuInfo::fromFields("x", "49999", QString(), "trademenu", QString()));
    MenuManager manager;
    manager.setMenuInfo(std::make_shared<RDOMenuManager>(chain));
    ASSERT_NE(manager.findMenuInfoWithLinkId(1), nullptr);
    EXPECT_EQ(manager.findMenuInfoWithLinkId(1)->menuId, QStringLiteral("x"));
    EXPECT_EQ(
        buildMenuOutline(*manager.rdoMenuManager()->rootMenuItemArray().front(), true, manager).size(), 1u);

    // Fewer roots than the trading root's index: no trading root, nothing fails.
    manager.setMenuInfo(std::make_shared<RDOMenuManager>(
        std::vector<RDOMenuInfo::Ptr> { node("1", "-1", "A"), node("2", "-1", "B") }));
    EXPECT_TRUE(manager.getRootMenuArray().empty());
    EXPECT_EQ(manager.menuItemsArray(), QStringList { QStringLiteral("我的交易") });
    EXPECT_EQ(manager.getTradeMenuInfo(QStringLiteral("我的交易")), nullptr);
    EXPECT_EQ(manager.getTradeMenuInfo(QStringLiteral("B"))->menuId, QStringLiteral("2"));
    EXPECT_EQ(manager.getRootMenuInfo()->childArray.size(), 0u);
}

TEST_F(MenuModelTest, LinkingOfRandomBrokenMenusReadsAsThePlainLinking)
{
    for (std::uint32_t seed = 1; seed <= 400; ++seed) {
        const std::vector<RDOMenuInfo::Ptr> nodes = randomMenu(seed);
        const Links expected = plainLinks(nodes);
        const RDOMenuManager menu(nodes);
        Links linked;
        for (const RDOMenuInfo::Ptr& parent : menu.allMenuItemsArray()) {
            if (parent->isGroup() && !linked.contains(parent.get())) {
                for (const RDOMenuInfo::Ptr& child : parent->childArray)
                    linked[parent.get()].push_back(child.get());
            }
        }
        ASSERT_EQ(linked, expected) << "seed " << seed;
    }
}

TEST_F(MenuModelTest, TreesOfAnyDepthAreFreedWithoutRecursion)
{
    // Deep enough that a recursive teardown spreads well past the bound (at
    // least 16 bytes a level), shallow enough that it fails instead of
    // overflowing the stack in any build.
    constexpr int kDepth = 5000;
    constexpr std::uintptr_t kBound = 8 * 1024;
    struct Case {
        const char* name;
        int freed;
        std::function<void(FreeDepths&)> buildAndDrop;
    };
    const Case cases[] = {
        { "outline nodes", kDepth,
            [](FreeDepths& depths) {
                BaseNode::Ptr root = watched(new BaseNode(), depths);
                BaseNode* last = root.get();
                for (int i = 1; i < kDepth; ++i) {
                    BaseNode::Ptr next = watched(i + 1 == kDepth ? new ChildNode() : new BaseNode(), depths);
                    last->addChild(next);
                    last = next.get();
                }
                last->setLeaf(true);
            } },
        { "menu nodes", kDepth,
            [](FreeDepths& depths) {
                RDOMenuInfo::Ptr root = watched(new RDOMenuInfo(), depths);
                RDOMenuInfo* last = root.get();
                for (int i = 1; i < kDepth; ++i) {
                    RDOMenuInfo::Ptr next = watched(new RDOMenuInfo(), depths);
                    last->addChild(next);
                    last = next.get();
                }
            } },
        { "a subtree held elsewhere survives its parent", 3,
            [](FreeDepths& depths) {
                RDOMenuInfo::Ptr kept = watched(new RDOMenuInfo(), depths);
                kept->addChild(watched(new RDOMenuInfo(), depths));
                {
                    RDOMenuInfo::Ptr root = watched(new RDOMenuInfo(), depths);
                    root->addChild(kept);
                }
                EXPECT_EQ(depths.freed, 1);
                EXPECT_EQ(kept->childArray.size(), 1u);
            } },
    };
    for (const Case& c : cases) {
        FreeDepths depths;
        c.buildAndDrop(depths);
        EXPECT_EQ(depths.freed, c.freed) << c.name;
        EXPECT_LT(depths.spread(), kBound) << c.name;
    }
}

TEST_F(MenuModelTest, StoreVersionCheckAndTradingRoot)
{
    MenuManager manager;
    EXPECT_TRUE(manager.needRequestMenuInfo(QStringLiteral("v1"))); // nothing stored
    manager.setMenuInfo(std::make_shared<RDOMenuManager>(sampleMenu(true)));
    EXPECT_EQ(UserDefaultConfig::getInstance()->menuVersion(), QStringLiteral("v1"));

    // Links are stored enciphered, never in clear.
    QFile file(manager.menuLocalPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray stored = file.readAll();
    EXPECT_FALSE(stored.contains("buysale"));
    EXPECT_TRUE(stored.contains("<key>menu_items</key>"));
    file.close();

    MenuManager reloaded;
    EXPECT_FALSE(reloaded.needRequestMenuInfo(QStringLiteral("v1")));
    ASSERT_TRUE(reloaded.rdoMenuManager());
    EXPECT_EQ(shape(*reloaded.rdoMenuManager()), shape(*manager.rdoMenuManager()));
    const auto& before = manager.rdoMenuManager()->allMenuItemsArray();
    const auto& after = reloaded.rdoMenuManager()->allMenuItemsArray();
    ASSERT_EQ(before.size(), after.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(after[i]->menuLinkId, before[i]->menuLinkId) << i;
        EXPECT_EQ(after[i]->menuLinkType, before[i]->menuLinkType) << i;
        EXPECT_EQ(after[i]->plainLink(), before[i]->plainLink()) << i;
    }
    EXPECT_EQ(AesEncryption::decodeStringWithAES(*reloaded.getPMDParam(), RDOMenuInfo::kMenuKey),
        QStringLiteral("zshqpmd?code=1"));

    // The trading root loses its Stock Connect group, in memory only.
    const auto roots = reloaded.getRootMenuArray();
    ASSERT_EQ(roots.size(), 1u);
    EXPECT_EQ(childIds(*roots.front()), QStringLiteral("51,52"));
    EXPECT_EQ(
        reloaded.menuItemsArray(), (QStringList { QStringLiteral("网上交易"), QStringLiteral("我的交易") }));
    EXPECT_EQ(reloaded.getTradeMenuInfo(QStringLiteral("我的交易")), roots.front());
    EXPECT_EQ(reloaded.getTradeMenuInfo(QStringLiteral("网上交易")), roots.front());
    EXPECT_EQ(reloaded.findMenuInfoWithLinkId(10001)->menuName, QStringLiteral("卖出"));

    // A new version, a missing file or one that does not parse: fetch again.
    EXPECT_TRUE(MenuManager().needRequestMenuInfo(QStringLiteral("v2")));
    ASSERT_TRUE(QFile::resize(manager.menuLocalPath(), 40));
    MenuManager broken;
    EXPECT_TRUE(broken.needRequestMenuInfo(QStringLiteral("v1")));
    EXPECT_EQ(broken.menuVersion(), QStringLiteral("v1"));
    ASSERT_TRUE(QFile::remove(manager.menuLocalPath()));
    EXPECT_TRUE(MenuManager().needRequestMenuInfo(QStringLiteral("v1")));
}

TEST_F(MenuModelTest, AFailedSaveRecordsNoVersionAndWritesNoVisibilityFile)
{
    MenuManager manager;
    ASSERT_TRUE(manager.needRequestMenuInfo(QStringLiteral("v7")));
    // A folder where the menu file goes: the atomic write cannot replace it.
    ASSERT_TRUE(QDir().mkpath(manager.menuLocalPath()));
    manager.setMenuInfo(std::make_shared<RDOMenuManager>(sampleMenu(false)));

    // The menu serves this run; nothing says it was stored.
    ASSERT_TRUE(manager.rdoMenuManager());
    EXPECT_EQ(manager.menuItemsArray().size(), 2);
    EXPECT_FALSE(UserDefaultConfig::getInstance()->menuVersion().has_value());
    EXPECT_FALSE(QFile::exists(manager.menuVisiblePath()));
    EXPECT_TRUE(QFileInfo(manager.menuLocalPath()).isDir());
    // So the next start fetches it again.
    EXPECT_TRUE(MenuManager().needRequestMenuInfo(QStringLiteral("v7")));
}

// A reply that cannot vouch for a stored menu: one without entries keeps
// nothing (the menu held, the stored file and its version stay), one without
// a version is fetched again at every start; a menu stored without entries
// (by an earlier build) is never current.
TEST_F(MenuModelTest, NoEntriesOrNoVersionIsFetchedAgain)
{
    const struct {
        const char* name;
        bool storedEntries; // what an earlier start stored under "v1"
        const char* version; // the reply's
        bool entries; // the menu fetched
        const char* storedVersion; // afterwards
    } rows[] = {
        { "a menu without entries", true, "v2", false, "v1" },
        { "a reply without a version", true, "", true, "" },
        { "an empty menu stored under the reply's version", false, "v1", false, "v1" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        MenuManager first;
        QFile::remove(first.menuLocalPath());
        ASSERT_TRUE(first.needRequestMenuInfo(QStringLiteral("v1")));
        if (row.storedEntries) {
            first.setMenuInfo(std::make_shared<RDOMenuManager>(sampleMenu(false)));
        } else {
            ASSERT_TRUE(platform::PropertyList::writeFileAtomic(
                first.menuLocalPath(), QVariantMap { { "menu_items", QVariantList() } }));
            UserDefaultConfig::getInstance()->setMenuVersion(QStringLiteral("v1"));
        }

        MenuManager manager;
        const QString version = QString::fromLatin1(row.version);
        ASSERT_TRUE(manager.needRequestMenuInfo(version));
        manager.setMenuInfo(std::make_shared<RDOMenuManager>(
            row.entries ? sampleMenu(false) : std::vector<RDOMenuInfo::Ptr>()));
        EXPECT_EQ(manager.rdoMenuManager() != nullptr, row.entries);
        EXPECT_EQ(UserDefaultConfig::getInstance()->menuVersion().value_or(QString()), row.storedVersion);
        EXPECT_TRUE(manager.needRequestMenuInfo(version));
        EXPECT_TRUE(MenuManager().needRequestMenuInfo(version));
        // The stored menu is as it was either way.
        EXPECT_EQ(first.getMenuInfoFromLocal(first.menuLocalPath()), row.storedEntries);
        if (row.storedEntries)
            EXPECT_EQ(first.rdoMenuManager()->allMenuItemsArray().size(), sampleMenu(false).size());
    }
}

TEST_F(MenuModelTest, TheStockConnectGroupIsDroppedByIdAloneOrByNameAlone)
{
    struct Case {
        const char* id;
        const char* name;
        bool group; // with a child
        const char* kept;
    };
    const Case cases[] = {
        { "51877", "沪港通", true, "51" }, { "51877", "港股通", true, "51" }, // by id alone
        { "777", "沪港通", true, "51" }, // by name alone
        { "777", "港股通", true, "51,777" }, // neither: an ordinary group
        { "51877", "沪港通", false, "51,51877" }, // an entry, not a group
        { "51877.0", "港股通", true, "51" }, // the id's integer value
    };
    for (const Case& c : cases) {
        std::vector<RDOMenuInfo::Ptr> nodes { node("1", "-1", "A"), node("2", "-1", "B"),
            node("3", "-1", "C"), node("4", "-1", "D"), node("5", "-1", "网上交易", "trademenu"),
            node("51", "5", "股票交易"), node("11", "51", "买入", "buysale?MMLB=0"),
            node(c.id, "5", c.name, c.group ? "" : "hgtmr?") };
        if (c.group)
            nodes.push_back(node("61", c.id, "港股通买入", "hgtmr?"));
        MenuManager manager;
        manager.setMenuInfo(std::make_shared<RDOMenuManager>(nodes));
        const auto roots = manager.getRootMenuArray();
        ASSERT_EQ(roots.size(), 1u) << c.id << c.name;
        EXPECT_EQ(childIds(*roots.front()), QString::fromLatin1(c.kept)) << c.id << " " << c.name;
    }
}

TEST_F(MenuModelTest, VisibilityApplyAndRestoreThroughTheFile)
{
    MenuManager manager;
    // Without a menu nothing is written.
    EXPECT_FALSE(manager.applyMenuItemsVisibleSetting());
    // Storing a menu writes the defaults; start again without the file.
    manager.setMenuInfo(std::make_shared<RDOMenuManager>(sampleMenu(false)));
    ASSERT_TRUE(QFile::exists(manager.menuVisiblePath()));
    ASSERT_TRUE(QFile::remove(manager.menuVisiblePath()));

    // The getter reads; it never writes the file.
    EXPECT_TRUE(manager.getMenuItemVisible(QStringLiteral("51")));
    EXPECT_TRUE(manager.getMenuItemVisible(QStringLiteral("unknown")));
    EXPECT_FALSE(QFile::exists(manager.menuVisiblePath()));

    manager.setMenuItemVisible(false, QStringLiteral("51"));
    EXPECT_FALSE(manager.getMenuItemVisible(QStringLiteral("51")));
    EXPECT_TRUE(manager.applyMenuItemsVisibleSetting());
    const QVariantMap written = platform::PropertyList::readFile(manager.menuVisiblePath())->toMap();
    EXPECT_EQ(written.value(QStringLiteral("51")), QStringLiteral("0"));
    EXPECT_EQ(written.value(QStringLiteral("52")), QStringLiteral("1"));
    EXPECT_EQ(written.value(QStringLiteral("99")), QStringLiteral("1")); // unplaced nodes too

    manager.setMenuItemVisible(true, QStringLiteral("51"));
    manager.setMenuItemVisible(false, QStringLiteral("52"));
    manager.restoreMenuItemsVisibleSetting();
    EXPECT_FALSE(manager.getMenuItemVisible(QStringLiteral("51")));
    EXPECT_TRUE(manager.getMenuItemVisible(QStringLiteral("52")));
    // A new manager starts from the file.
    EXPECT_FALSE(MenuManager().getMenuItemVisible(QStringLiteral("51")));

    // An entry counts by its value, whether written as text, number or
    // boolean; one without a value hides the entry as "0" does.
    const QVariantMap stored { { QStringLiteral("51"), QStringLiteral("1.000") },
        { QStringLiteral("52"), QStringLiteral("0.000") }, { QStringLiteral("53"), 1.0 },
        { QStringLiteral("54"), true }, { QStringLiteral("55"), QStringLiteral("x") } };
    ASSERT_TRUE(platform::PropertyList::writeFileAtomic(manager.menuVisiblePath(), stored));
    MenuManager fromFile;
    for (const auto& [id, visible] :
        { std::pair { "51", true }, { "52", false }, { "53", true }, { "54", true }, { "55", false } })
        EXPECT_EQ(fromFile.getMenuItemVisible(QString::fromLatin1(id)), visible) << id;
}

TEST_F(MenuModelTest, OutlineNodes)
{
    MenuManager manager;
    manager.setMenuInfo(std::make_shared<RDOMenuManager>(sampleMenu(false)));
    const RDOMenuInfo::Ptr root = manager.getRootMenuArray().front();
    manager.setMenuItemVisible(false, QStringLiteral("51"));

    // The user's outline leaves out the hidden group with its visible children.
    const BaseNode::List user = buildMenuOutline(*root, true, manager);
    ASSERT_EQ(user.size(), 1u);
    EXPECT_EQ(user[0]->nodeId, QStringLiteral("52"));
    EXPECT_TRUE(user[0]->isLeaf());
    EXPECT_EQ(user[0]->children(), BaseNode::List { user[0] });
    EXPECT_EQ(user[0]->nodeLinkId, 10003);
    EXPECT_EQ(findNodeWithLinkId(user, 10000), nullptr);

    // The editor's outline shows everything, with the visibility flags.
    const BaseNode::List editor = buildMenuOutline(*root, false, manager);
    ASSERT_EQ(editor.size(), 2u);
    const BaseNode::Ptr group = editor[0];
    EXPECT_FALSE(group->isLeaf());
    EXPECT_TRUE(group->isGroup);
    EXPECT_FALSE(group->isVisiable);
    EXPECT_EQ(group->nodeTitle, QStringLiteral("股票交易"));
    ASSERT_EQ(group->children().size(), 2u);
    const BaseNode::Ptr sell = findNodeWithLinkId(editor, 10001);
    ASSERT_NE(sell, nullptr);
    EXPECT_EQ(sell->nodeTitle, QStringLiteral("卖出"));
    EXPECT_EQ(sell->parentFromArray(editor), group);
    EXPECT_EQ(group->parentFromArray(editor), nullptr);
    EXPECT_EQ(sell->indexPathInArray(editor), (QList<qsizetype> { 0, 1 }));
    EXPECT_EQ(editor[1]->indexPathInArray(editor), QList<qsizetype> { 1 });
    EXPECT_FALSE(BaseNode().indexPathInArray(editor).has_value());
    EXPECT_TRUE(sell->isDescendantOfNodes(editor));
    EXPECT_FALSE(group->isDescendantOfNodes(editor));
    EXPECT_TRUE(group->isDescendantOfOrOneOfNodes(editor));
    EXPECT_EQ(group->allChildLeafs().size(), 2u);
    group->removeObjectFromChildren(sell.get());
    EXPECT_EQ(group->children().size(), 1u);
    EXPECT_EQ(BaseNode().nodeTitle, QStringLiteral("BaseNode Untitled"));
    BaseNode a, b;
    a.nodeTitle = QStringLiteral("alpha");
    b.nodeTitle = QStringLiteral("Beta");
    EXPECT_LT(a.compare(b), 0);
    EXPECT_GT(b.compare(a), 0);
}
