// The ranges the unit accepts for its four parameters in "S channel id
// retry_count retry_interval", the one statement of them: the window's
// fields, zeta7ctl's checks before sending and the simulated unit's
// refusals all read them here. A retry count of kInfiniteRetry (-1) means
// retrying without end, outside the count's range.
#pragma once

struct ParamRange {
  int low;
  int high;
  constexpr bool Holds(int value) const { return value >= low && value <= high; }
};

inline constexpr ParamRange kChannelRange{7, 46};
inline constexpr ParamRange kIdRange{0, 15};
inline constexpr ParamRange kRetryCountRange{0, 10000};
inline constexpr ParamRange kRetryIntervalRange{0, 32767};
inline constexpr int kInfiniteRetry = -1;
