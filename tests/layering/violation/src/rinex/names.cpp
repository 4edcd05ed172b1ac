// An observation-output unit that reaches into the time keeping instead of
// the common calendar: the layering check must refuse it.
#include "common/epoch_time.hpp"
#include "measure/calendar.hpp"
