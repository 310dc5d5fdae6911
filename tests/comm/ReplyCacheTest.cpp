#include "comm/transport/VEKConnectionContext.h"
#include "platform/PropertyList.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace plist = platform::PropertyList;

namespace {

QString cacheFile(const QString& root, const QString& store, const QByteArray& request)
{
    return QDir(root).filePath(store + "/" + VEKConnectionContext::keyForRequest(request) + ".cacheddata");
}

// A cache file written by hand, as an older run or another client left it.
void writeEntry(const QString& path, const QVariantMap& headers, const QByteArray& data)
{
    QVariantMap entry = headers;
    entry.insert("Cache-Data", data);
    ASSERT_TRUE(plist::writeFileAtomic(path, entry));
}

QString rfc(qint64 secondsFromNow)
{
    return VEKConnectionContext::stringWithRFC1123Date(
        QDateTime::currentDateTimeUtc().addSecs(secondsFromNow));
}

template <class F> QString cacheProblem(F&& f)
{
    try {
        f();
    } catch (const VEKCacheException& e) {
        return e.name() + " | " + e.reason();
    }
    return {};
}

} // namespace

TEST(ReplyCache, KeysDatesAndPolicy)
{
    EXPECT_EQ(VEKConnectionContext::keyForRequest("abc"), "900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(VEKConnectionContext::keyForRequest(""), "D41D8CD98F00B204E9800998ECF8427E");

    const QDateTime when(QDate(1994, 11, 6), QTime(8, 49, 37), Qt::UTC);
    EXPECT_EQ(VEKConnectionContext::stringWithRFC1123Date(when), "Sun, 06 Nov 1994 08:49:37 GMT");
    EXPECT_EQ(VEKConnectionContext::stringWithRFC1123Date(when.toOffsetFromUtc(8 * 3600)),
        "Sun, 06 Nov 1994 08:49:37 GMT");
    EXPECT_EQ(VEKConnectionContext::dateFromRFC1123String("Sun, 06 Nov 1994 08:49:37 GMT"), when);
    EXPECT_FALSE(VEKConnectionContext::dateFromRFC1123String("Sun, 06 Nov 1994 08:49:37 PST"));
    EXPECT_FALSE(VEKConnectionContext::dateFromRFC1123String("Sun, 31 Feb 1994 08:49:37 GMT"));
    EXPECT_FALSE(VEKConnectionContext::dateFromRFC1123String("Xyz, 06 Nov 1994 08:49:37 GMT"));
    EXPECT_FALSE(VEKConnectionContext::dateFromRFC1123String(""));
    EXPECT_EQ(VEKConnectionContext::stringWithRFC1123Date(QDateTime()), "");
    EXPECT_EQ(&VEKConnectionContext::rfc1123DateFormatter(), &VEKConnectionContext::rfc1123DateFormatter());

    VEKConnectionContext context;
    EXPECT_EQ(context.defaultCachePolicy(), 2);
    context.setDefaultCachePolicy(1);
    EXPECT_EQ(context.defaultCachePolicy(), 1);
    context.setDefaultCachePolicy(0);
    EXPECT_EQ(context.defaultCachePolicy(), 2);

    // Without a storage path nothing is stored or found.
    context.storeResponse("reply", "request", 60);
    EXPECT_FALSE(context.pathToCachedResponseDataForRequest("request"));
    EXPECT_FALSE(context.isCachedDataCurrentForRequest("request"));
    EXPECT_FALSE(context.cachedResponseDataForRequest("request"));
    EXPECT_NO_THROW(context.clearCachedResponsesForStoragePolicy(2));
    EXPECT_NO_THROW(context.removeCachedDataForRequest("request"));

    // The lock can be shared; none given means a fresh one.
    auto lock = std::make_shared<QRecursiveMutex>();
    context.setAccessLock(lock);
    EXPECT_EQ(context.accessLock(), lock);
    context.setAccessLock(nullptr);
    EXPECT_TRUE(context.accessLock());
    EXPECT_NE(context.accessLock(), lock);
}

TEST(ReplyCache, StoresAndJudgesFreshness)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString root = dir.filePath("cache/nested");
    VEKConnectionContext context;
    context.setStoragePath(root);
    EXPECT_EQ(context.storagePath(), root);
    EXPECT_TRUE(QFileInfo(root + "/SessionStore").isDir());
    EXPECT_TRUE(QFileInfo(root + "/PermanentStore").isDir());

    // Stored with a maximum age: the file and its keys.
    context.storeResponse("reply bytes", "request one", 3600);
    const QString path = cacheFile(root, "SessionStore", "request one");
    EXPECT_EQ(context.pathToCachedResponseDataForRequest("request one"), path);
    const QVariantMap entry = plist::readFile(path)->toMap();
    EXPECT_EQ(entry.value("Cache-Control").toString(), "max-age=3600");
    EXPECT_FALSE(entry.contains("Expires"));
    EXPECT_TRUE(
        VEKConnectionContext::dateFromRFC1123String(entry.value("X-VEKConnection-Fetch-date").toString()));
    EXPECT_EQ(entry.value("Cache-Data").toByteArray(), "reply bytes");
    EXPECT_TRUE(context.isCachedDataCurrentForRequest("request one"));
    EXPECT_EQ(context.cachedResponseDataForRequest("request one"), QByteArray("reply bytes"));

    // Stored with age 0: an Expires of now, stale at once.
    context.storeResponse("zero", "request two", 0);
    const QVariantMap zero = plist::readFile(cacheFile(root, "SessionStore", "request two"))->toMap();
    EXPECT_FALSE(zero.contains("Cache-Control"));
    EXPECT_TRUE(zero.contains("Expires"));
    EXPECT_FALSE(context.isCachedDataCurrentForRequest("request two"));
    EXPECT_EQ(context.cachedResponseDataForRequest("request two"), QByteArray("zero"));

    // Freshness by hand-written entries.
    const QString entryPath = cacheFile(root, "PermanentStore", "r");
    writeEntry(entryPath,
        { { "Expires", rfc(-10) }, { "Cache-Control", "max-age=99999" },
            { "X-VEKConnection-Fetch-date", rfc(0) } },
        "x");
    EXPECT_FALSE(context.isCachedDataCurrentForRequest("r")); // Expires wins over a generous max-age
    writeEntry(entryPath, { { "Expires", rfc(600) } }, "x");
    EXPECT_TRUE(context.isCachedDataCurrentForRequest("r"));
    writeEntry(
        entryPath, { { "Cache-Control", "MAX-AGE=60" }, { "X-VEKConnection-Fetch-date", rfc(-3600) } }, "x");
    EXPECT_FALSE(context.isCachedDataCurrentForRequest("r"));
    writeEntry(entryPath,
        { { "Cache-Control", "max-age=7200" }, { "X-VEKConnection-Fetch-date", rfc(-3600) } }, "x");
    EXPECT_TRUE(context.isCachedDataCurrentForRequest("r"));
    writeEntry(
        entryPath, { { "Cache-Control", "no-cache" }, { "X-VEKConnection-Fetch-date", rfc(-999999) } }, "x");
    EXPECT_TRUE(context.isCachedDataCurrentForRequest("r")); // no max-age: current for ever
    QFile::remove(entryPath);
    QFile junk(entryPath);
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a property list");
    junk.close();
    EXPECT_FALSE(context.cachedResponseDataForRequest("r"));

    // The same request bytes name the same file in both stores; the session store wins.
    writeEntry(cacheFile(root, "PermanentStore", "request one"), { { "Expires", rfc(600) } }, "permanent");
    EXPECT_EQ(context.cachedResponseDataForRequest("request one"), QByteArray("reply bytes"));
    context.removeCachedDataForRequest("request one");
    EXPECT_FALSE(context.pathToCachedResponseDataForRequest("request one"));

    // Policy 1 stores nothing; an empty reply is never stored.
    context.setDefaultCachePolicy(1);
    context.storeResponse("reply", "request three", 60);
    context.setDefaultCachePolicy(0);
    context.storeResponse("", "request three", 60);
    EXPECT_FALSE(context.pathToCachedResponseDataForRequest("request three"));
}

TEST(ReplyCache, ClearsByPolicyAndReportsFolderProblems)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString root = dir.path();
    VEKConnectionContext context;
    context.setStoragePath(root);
    context.storeResponse("s", "session", 60);
    writeEntry(cacheFile(root, "PermanentStore", "permanent"), { { "Expires", rfc(600) } }, "p");
    QFile other(root + "/SessionStore/keep.txt");
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.close();

    context.clearCachedResponsesForStoragePolicy(2);
    EXPECT_FALSE(context.pathToCachedResponseDataForRequest("session"));
    EXPECT_TRUE(context.pathToCachedResponseDataForRequest("permanent"));
    EXPECT_TRUE(QFile::exists(root + "/SessionStore/keep.txt")); // only cache files go
    context.clearCachedResponsesForStoragePolicy(1);
    EXPECT_FALSE(context.pathToCachedResponseDataForRequest("permanent"));

    // Setting a path clears the session store of the old and of the new path.
    context.storeResponse("s", "session", 60);
    const QString second = dir.filePath("second");
    VEKConnectionContext other2;
    other2.setStoragePath(second);
    other2.storeResponse("t", "left over", 60);
    context.setStoragePath(second);
    EXPECT_FALSE(QFile::exists(cacheFile(root, "SessionStore", "session")));
    EXPECT_FALSE(QFile::exists(cacheFile(second, "SessionStore", "left over")));

    // A file where a folder belongs.
    const QString blocked = dir.filePath("blocked");
    QFile file(blocked);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    VEKConnectionContext third;
    EXPECT_EQ(cacheProblem([&] { third.setStoragePath(blocked); }),
        "FileExistsAtCachePath | Cannot create a directory for the cache at '" + blocked
            + "', because a file already exists");
    EXPECT_EQ(cacheProblem([&] { third.setStoragePath(blocked + "/below"); }),
        "FailedToCreateCacheDirectory | Failed to create a directory for the cache at '" + blocked
            + "/below'");

    // A store that cannot be listed, a cache file that cannot be removed.
    const QString fourthRoot = dir.filePath("fourth");
    VEKConnectionContext fourth;
    fourth.setStoragePath(fourthRoot);
    ASSERT_TRUE(QDir(fourthRoot).rmdir("PermanentStore"));
    QFile notAFolder(fourthRoot + "/PermanentStore");
    ASSERT_TRUE(notAFolder.open(QIODevice::WriteOnly));
    notAFolder.close();
    EXPECT_EQ(cacheProblem([&] { fourth.clearCachedResponsesForStoragePolicy(1); }),
        "FailedToTraverseCacheDirectory | Listing cache directory failed at path '" + fourthRoot
            + "/PermanentStore'");
    const QString stuck = cacheFile(fourthRoot, "SessionStore", "stuck");
    ASSERT_TRUE(QDir().mkpath(stuck + "/inside"));
    EXPECT_EQ(cacheProblem([&] { fourth.removeCachedDataForRequest("stuck"); }),
        "FailedToRemoveCacheFile | Failed to remove cached data at path '" + stuck + "'");
    // The connection's path never throws: a broken store just yields nothing.
    EXPECT_FALSE(fourth.cachedResponseDataForRequest("stuck"));
    EXPECT_NO_THROW(fourth.storeResponse("x", "stuck", 60));
}
