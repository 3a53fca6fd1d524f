#include "shell/Variant.h"

namespace vantrel {

QString VariantTitle(Variant variant)
{
    switch (variant) {
    case Variant::Divavav:
        return QStringLiteral("Vantrel - Divavav version, CORVANTIS Internal use only");
    case Variant::Mendkit:
        return QStringLiteral("Fieldline ZR740 Series Vantrel - Mendkit");
    case Variant::Service:
        break;
    }
    return QStringLiteral("Fieldline ZR740 Series Vantrel");
}

const char* VariantProgramName(Variant variant)
{
    switch (variant) {
    case Variant::Divavav:
        return "vantrel-divavav";
    case Variant::Mendkit:
        return "vantrel-mendkit";
    case Variant::Service:
        break;
    }
    return "vantrel";
}

} // namespace vantrel
