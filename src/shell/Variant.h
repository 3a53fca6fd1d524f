#pragma once

#include <QString>

namespace vantrel {

// The three builds of the program share everything but titles, menu edits and
// the About box; each executable passes its variant in at start-up.
enum class Variant { Service, Divavav, Mendkit };

// The window title the variant shows after start-up.
QString VariantTitle(Variant variant);
// The variant's program name: "vantrel", "vantrel-divavav", "vantrel-mendkit".
const char* VariantProgramName(Variant variant);

} // namespace vantrel
