#include "app/AppResources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void InitIconsResource() {
    Q_INIT_RESOURCE(icons);
}

namespace tessera {

void InitAppResources() {
    static const bool done = [] {
        InitIconsResource();
        return true;
    }();
    (void)done;
}

} // namespace tessera
