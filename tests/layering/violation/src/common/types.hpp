// A common header that reaches up into the run.
#include "run/conversion.hpp"
