#pragma once
// Root writes into any folder: a test of a write refused by a read-only folder lowers
// the calling thread's right to override file permissions while this object lives
// (nothing for a user that is not root).
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace qm::test {

struct TNoDacOverride {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved[2]{};
  bool active = false;
  TNoDacOverride() {
    if (::geteuid() != 0 || ::syscall(SYS_capget, &header, saved) != 0) return;
    __user_cap_data_struct lowered[2] = {saved[0], saved[1]};
    lowered[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
    active = ::syscall(SYS_capset, &header, lowered) == 0;
  }
  ~TNoDacOverride() {
    if (active) ::syscall(SYS_capset, &header, saved);
  }
  TNoDacOverride(const TNoDacOverride&) = delete;
  TNoDacOverride& operator=(const TNoDacOverride&) = delete;
};

}  // namespace qm::test
