#include "link/readerchannel.h"
