#include "page/reader.h"
#include "uri/uri.h"
