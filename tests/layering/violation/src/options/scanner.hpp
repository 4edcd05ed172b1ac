// The option scanner is the lowest folder: it may not lean on the common
// types, or zlogsim could reach them through it.
#include "common/ascii.hpp"
