#pragma once

#include <QString>

// The per-user folder: GenericDataLocation + "/LumoraMac/", or the folder
// named by the environment variable LUMORA_HOME when it is set. It holds
// "Config/" with the stored property lists.
namespace platform::UserFolder {

// The folder's absolute path (no trailing "/"); made when missing. The
// environment is read on every call so that tests can switch folders.
QString path();
// path() + "/Config"; made when missing.
QString configPath();
// A file directly in the per-user folder or in "Config/".
QString filePath(const QString& name);
QString configFilePath(const QString& name);

} // namespace platform::UserFolder
