#include "shell/failure_text.h"

#include <string_view>

#include "shell/platform.h"

namespace tallowmere::shell {
namespace {

// One layout for both forms; only the separators differ. A part that is missing (no file,
// no error code) is left out with its separator, so a failure without a code never reads
// "The operation completed successfully."
std::wstring FailureText(const playlist::FileFailure& failure, std::wstring_view beforeFile,
                         std::wstring_view afterFile, std::wstring_view beforeReason) {
    std::wstring text = failure.doing;
    if (!failure.file.empty()) {
        text += beforeFile;
        text += failure.file;
        text += afterFile;
    }
    if (failure.code != 0) {
        text += beforeReason;
        text += SystemErrorText(failure.code);
    }
    return text;
}

}  // namespace

std::wstring FailurePrompt(const playlist::FileFailure& failure) {
    return FailureText(failure, L":\r\n", L"", L"\r\n\r\n");
}

std::wstring FailureLine(const playlist::FileFailure& failure) {
    return FailureText(failure, L" \"", L"\"", L": ");
}

}  // namespace tallowmere::shell
