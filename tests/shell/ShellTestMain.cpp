#include <QApplication>
#include <QTest>
#include <memory>

#include "ShellTestSupport.h"

namespace vantrel {
std::vector<TestFactory>& ShellTests();
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // Closing a test's main window must not end the run.
    app.setQuitOnLastWindowClosed(false);
    int failures = 0;
    for (const auto& factory : vantrel::ShellTests()) {
        std::unique_ptr<QObject> test = factory();
        failures += QTest::qExec(test.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
