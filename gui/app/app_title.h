#pragma once
// The application's name as windows and message boxes show it.

#include <QString>

#include "workspace/workspace_presenter.h"

inline QString AppTitle() {
    return QString::fromLatin1(kWorkspaceTitle);
}
