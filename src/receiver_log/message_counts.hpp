// How many messages of each ID the framing found, for the end-of-run summary.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "receiver_log/message_header.hpp"

namespace kapolex {

class MessageCounts {
 public:
  // Counts one framed message; 64 bits, so that no log can overflow a count.
  void add(std::uint8_t id) { ++counts_[id]; }
  std::int64_t operator[](int id) const { return counts_[static_cast<std::size_t>(id)]; }

 private:
  std::array<std::int64_t, messageIdCount> counts_{};
};

}  // namespace kapolex
