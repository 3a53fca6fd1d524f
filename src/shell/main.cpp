#include "shell/CRadiliftApp.h"

#include <QApplication>
#include <QSettings>

namespace {

#if defined(VANTREL_VARIANT_DIVAVAV)
constexpr vantrel::Variant kVariant = vantrel::Variant::Divavav;
#elif defined(VANTREL_VARIANT_MENDKIT)
constexpr vantrel::Variant kVariant = vantrel::Variant::Mendkit;
#else
constexpr vantrel::Variant kVariant = vantrel::Variant::Service;
#endif

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QSettings store(QStringLiteral("Corvantis"), QStringLiteral("Vantrel"));
    vantrel::CRadiliftApp app(kVariant, store, vantrel::DefaultShellHooks());
    // Leaving at the test-release question ends the run before anything is saved.
    if (!app.InitInstance()) return 0;
    const int result = application.exec();
    app.ExitInstance();
    return result;
}
