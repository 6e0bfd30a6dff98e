#include "bench/bench_files.h"

#include <cstdio>
#include <filesystem>
#include <map>

namespace benchmodel {
namespace {

struct Folder {
    std::filesystem::path path;
    std::map<std::string, std::string> files;
    Folder() {
        path = std::filesystem::temp_directory_path() / ("spindle-bench-" + std::to_string(std::rand()));
        std::filesystem::create_directories(path);
    }
    ~Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

Folder &folder() {
    static Folder f;
    return f;
}

} // namespace

bool haveBenchFile(const std::string &name) { return folder().files.count(name) != 0; }

const std::string &benchFile(const std::string &name, const std::string &bytes) {
    Folder &f = folder();
    auto it = f.files.find(name);
    if (it != f.files.end())
        return it->second;
    const std::string path = (f.path / name).string();
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (file) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    return f.files.emplace(name, path).first->second;
}

} // namespace benchmodel
