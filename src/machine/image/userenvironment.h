// The environment of a user of an offline image, built from its registry.
#pragma once

#include "machine/image/environment.h"
#include "machine/image/registry.h"

namespace tarn::image {

// The environment Windows gives a process of `user` (CreateEnvironmentBlock): the machine's
// variables, those it derives (SystemRoot, ProgramFiles in the component's view, ...), the
// user's profile variables and the user's own environment keys.
Environment BuildEnvironment(const ImageRegistry& registry, const ImageUser& user, bool os64,
                             bool component64);

} // namespace tarn::image
