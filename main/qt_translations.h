#pragma once
class QObject;

namespace velmo {

// Loads Qt's own Chinese texts (qtbase_zh_CN) so that the standard dialogs
// and message-box buttons speak the program's language. The translator is
// owned by `parent`; false when the translation is not installed (the
// dialogs then stay in English, nothing else changes).
bool install_qt_translations(QObject* parent);

}  // namespace velmo
