// Resources of an executable on disk: its version record, manifest and icons.
#include <vector>

#include "commands.h"

namespace driver {
namespace {

std::wstring FixedVersion(DWORD high, DWORD low) {
    return std::to_wstring(HIWORD(high)) + L"." + std::to_wstring(LOWORD(high)) + L"." +
           std::to_wstring(HIWORD(low)) + L"." + std::to_wstring(LOWORD(low));
}

int VersionInfo(const Args& args) {
    const auto file = args.Required(L"file");
    if (!file) return kBadUsage;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file->c_str(), &ignored);
    if (size == 0) {
        Print(L"error", L"no version record, error " + std::to_wstring(GetLastError()));
        return kNotSo;
    }
    std::vector<unsigned char> record(size);
    if (!GetFileVersionInfoW(file->c_str(), 0, size, record.data())) {
        Print(L"error", L"cannot read the version record");
        return kNotSo;
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed) {
        Print(L"fixed-file-version", FixedVersion(fixed->dwFileVersionMS, fixed->dwFileVersionLS));
        Print(L"fixed-product-version", FixedVersion(fixed->dwProductVersionMS, fixed->dwProductVersionLS));
    }
    struct Translation {
        WORD language;
        WORD codePage;
    }* translations = nullptr;
    if (!VerQueryValueW(record.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                        &length) ||
        length < sizeof(Translation)) {
        Print(L"error", L"no translation");
        return kNotSo;
    }
    wchar_t block[32];
    swprintf(block, 32, L"%04x%04x", translations->language, translations->codePage);
    Print(L"translation", block);
    for (const wchar_t* name : {L"CompanyName", L"FileDescription", L"FileVersion", L"InternalName",
                                L"LegalCopyright", L"OriginalFilename", L"ProductName", L"ProductVersion"}) {
        const std::wstring query = std::wstring(L"\\StringFileInfo\\") + block + L"\\" + name;
        wchar_t* value = nullptr;
        if (VerQueryValueW(record.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) && value) {
            Print(name, std::wstring(value, length > 0 ? wcsnlen(value, length) : 0));
        }
    }
    return kDone;
}

// The manifest (RT_MANIFEST 1) as text and the icon groups with their sizes.
int Resources(const Args& args) {
    const auto file = args.Required(L"file");
    if (!file) return kBadUsage;
    HMODULE module = LoadLibraryExW(file->c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module) {
        Print(L"error", L"cannot load " + *file);
        return kNotSo;
    }
    if (HRSRC manifest = FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST)) {
        const auto* bytes = static_cast<const char*>(LockResource(LoadResource(module, manifest)));
        const DWORD size = SizeofResource(module, manifest);
        std::wstring text(size, L'\0');
        text.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(size), text.data(),
                                                            static_cast<int>(size))));
        Print(L"manifest", text);
    } else {
        Print(L"manifest", L"");
    }
    EnumResourceNamesW(
        module, RT_GROUP_ICON,
        [](HMODULE m, LPCWSTR, LPWSTR name, LONG_PTR) -> BOOL {
            // GRPICONDIR: reserved, type, count, then 14-byte entries starting with width, height.
            HRSRC found = FindResourceW(m, name, RT_GROUP_ICON);
            const auto* dir = static_cast<const BYTE*>(LockResource(LoadResource(m, found)));
            const int count = dir[4] | (dir[5] << 8);
            std::wstring sizes;
            for (int i = 0; i < count; ++i) {
                const BYTE* entry = dir + 6 + 14 * i;
                const int width = entry[0] ? entry[0] : 256;
                if (!sizes.empty()) sizes += L",";
                sizes += std::to_wstring(width);
            }
            const std::wstring id = IS_INTRESOURCE(name) ? std::to_wstring(reinterpret_cast<ULONG_PTR>(name))
                                                         : std::wstring(name);
            Print(L"icon-group", id + L":" + sizes);
            return TRUE;
        },
        0);
    FreeLibrary(module);
    return kDone;
}

const RegisterCommand kVersion{{L"version-info", L"--file=PATH: print the version record", VersionInfo}};
const RegisterCommand kResources{{L"resources", L"--file=PATH: print the manifest and the icon groups", Resources}};

}  // namespace
}  // namespace driver
