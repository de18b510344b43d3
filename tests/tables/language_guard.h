#pragma once
// Switches the user-interface language for one test and restores it after.

#include "base/globals.h"

class LanguageGuard {
public:
    explicit LanguageGuard(bool chinese) : m_bSaved(g_bChinese) { g_bChinese = chinese; }
    ~LanguageGuard() { g_bChinese = m_bSaved; }
    LanguageGuard(const LanguageGuard&) = delete;
    LanguageGuard& operator=(const LanguageGuard&) = delete;

private:
    bool m_bSaved;
};
