// The part of a log file context that decides where the log lives: the kind of process, the
// folder with its access rules, and the names of the file's generations.
#pragma once

#include <logging/FileSystem.h>
#include <logging/SecurityAttributes.h>

#include <memory>
#include <string>

namespace OvKmfLogging {

class FileContextBase {
public:
    // Takes the path operations; touches neither disk nor registry before the first refresh.
    FileContextBase(std::unique_ptr<FileSystem::Path> path, std::wstring nameSpace, std::wstring product,
                    std::wstring logName, unsigned flags);
    virtual ~FileContextBase();
    FileContextBase(const FileContextBase&) = delete;
    FileContextBase& operator=(const FileContextBase&) = delete;

    // The first call finds and creates the log folder and answers whether that worked; every
    // later call answers false at once.
    virtual bool refresh();
    // Drops the oldest generation and moves every other one up by one, the current file to 1.
    virtual void rotate(int generations);
    // Creates the folder below root and sets the base path; false (base path empty) on failure.
    virtual bool buildPaths(const std::wstring& root, bool isAdmin);
    virtual std::wstring fileName(int generation) const;

    const std::wstring& basePath() const { return basePath_; }
    bool isAdmin() const { return isAdmin_; }
    bool isLowIntegrity() const { return isLowIntegrity_; }

protected:
    std::unique_ptr<FileSystem::Path> path_;
    std::wstring nameSpace_;
    std::wstring product_;
    std::wstring logName_;
    unsigned flags_;
    bool initialized_ = false;
    std::wstring basePath_;
    SecurityAttributesPtr folderSecurity_;
    bool isAdmin_ = false;
    bool isLowIntegrity_ = false;
};

} // namespace OvKmfLogging
