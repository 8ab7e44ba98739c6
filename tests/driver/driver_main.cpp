// tallowmere-driver COMMAND [--option=value ...]: see commands.h.
#include <cstdio>

#include "commands.h"

namespace {

using driver::Print;

void PrintUsage() {
    Print(L"usage", L"tallowmere-driver COMMAND [--option=value ...]");
    for (const auto& command : driver::AllCommands()) {
        driver::Print(L"command", std::wstring(command.name) + L" " + std::wstring(command.usage));
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        PrintUsage();
        return driver::kBadUsage;
    }
    const std::wstring_view name = argv[1];
    for (const auto& command : driver::AllCommands()) {
        if (command.name == name) {
            return command.run(driver::Args({argv + 2, argv + argc}));
        }
    }
    Print(L"error", L"unknown command " + std::wstring(name));
    PrintUsage();
    return driver::kBadUsage;
}
