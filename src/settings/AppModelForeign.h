#pragma once

#include "settings/AppModel.h"

#include <QtQml/qqml.h>

namespace tarnwick {

// AppModel lives in a library of its own, shared with the program; the
// views know it by this name.
struct AppModelForeign {
    Q_GADGET
    QML_FOREIGN(tarnwick::AppModel)
    QML_NAMED_ELEMENT(AppModel)
    QML_UNCREATABLE("the application's one model")
};

} // namespace tarnwick
