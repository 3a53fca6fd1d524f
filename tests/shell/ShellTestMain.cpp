#include "ShellTestSupport.h"

#include <QApplication>
#include <QTest>
#include <memory>

namespace vantrel {
std::vector<TestFactory>& ShellTests();
}

// Runs every registered test class; "vantrel_shell_tests ClassName [args]"
// runs only that one, with the Qt Test arguments that follow.
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // Closing a test's main window must not end the run.
    app.setQuitOnLastWindowClosed(false);
    QString only;
    std::vector<char*> args(argv, argv + argc);
    if (argc > 1 && argv[1][0] != '-') {
        only = QString::fromLocal8Bit(argv[1]);
        args.erase(args.begin() + 1);
    }
    int failures = 0;
    for (const auto& factory : vantrel::ShellTests()) {
        std::unique_ptr<QObject> test = factory();
        const QString name = QString::fromLatin1(test->metaObject()->className()).section(QStringLiteral("::"), -1);
        if (!only.isEmpty() && name != only) continue;
        failures += QTest::qExec(test.get(), static_cast<int>(args.size()), args.data());
    }
    return failures == 0 ? 0 : 1;
}
