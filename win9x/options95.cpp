#include "win9x/options95.h"

CommandOptions Win9xOptions;
