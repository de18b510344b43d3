#include "gui/app/language_switch.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "base/globals.h"

namespace {

QTranslator* ChineseTranslator() {
    static QTranslator* translator = nullptr;
    if (translator == nullptr) {
        translator = new QTranslator(QCoreApplication::instance());
        if (!translator->load(QStringLiteral("qtbase_zh_CN"),
                              QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            delete translator;
            translator = nullptr;
        }
    }
    return translator;
}

}  // namespace

bool ApplyQtLanguage() {
    QTranslator* chinese = ChineseTranslator();
    if (chinese == nullptr) return !g_bChinese;
    QCoreApplication::removeTranslator(chinese);
    if (g_bChinese) QCoreApplication::installTranslator(chinese);
    return true;
}
