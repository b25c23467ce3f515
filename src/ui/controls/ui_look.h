#pragma once

// The look that both windows share: one Japanese user-interface face, and Qt's own texts
// (message-box buttons, file dialogs) in Japanese like the rest of the program.

#include <QFont>

class QCoreApplication;
class QTranslator;

namespace tarvelo::ui {

// The proportional Japanese Gothic face at 12 pixels (9 points at 96 dpi). Every window sets it
// once; its controls inherit it.
QFont japaneseUiFont();

// Loads Qt's Japanese translations from Qt's translations directory and installs them into app,
// which owns them. Null when they cannot be found (Debian's qt6-translations-l10n is missing):
// Qt's texts then stay English. User-interface thread, after app exists.
QTranslator* installQtJapaneseTranslations(QCoreApplication& app);

}  // namespace tarvelo::ui
