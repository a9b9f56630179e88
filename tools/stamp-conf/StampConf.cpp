// stamp-conf: writes a copy of an executable whose customization resource (type "CONF",
// id 500) holds a given text, or is missing.
//
//   stamp-conf SOURCE.exe TARGET.exe --text FILE   the copy carries FILE's bytes as CONF 500
//   stamp-conf SOURCE.exe TARGET.exe --remove      the copy has no CONF 500
//
// The copy's resources are rebuilt whole from the source's: some resource updaters ignore
// the deletion of a single resource, and none stores a resource of size 0. The source may
// be a 32-bit or a 64-bit executable; TARGET may equal SOURCE.
#include <ov/Handle.h>
#include <ov/Win32.h>

#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const wchar_t kConfType[] = L"CONF";
const WORD kConfId = 500;

// A resource type or name: an integer id or a string.
struct ResourceName {
    WORD id = 0;
    std::wstring text;

    static ResourceName from(LPCWSTR name) {
        ResourceName result;
        if (IS_INTRESOURCE(name)) {
            result.id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
        } else {
            result.text = name;
        }
        return result;
    }
    LPCWSTR get() const { return text.empty() ? MAKEINTRESOURCEW(id) : text.c_str(); }
};

struct Resource {
    ResourceName type;
    ResourceName name;
    WORD language = 0;
    std::vector<char> data;

    bool isCustomization() const {
        return type.text.size() == 4 &&
               CompareStringOrdinal(type.text.c_str(), -1, kConfType, -1, TRUE) == CSTR_EQUAL &&
               name.text.empty() && name.id == kConfId;
    }
};

struct Enumeration {
    HMODULE module = nullptr;
    ResourceName type;
    ResourceName name;
    std::vector<Resource> resources;
    bool failed = false;
};

BOOL CALLBACK onLanguage(HMODULE module, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) {
    Enumeration& e = *reinterpret_cast<Enumeration*>(param);
    Resource resource;
    resource.type = e.type;
    resource.name = e.name;
    resource.language = language;
    const HRSRC info = FindResourceExW(module, e.type.get(), e.name.get(), language);
    const HGLOBAL loaded = info != nullptr ? LoadResource(module, info) : nullptr;
    const char* bytes = loaded != nullptr ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (bytes == nullptr) {
        e.failed = true;
        return FALSE;
    }
    resource.data.assign(bytes, bytes + SizeofResource(module, info));
    e.resources.push_back(std::move(resource));
    return TRUE;
}

BOOL CALLBACK onName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR param) {
    Enumeration& e = *reinterpret_cast<Enumeration*>(param);
    e.name = ResourceName::from(name);
    EnumResourceLanguagesW(module, type, name, onLanguage, param);
    return !e.failed;
}

BOOL CALLBACK onType(HMODULE module, LPWSTR type, LONG_PTR param) {
    Enumeration& e = *reinterpret_cast<Enumeration*>(param);
    e.type = ResourceName::from(type);
    EnumResourceNamesW(module, type, onName, param);
    return !e.failed;
}

bool readResources(const std::wstring& path, std::vector<Resource>& resources) {
    const ov::ScopedLibrary module(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module) {
        return false;
    }
    Enumeration e;
    e.module = module.get();
    EnumResourceTypesW(module.get(), onType, reinterpret_cast<LONG_PTR>(&e));
    resources = std::move(e.resources);
    return !e.failed;
}

bool readFile(const std::wstring& path, std::vector<char>& content) {
    const ov::ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    content.clear();
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        content.insert(content.end(), buffer, buffer + read);
    }
    return true;
}

int fail(const char* what, DWORD error) {
    std::fprintf(stderr, "stamp-conf: %s (error %lu)\n", what, static_cast<unsigned long>(error));
    return 2;
}

int usage() {
    std::fprintf(stderr, "usage: stamp-conf SOURCE.exe TARGET.exe --text FILE\n"
                         "       stamp-conf SOURCE.exe TARGET.exe --remove\n");
    return 1;
}

} // namespace

int main() {
    int argc = 0;
    const ov::ScopedLocalMemory argvOwner(CommandLineToArgvW(GetCommandLineW(), &argc));
    wchar_t** argv = static_cast<wchar_t**>(argvOwner.get());
    if (argv == nullptr) {
        return usage();
    }
    const bool remove = argc == 4 && std::wstring(argv[3]) == L"--remove";
    const bool replace = argc == 5 && std::wstring(argv[3]) == L"--text";
    if (!remove && !replace) {
        return usage();
    }
    const std::wstring source = argv[1];
    const std::wstring target = argv[2];

    std::vector<char> text;
    if (replace) {
        if (!readFile(argv[4], text)) {
            return fail("cannot read the text file", GetLastError());
        }
        if (text.empty()) {
            // An executable cannot carry an empty resource; --remove gives the same outcome.
            std::fprintf(stderr, "stamp-conf: the text file is empty; use --remove\n");
            return 1;
        }
    }

    std::vector<Resource> resources;
    if (!readResources(source, resources)) {
        return fail("cannot read the resources of the source", GetLastError());
    }
    WORD confLanguage = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
    for (const Resource& resource : resources) {
        if (resource.isCustomization()) {
            confLanguage = resource.language;
        }
    }

    if (CompareStringOrdinal(source.c_str(), -1, target.c_str(), -1, TRUE) != CSTR_EQUAL &&
        !CopyFileW(source.c_str(), target.c_str(), FALSE)) {
        return fail("cannot copy the source to the target", GetLastError());
    }
    const HANDLE update = BeginUpdateResourceW(target.c_str(), TRUE);
    if (update == nullptr) {
        return fail("cannot open the target's resources", GetLastError());
    }
    bool ok = true;
    for (Resource& resource : resources) {
        if (!resource.isCustomization()) {
            ok = ok && UpdateResourceW(update, resource.type.get(), resource.name.get(), resource.language,
                                       resource.data.data(), static_cast<DWORD>(resource.data.size()));
        }
    }
    if (ok && replace) {
        ok = UpdateResourceW(update, kConfType, MAKEINTRESOURCEW(kConfId), confLanguage, text.data(),
                             static_cast<DWORD>(text.size())) != FALSE;
    }
    const DWORD error = GetLastError();
    if (!EndUpdateResourceW(update, ok ? FALSE : TRUE) || !ok) {
        return fail("cannot write the target's resources", ok ? GetLastError() : error);
    }
    return 0;
}
