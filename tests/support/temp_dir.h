// A fresh folder for one test, removed with everything in it when the test is done. Only its
// owner may enter it, as with mkdtemp.
#pragma once

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

namespace quorel::testing {

class TempDir {
 public:
  explicit TempDir(const std::string& prefix = "quorel-test") {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
      auto candidate = std::filesystem::temp_directory_path() /
                       (prefix + "-" + std::to_string(random()) + std::to_string(random()));
      if (std::filesystem::create_directory(candidate)) {
        std::filesystem::permissions(candidate, std::filesystem::perms::owner_all);
        path_ = std::move(candidate);
        return;
      }
    }
    throw std::runtime_error("no temporary folder could be made");
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

}  // namespace quorel::testing
