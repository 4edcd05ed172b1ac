// zlogsim may see the option scanner, and nothing of kapolex's conversion:
// the layering check must refuse the common header only.
#include "common/platform.hpp"
#include "options/option_scanner.hpp"
