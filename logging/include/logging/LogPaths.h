// Where a log lives and what its lock is called: pure path rules, no I/O.
#pragma once

#include <string>

namespace OvKmfLogging {

// True for the name spaces that share the common log folder: "", "default", "ul_default",
// "rds_default".
bool isDefaultNameSpace(const std::wstring& nameSpace);

// root\Orvanta\Log\product, or root\Orvanta\NS\nameSpace\Log\product for an own name space.
std::wstring logFolder(const std::wstring& root, const std::wstring& nameSpace, const std::wstring& product);

// basePath.log for generation 0, basePath.N.log for older generations.
std::wstring generationFileName(const std::wstring& basePath, int generation);

// The cross-process lock's name: "Global\OvKmfLogging_" (or "Local\..." at low integrity)
// followed by basePath with its backslashes turned into underscores.
std::wstring lockNameFor(const std::wstring& basePath, bool isLowIntegrity);

} // namespace OvKmfLogging
