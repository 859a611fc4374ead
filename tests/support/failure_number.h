#pragma once

#include <functional>

#include "files/failure.h"

namespace kestrel::testing {

// The number of the failure `access` throws; 0 when it throws none.
inline int failure_number(const std::function<void()>& access) {
  try {
    access();
  } catch (const Failure& failure) {
    return failure.number();
  }
  return 0;
}

}  // namespace kestrel::testing
