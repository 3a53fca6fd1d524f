#include "cli/Cli.h"

int main(int argc, char** argv) { return vantrel::RunCli(argc, argv); }
