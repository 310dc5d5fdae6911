#pragma once

#include <QTranslator>
#include <memory>

namespace platform {

// Qt's own texts (a text field's context menu, standard buttons) in Chinese
// like the rest of the client, from the system's Qt translations. They stay
// installed while the translator lives; null, the texts left in English,
// when the translations are not there.
std::unique_ptr<QTranslator> installQtTranslations();

} // namespace platform
