#include "cli/Cli.h"
#include "platform/Console.h"

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    std::vector<std::string> arguments = vantrel::PrepareConsole(argc, argv);
    std::vector<char*> pointers;
    for (std::string& argument : arguments)
        pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    return vantrel::RunCli(static_cast<int>(arguments.size()), pointers.data());
}
