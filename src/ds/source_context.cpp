#include "ds/source_context.h"

SourceContext g_source{};
