// A measurement unit that reaches up into the observation output: the
// layering check must refuse it.
#include "common/measurement.hpp"
#include "rinex/observation_writer.hpp"
