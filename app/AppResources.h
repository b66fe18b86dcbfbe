#pragma once
// The icons are compiled into the static library; a library's resources must be registered
// once before the first icon is loaded.

namespace tessera {
void InitAppResources();
}
