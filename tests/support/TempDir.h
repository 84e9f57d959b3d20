#pragma once
// A temporary folder for a test, removed with everything in it when the test is done.

#include <optional>
#include <string>
#include <vector>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    // The folder; empty when it could not be made.
    const std::string &path() const { return m_path; }
    // The path of name inside the folder.
    std::string filePath(const std::string &name) const { return m_path + '/' + name; }
    // Every name in the folder, sorted.
    std::vector<std::string> entries() const;

private:
    std::string m_path;
};

// The file's bytes; nothing when it cannot be read.
std::optional<std::string> readBytes(const std::string &path);
// Makes or replaces the file with bytes; false when that fails.
bool writeBytes(const std::string &path, const std::string &bytes);
