#pragma once
// The about box shows the tone-dial module's version when one is installed. The dialing
// code registers how to ask for it, so the about box does not depend on that code.

namespace tessera {

// Fills `version` (major in the low 16 bits, minor in the high 16 bits); false when no
// tone-dial module is installed.
using ToneDialVersionFn = bool (*)(unsigned& version);

void SetToneDialVersionProvider(ToneDialVersionFn fn);
bool QueryToneDialVersion(unsigned& version);

} // namespace tessera
