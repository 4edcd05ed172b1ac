// zlogsim may see the option scanner, and nothing of kapolex's conversion:
// the layering check must refuse the second include only.
#include "options/option_scanner.hpp"
#include "common/platform.hpp"
