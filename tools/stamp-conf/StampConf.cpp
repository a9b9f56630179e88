// stamp-conf: writes a copy of an executable whose customization resource (type "CONF",
// id 500) holds a given text, or is missing.
//
//   stamp-conf SOURCE.exe TARGET.exe --text FILE   the copy carries FILE's bytes as CONF 500
//   stamp-conf SOURCE.exe TARGET.exe --remove      the copy has no CONF 500
//
// The copy's resources are rebuilt whole from the source's: some resource updaters ignore
// the deletion of a single resource, and none stores a resource of size 0. The source may
// be a 32-bit or a 64-bit executable; TARGET must be another file.
#include <ov/Handle.h>
#include <ov/Win32.h>

#include <shellapi.h>

#include <algorithm>
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
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr)) {
            return false; // a partial text or image must not be stamped or repaired
        }
        if (read == 0) {
            return true;
        }
        content.insert(content.end(), buffer, buffer + read);
    }
}

bool writeFile(const std::wstring& path, const std::vector<char>& content) {
    const ov::ScopedHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file &&
           WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
           written == content.size();
}

// Where the COFF file header and the section table of an image lie; false when it is no PE.
bool locateHeaders(const std::vector<char>& image, IMAGE_FILE_HEADER*& header,
                   IMAGE_SECTION_HEADER*& sections) {
    if (image.size() < sizeof(IMAGE_DOS_HEADER)) {
        return false;
    }
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    const size_t fileHeader = static_cast<size_t>(dos->e_lfanew) + sizeof(DWORD);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || fileHeader + sizeof(IMAGE_FILE_HEADER) > image.size()) {
        return false;
    }
    header = reinterpret_cast<IMAGE_FILE_HEADER*>(const_cast<char*>(image.data()) + fileHeader);
    const size_t table = fileHeader + sizeof(IMAGE_FILE_HEADER) + header->SizeOfOptionalHeader;
    if (table + header->NumberOfSections * sizeof(IMAGE_SECTION_HEADER) > image.size()) {
        return false;
    }
    sections = reinterpret_cast<IMAGE_SECTION_HEADER*>(const_cast<char*>(image.data()) + table);
    return true;
}

DWORD endOfSections(const IMAGE_FILE_HEADER& header, const IMAGE_SECTION_HEADER* sections) {
    DWORD end = 0;
    for (WORD i = 0; i < header.NumberOfSections; ++i) {
        end = std::max(end, sections[i].PointerToRawData + sections[i].SizeOfRawData);
    }
    return end;
}

// The resource update moves the sections behind the resources but not the pointer to the
// COFF symbol table (which g++ leaves after the last section), so debuggers and binutils
// would read garbage. The loader ignores that table; the pointer is set right again.
bool repairSymbolTablePointer(const std::wstring& source, const std::wstring& target) {
    std::vector<char> before;
    std::vector<char> after;
    IMAGE_FILE_HEADER* oldHeader = nullptr;
    IMAGE_SECTION_HEADER* oldSections = nullptr;
    IMAGE_FILE_HEADER* newHeader = nullptr;
    IMAGE_SECTION_HEADER* newSections = nullptr;
    if (!readFile(source, before) || !readFile(target, after) ||
        !locateHeaders(before, oldHeader, oldSections) || !locateHeaders(after, newHeader, newSections)) {
        return false;
    }
    if (newHeader->PointerToSymbolTable == 0) {
        return true;
    }
    if (oldHeader->PointerToSymbolTable == endOfSections(*oldHeader, oldSections)) {
        newHeader->PointerToSymbolTable = endOfSections(*newHeader, newSections);
    } else {
        newHeader->PointerToSymbolTable = 0;
        newHeader->NumberOfSymbols = 0;
    }
    return writeFile(target, after);
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
    if (CompareStringOrdinal(source.c_str(), -1, target.c_str(), -1, TRUE) == CSTR_EQUAL) {
        std::fprintf(stderr, "stamp-conf: TARGET must differ from SOURCE\n");
        return 1;
    }

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

    if (!CopyFileW(source.c_str(), target.c_str(), FALSE)) {
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
    if (!repairSymbolTablePointer(source, target)) {
        return fail("cannot repair the target's symbol table pointer", GetLastError());
    }
    return 0;
}
