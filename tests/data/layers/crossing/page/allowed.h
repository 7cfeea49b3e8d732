#include "uri/uri.h"
#include "page/reader.h"
