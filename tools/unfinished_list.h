#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "tools/output_writer.h"

namespace ombrix::tools {

// The domains a run did not finish, one a line in list order, for `-f` to continue with. The
// file is written beside the one it is named for and put in its place only when complete, so
// an old file of that name (this run's own list, even) stays whole until then.
class UnfinishedList {
  public:
    // Without a path the domains are only counted.
    explicit UnfinishedList(std::optional<std::string> path);
    ~UnfinishedList();
    UnfinishedList(const UnfinishedList&) = delete;
    UnfinishedList& operator=(const UnfinishedList&) = delete;

    // Why the file cannot be written, once it cannot.
    const std::optional<std::string>& failure() const { return failure_; }
    void add(std::string_view domain);
    std::size_t count() const { return count_; }
    // Puts the file in its place; false, with failure(), when it could not be written.
    bool commit();

  private:
    std::optional<std::string> path_;
    std::string temporary_;
    std::optional<OutputWriter> out_;
    std::size_t count_ = 0;
    std::optional<std::string> failure_;
};

}  // namespace ombrix::tools
