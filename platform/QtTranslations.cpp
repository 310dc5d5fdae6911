#include "platform/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace platform {

std::unique_ptr<QTranslator> installQtTranslations()
{
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        || !QCoreApplication::installTranslator(translator.get()))
        return nullptr;
    return translator;
}

} // namespace platform
