// The pictures of the application bundle, read from its Resources folder on first use
// and kept. A picture whose file is missing is none, and is looked for again next time.
#pragma once

#include "platform/Picture.h"
#include "platform/Runtime.h"

namespace kolvane {

// The folder icon of the "Select..." buttons; white draws as transparent.
Ref<Picture> Ordner();
// The About box's backdrop, drawn as it is.
Ref<Picture> about();
// The icon of the "About" button; white draws as transparent.
Ref<Picture> TrafficCone();

}  // namespace kolvane
