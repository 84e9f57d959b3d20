// Temporary folders and whole-file reads and writes for tests, in standard C++. Paths are
// UTF-8 text, as the program's own are, also where the system's narrow strings are not.

#include "tests/support/TempDir.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace fs = std::filesystem;

namespace {

fs::path native(const std::string &utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::string utf8(const fs::path &path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace

TempDir::TempDir()
{
    // Score tests sync hundreds of files: memory-backed folders keep that fast, and behave
    // like a disk's in all else the tests look at.
    std::error_code error;
    const fs::path base = fs::is_directory("/dev/shm", error) ? "/dev/shm" : fs::temp_directory_path(error);
    std::random_device random;
    for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
        const fs::path candidate = base / ("kestrin-test-" + std::to_string(random()));
        if (fs::create_directory(candidate, error))
            m_path = utf8(fs::absolute(candidate, error));
    }
}

TempDir::~TempDir()
{
    std::error_code error;
    if (!m_path.empty())
        fs::remove_all(native(m_path), error);
}

std::vector<std::string> TempDir::entries() const
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto &entry : fs::directory_iterator(native(m_path), error))
        names.push_back(utf8(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<std::string> readBytes(const std::string &path)
{
    std::ifstream file(native(path), std::ios::binary);
    if (!file || fs::is_directory(native(path)))
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(file), {});
}

bool writeBytes(const std::string &path, const std::string &bytes)
{
    std::ofstream file(native(path), std::ios::binary | std::ios::trunc);
    return file.write(bytes.data(), std::streamsize(bytes.size())) && file.flush();
}
