#include "app/dial/ToneDialInfo.h"

namespace tessera {

namespace {
ToneDialVersionFn g_provider = nullptr;
}

void SetToneDialVersionProvider(ToneDialVersionFn fn) {
    g_provider = fn;
}

bool QueryToneDialVersion(unsigned& version) {
    return g_provider != nullptr && g_provider(version);
}

} // namespace tessera
