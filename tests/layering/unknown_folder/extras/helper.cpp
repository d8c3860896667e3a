// A library folder the layering check has never heard of: it must fail.
#include "link/clock.h"
